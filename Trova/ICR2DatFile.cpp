#include "Trova/ICR2DatFile.h"

#include "Trova/UncompressedSubFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <limits>
#include <utility>

namespace Ostrel::Trova {

using Util::CompareNoCase;
using Util::CountedPtr;
using Util::XFileFormat;

namespace {

constexpr char kSourceUnit[] = "ICR2DatFile";

// One directory record: signature, compression method, size, size again, name, data offset.
constexpr std::uint32_t kRecordSize = 27;
constexpr std::size_t kSignatureAt = 0;
constexpr std::size_t kMethodAt = 1;
constexpr std::size_t kSizeAt = 2;
constexpr std::size_t kSizeCopyAt = 6;
constexpr std::size_t kNameAt = 10;
constexpr std::size_t kNameField = 13;
constexpr std::size_t kOffsetAt = 23;
constexpr std::uint8_t kSignature = 5;
constexpr std::uint8_t kStored = 0;
constexpr std::uint32_t kCountSize = 2;
// The count field is signed 16-bit: more members cannot be recorded.
constexpr std::size_t kMaxCount = std::numeric_limits<std::int16_t>::max();
constexpr std::uint32_t kCopyChunk = 64 * 1024;

constexpr char kCountError[] = "ICR2 dat file subfile count error";

struct NameParts {
    std::string base;
    std::string extension;
};

// Archive members and the files packed into archives have plain 8.3 names: the extension is
// whatever follows the last dot.
NameParts SplitName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return {name, {}};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

SubfileEntry ParseRecord(const std::uint8_t* record, const std::string& archiveName) {
    if (record[kSignatureAt] != kSignature) {
        throw XFileFormat(archiveName, "ICR2 dat file signature not 5");
    }
    if (record[kMethodAt] != kStored) {
        throw XFileFormat(archiveName, "ICR2 dat file unknown compression method");
    }
    const std::uint32_t size = Util::ReadU32(record + kSizeAt);
    if (Util::ReadU32(record + kSizeCopyAt) != size) {
        throw XFileFormat(archiveName, "ICR2 dat file subfile size mismatch");
    }
    // A name filling the whole field has no terminator and keeps all 13 characters.
    const auto* name = reinterpret_cast<const char*>(record + kNameAt);
    const std::size_t length = std::find(name, name + kNameField, '\0') - name;
    return {std::string(name, length), Util::ReadU32(record + kOffsetAt), size};
}

void EncodeRecord(const SubfileEntry& entry, std::uint8_t* record) {
    std::fill(record, record + kRecordSize, 0);
    record[kSignatureAt] = kSignature;
    record[kMethodAt] = kStored;
    Util::WriteU32(record + kSizeAt, entry.size);
    Util::WriteU32(record + kSizeCopyAt, entry.size);
    OSTREL_ASSERT(entry.name.size() < kNameField);
    std::copy(entry.name.begin(), entry.name.end(), record + kNameAt);
    Util::WriteU32(record + kOffsetAt, entry.offset);
}

bool IsAcceptedExtension(const std::string& extension) {
    static const std::array<const char*, 11> kAccepted = {"3do", "cam", "lyt", "m16", "mip", "pbf",
                                                          "pmp", "srb", "trk", "win", "wav"};
    return std::any_of(kAccepted.begin(), kAccepted.end(), [&](const char* accepted) {
        return CompareNoCase(extension, accepted) == 0;
    });
}

// Set-up files are setup.XYn: XY one of the known kinds, n a variant from 1 to 3.
bool IsSetupExtension(const std::string& extension) {
    static const std::array<const char*, 7> kKinds = {"bb", "br", "co", "ea", "fe", "lo", "mu"};
    if (extension.size() != 3 || extension[2] < '1' || extension[2] > '3') {
        return false;
    }
    const std::string kind = extension.substr(0, 2);
    return std::any_of(kKinds.begin(), kKinds.end(),
                       [&](const char* known) { return CompareNoCase(kind, known) == 0; });
}

// Why a loose file stays out of the archive; nullptr when it goes in.
const char* ExclusionReason(const std::string& fileName) {
    const NameParts parts = SplitName(fileName);
    if (parts.base.size() > 8 || parts.extension.size() > 3) {
        return "Name not 8.3";
    }
    if (IsAcceptedExtension(parts.extension)) {
        return nullptr;
    }
    if (CompareNoCase(parts.base, "setup") == 0) {
        return IsSetupExtension(parts.extension) ? nullptr : "Unknown setup type";
    }
    return "Unsuitable extension";
}

void WriteDirectory(Util::BinaryStream& out, const std::vector<SubfileEntry>& entries) {
    std::vector<std::uint8_t> directory(kCountSize + entries.size() * kRecordSize);
    Util::WriteU16(directory.data(), static_cast<std::uint16_t>(entries.size()));
    for (std::size_t index = 0; index < entries.size(); ++index) {
        EncodeRecord(entries[index], directory.data() + kCountSize + index * kRecordSize);
    }
    out.SetPosition(0);
    out.Write(static_cast<std::uint32_t>(directory.size()), directory.data());
}

SubfileEntry CopyMember(Util::BinaryStream& out, const DatMember& member,
                        std::vector<std::uint8_t>& buffer) {
    const std::uint64_t offset = out.GetPosition();
    const auto source = member.open();
    const std::uint64_t size = source->GetSize();
    // Offsets and sizes are recorded in 32 bits; cutting them would lose the member's data.
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    if (offset > kLimit || size > kLimit) {
        throw XFileFormat(source->GetName(), "File does not fit in an ICR2 dat file");
    }
    for (std::uint64_t left = size; left > 0;) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, buffer.size()));
        source->Read(chunk, buffer.data());
        out.Write(chunk, buffer.data());
        left -= chunk;
    }
    return {member.name, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)};
}

} // namespace

ICR2DatFile::ICR2DatFile(Util::PathName path, CountedPtr<Util::BinaryStream> stream)
    : path_(std::move(path)), stream_(std::move(stream)) {}

ICR2DatFile::ICR2DatFile(const std::string& path, bool update)
    : ICR2DatFile(Util::PathName(path),
                  update ? Util::OpenForUpdate(path) : Util::OpenForRead(path)) {
    ReadDirectory();
}

ICR2DatFile::ICR2DatFile(CountedPtr<Util::BinaryStream> stream)
    : ICR2DatFile(Util::PathName(stream->GetName()), stream) {
    ReadDirectory();
}

ICR2DatFile::ICR2DatFile(const std::string& path) : path_(path) {
    std::string refusal;
    if (!Util::Platform::MayWrite(path_.GetFullName(), false, refusal)) {
        throw Util::XFileOpen(path_.GetFullName(), refusal);
    }
}

void ICR2DatFile::ReadDirectory() {
    std::uint8_t countField[kCountSize];
    stream_->Read(kCountSize, countField);
    const auto count = static_cast<std::int16_t>(Util::ReadU16(countField));
    if (count <= 0) {
        throw XFileFormat(path_.GetFullName(), kCountError);
    }
    // Room only for the records the file can hold; a directory cut short fails when read.
    entries_.reserve(std::min<std::uint64_t>(count, stream_->GetRemaining() / kRecordSize));
    for (std::int16_t index = 0; index < count; ++index) {
        std::uint8_t record[kRecordSize];
        stream_->Read(kRecordSize, record);
        entries_.push_back(ParseRecord(record, path_.GetFullName()));
    }
}

const SubfileEntry& ICR2DatFile::Entry(std::uint32_t index) const {
    OSTREL_ASSERT(index < entries_.size());
    return entries_[index];
}

std::uint32_t ICR2DatFile::GetSubfileCount() const {
    return static_cast<std::uint32_t>(entries_.size());
}

std::string ICR2DatFile::GetSubfileName(std::uint32_t index) const {
    return SplitName(Entry(index).name).base;
}

std::string ICR2DatFile::GetSubfileExtension(std::uint32_t index) const {
    return SplitName(Entry(index).name).extension;
}

std::string ICR2DatFile::GetSubfileDirectory(std::uint32_t index) const {
    static_cast<void>(Entry(index)); // ICR2 archives are flat, but the index is still checked
    return {};
}

std::uint32_t ICR2DatFile::GetSubfileSize(std::uint32_t index) const {
    return Entry(index).size;
}

std::uint32_t ICR2DatFile::GetSubfileOffset(std::uint32_t index) const {
    return Entry(index).offset;
}

std::uint32_t ICR2DatFile::GetSubfileStoredSize(std::uint32_t index) const {
    return Entry(index).size;
}

CountedPtr<Util::BinaryStream> ICR2DatFile::OpenSubfile(std::uint32_t index) {
    const SubfileEntry& entry = Entry(index);
    return Util::MakeCounted<UncompressedSubFile>(stream_, entry.name, entry.offset, entry.size);
}

// The member of exactly that name, else the first whose name differs only in case.
CountedPtr<Util::BinaryStream> ICR2DatFile::FindSubfile(const std::string& name) {
    const auto exact = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const SubfileEntry& entry) { return entry.name == name; });
    const auto found = exact != entries_.end()
                           ? exact
                           : std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
                                 return CompareNoCase(entry.name, name) == 0;
                             });
    if (found == entries_.end()) {
        return {};
    }
    return OpenSubfile(static_cast<std::uint32_t>(found - entries_.begin()));
}

ArchiveSelection SelectArchiveFiles(const std::string& directory) {
    ArchiveSelection selection;
    for (const auto& file : Util::Platform::ListDirectory(directory)) {
        if (file.isDirectory) {
            continue;
        }
        const bool regular = Util::FileExists(directory + file.name);
        if (const char* reason = regular ? ExclusionReason(file.name) : "Not a regular file") {
            selection.excluded.emplace_back(file.name, reason);
        } else {
            selection.included.push_back(file.name);
        }
    }
    return selection;
}

void PrintArchiveReport(std::ostream& out, const ArchiveSelection& selection) {
    out << "Included files\n\n";
    for (const std::string& name : selection.included) {
        out << name << '\n';
    }
    out << "\nExcluded files\n\n";
    for (const auto& [name, reason] : selection.excluded) {
        out << name << '\t' << reason << '\n';
    }
    out.flush();
}

void CheckICR2MemberName(const std::string& name) {
    Util::CheckedFileName(name);
    if (name.size() >= kNameField) {
        throw Util::XUsage("Member name \"" + name + "\" is longer than " +
                           std::to_string(kNameField - 1) + " characters");
    }
}

// The directory is written first with empty records, the data after it, and the directory
// again once every offset and size is known. A failure leaves the empty records in place.
std::vector<SubfileEntry> WriteICR2Archive(Util::BinaryStream& out,
                                           const std::vector<DatMember>& members) {
    if (members.size() > kMaxCount) {
        throw XFileFormat(out.GetName(), kCountError);
    }
    std::vector<SubfileEntry> entries;
    for (const DatMember& member : members) {
        CheckICR2MemberName(member.name);
        entries.push_back({member.name});
    }
    WriteDirectory(out, entries);
    std::vector<std::uint8_t> buffer(kCopyChunk);
    for (std::size_t index = 0; index < members.size(); ++index) {
        entries[index] = CopyMember(out, members[index], buffer);
    }
    WriteDirectory(out, entries);
    return entries;
}

void ICR2DatFile::AddFiles(bool report) {
    const ArchiveSelection selection = SelectArchiveFiles(path_.GetParentDirectory());
    entries_.clear();
    for (const std::string& name : selection.included) {
        entries_.push_back({name});
    }
    if (report) {
        PrintArchiveReport(std::cout, selection);
    }
}

void ICR2DatFile::Save() {
    std::vector<DatMember> members;
    for (const SubfileEntry& entry : entries_) {
        const std::string path = path_.GetParentDirectory() + entry.name;
        members.push_back({entry.name, [path] {
                               return Util::OpenForRead(path);
                           }});
    }
    // An archive still to be made must not appear meanwhile; an open one is replaced.
    const std::string written =
        Util::WriteSafely(path_.GetFullName(), static_cast<bool>(stream_),
                          [&](const auto& out) { entries_ = WriteICR2Archive(*out, members); });
    stream_ = Util::OpenForRead(written);
}

} // namespace Ostrel::Trova
