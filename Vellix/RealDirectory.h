#pragma once

#include "Vellix/FileChangeNotifier.h"
#include "Vellix/PseudoDirectory.h"

#include <vector>

namespace Ostrel::Vellix {

// A directory on disk, listed in the order the file system delivers its entries and watched for
// changes for exactly the node's lifetime.
class RealDirectory : public PseudoDirectory {
public:
    explicit RealDirectory(const std::string& path);

    void Refresh() override;

    std::uint32_t GetEntryCount() const override;
    bool IsSubdirectory(std::uint32_t index) const override;
    std::string GetEntryName(std::uint32_t index) const override;
    std::string GetEntryBaseName(std::uint32_t index) const override;
    std::string GetEntryExtension(std::uint32_t index) const override;
    std::string GetEntryQualifiedName(std::uint32_t index) const override;
    Util::CountedPtr<Trova::FileFactory> GetFileFactory() const override;
    Util::PathName GetPathName() const override { return path_; }
    bool IsArchive() const override { return false; }
    std::string GetArchiveSubdirectory() const override { return {}; }

private:
    struct Entry {
        Util::PathName path;
        bool isDirectory;
    };

    Util::PathName path_;
    std::vector<Entry> entries_;
    DirNotifier notifier_;
};

} // namespace Ostrel::Vellix
