#pragma once

#include "Trova/DatFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Trova {

struct SubfileEntry {
    std::string name;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// The ICR2 archive layout: a signed 16-bit member count, one 27-byte record per member (name,
// size, absolute data offset), then the members' bytes, stored uncompressed. Offsets and sizes
// are not checked against the file when the archive opens; a member that lies outside the file
// fails when it is read.
class ICR2DatFile : public DatFile {
public:
    // Opens an existing archive and reads its directory: shared for reading, or exclusively for
    // reading and writing with update set.
    ICR2DatFile(const std::string& path, bool update);
    // Reads the directory of an archive held by any stream (a buffer in memory, for example).
    explicit ICR2DatFile(Util::CountedPtr<Util::BinaryStream> stream);
    // Creates a new, empty archive file; fails with XFileOpen when the file exists already.
    explicit ICR2DatFile(const std::string& path);

    const Util::PathName& GetPath() const override { return path_; }
    std::uint32_t GetSubfileCount() const override;
    std::string GetSubfileName(std::uint32_t index) const override;
    std::string GetSubfileExtension(std::uint32_t index) const override;
    std::string GetSubfileDirectory(std::uint32_t index) const override;
    std::uint32_t GetSubfileSize(std::uint32_t index) const override;
    std::uint32_t GetSubfileStoredSize(std::uint32_t index) const override;
    Util::CountedPtr<Util::BinaryStream> OpenSubfile(std::uint32_t index) override;
    Util::CountedPtr<Util::BinaryStream> FindSubfile(const std::string& name) override;
    void AddFiles(bool report) override;
    void Save() override;

private:
    ICR2DatFile(Util::PathName path, Util::CountedPtr<Util::BinaryStream> stream);
    const SubfileEntry& Entry(std::uint32_t index) const;
    void ReadDirectory();
    void WriteDirectory();
    void CopyMember(SubfileEntry& entry, std::vector<std::uint8_t>& buffer);

    Util::PathName path_;
    Util::CountedPtr<Util::BinaryStream> stream_;
    std::vector<SubfileEntry> entries_;
};

} // namespace Ostrel::Trova
