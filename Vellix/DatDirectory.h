#pragma once

#include "Trova/DatFile.h"
#include "Vellix/PseudoDirectory.h"

#include <vector>

namespace Ostrel::Vellix {

// An archive, or a directory inside one: its child directories first, then its members in
// archive order.
class DatDirectory : public PseudoDirectory {
public:
    // Throws XUsage ".DAT file not found" when the archive's factory holds no archive.
    DatDirectory(const std::string& archivePath, const std::string& subdirectory);

    std::uint32_t GetEntryCount() const override;
    bool IsSubdirectory(std::uint32_t index) const override;
    std::string GetEntryName(std::uint32_t index) const override;
    std::string GetEntryBaseName(std::uint32_t index) const override;
    std::string GetEntryExtension(std::uint32_t index) const override;
    std::string GetEntryQualifiedName(std::uint32_t index) const override;
    Util::CountedPtr<Trova::FileFactory> GetFileFactory() const override;
    Util::PathName GetPathName() const override;
    bool IsArchive() const override { return true; }
    std::string GetArchiveSubdirectory() const override { return subdirectory_; }

private:
    std::uint32_t MemberOf(std::uint32_t index) const;

    Util::PathName archivePath_;
    Util::CountedPtr<Trova::DatFile> archive_;
    std::string subdirectory_;
    std::vector<std::uint32_t> members_;
    std::vector<std::string> subdirectories_;
};

} // namespace Ostrel::Vellix
