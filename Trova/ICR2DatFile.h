#pragma once

#include "Trova/DatFile.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Trova {

struct SubfileEntry {
    std::string name;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// A member of an archive about to be written: its name, and where its bytes come from (opened only
// when they are copied, so that any number of members can be written).
struct DatMember {
    std::string name;
    std::function<Util::CountedPtr<Util::BinaryStream>()> open;
};

// The loose files of a directory that go into its archive, and why the others do not.
struct ArchiveSelection {
    std::vector<std::string> included;
    std::vector<std::pair<std::string, const char*>> excluded;
};

ArchiveSelection SelectArchiveFiles(const std::string& directory);
// "Included files", then "Excluded files" with their reasons.
void PrintArchiveReport(std::ostream& out, const ArchiveSelection& selection);

// XUsage unless name fits an ICR2 member record (12 characters at most) and names a plain file.
void CheckICR2MemberName(const std::string& name);

// Writes a complete ICR2 archive of the members, in their order, from the stream's start, and
// returns the records written. Too many members, or data beyond the 32-bit offsets, fail with
// XFileFormat; an unsuitable name with XUsage.
std::vector<SubfileEntry> WriteICR2Archive(Util::BinaryStream& out,
                                           const std::vector<DatMember>& members);

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
    // An archive still to be made: Save writes it. Fails with XFileOpen when a file exists there
    // already, as Save does when one appeared meanwhile.
    explicit ICR2DatFile(const std::string& path);

    const Util::PathName& GetPath() const override { return path_; }
    std::uint32_t GetSubfileCount() const override;
    std::string GetSubfileName(std::uint32_t index) const override;
    std::string GetSubfileExtension(std::uint32_t index) const override;
    std::string GetSubfileDirectory(std::uint32_t index) const override;
    std::uint32_t GetSubfileSize(std::uint32_t index) const override;
    std::uint32_t GetSubfileOffset(std::uint32_t index) const override;
    std::uint32_t GetSubfileStoredSize(std::uint32_t index) const override;
    Util::CountedPtr<Util::BinaryStream> OpenSubfile(std::uint32_t index) override;
    Util::CountedPtr<Util::BinaryStream> FindSubfile(const std::string& name) override;
    void AddFiles(bool report) override;
    // Writes the archive completely under another name and puts it in place: a failure leaves no
    // archive, or the old one.
    void Save() override;

private:
    ICR2DatFile(Util::PathName path, Util::CountedPtr<Util::BinaryStream> stream);
    const SubfileEntry& Entry(std::uint32_t index) const;
    void ReadDirectory();

    Util::PathName path_;
    Util::CountedPtr<Util::BinaryStream> stream_;
    std::vector<SubfileEntry> entries_;
};

} // namespace Ostrel::Trova
