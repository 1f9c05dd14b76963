#include "Trova/ICR2DatFile.h"
#include "Support/TestSupport.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"
#include "Util/Platform.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace Ostrel::Util;
using Ostrel::Test::MessageOf;
using Ostrel::Test::ReadBytes;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using Ostrel::Trova::ICR2DatFile;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(Bytes& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

struct Record {
    std::string name;
    std::uint32_t offset;
    std::uint32_t size;
    std::uint32_t sizeCopy;
    std::uint8_t signature = 5;
    std::uint8_t method = 0;
};

Bytes Directory(std::uint16_t count, const std::vector<Record>& records) {
    Bytes bytes;
    Append16(bytes, count);
    for (const Record& record : records) {
        bytes.push_back(record.signature);
        bytes.push_back(record.method);
        Append32(bytes, record.size);
        Append32(bytes, record.sizeCopy);
        Bytes name(13, 0);
        std::copy(record.name.begin(), record.name.end(), name.begin());
        bytes.insert(bytes.end(), name.begin(), name.end());
        Append32(bytes, record.offset);
    }
    return bytes;
}

// An archive of the given members, their data after the directory in order.
Bytes Archive(const std::vector<std::pair<std::string, Bytes>>& members) {
    std::vector<Record> records;
    std::uint32_t offset = 2 + 27 * static_cast<std::uint32_t>(members.size());
    for (const auto& [name, data] : members) {
        const auto size = static_cast<std::uint32_t>(data.size());
        records.push_back({name, offset, size, size});
        offset += size;
    }
    Bytes bytes = Directory(static_cast<std::uint16_t>(members.size()), records);
    for (const auto& member : members) {
        bytes.insert(bytes.end(), member.second.begin(), member.second.end());
    }
    return bytes;
}

Bytes ReadAll(BinaryStream& stream) {
    Bytes bytes(stream.GetSize());
    stream.Read(static_cast<std::uint32_t>(bytes.size()), bytes.data());
    return bytes;
}

std::size_t OpenDescriptors() {
#ifdef _WIN32
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
#else
    return Platform::ListDirectory("/proc/self/fd").size();
#endif
}

class ICR2DatFileReading : public testing::Test {
protected:
    std::string Write(const Bytes& bytes) {
        WriteBytes(path, bytes);
        return path;
    }
    std::string FormatMessage(const std::string& detail) const {
        return "A possible error was found in file " + path + "\n" + detail + "\n";
    }

    TempDir dir;
    const std::string path = dir / "CARS.DAT";
};

} // namespace

TEST_F(ICR2DatFileReading, ListsMembersWithTheirNamesExtensionsAndSizes) {
    ICR2DatFile archive(Write(Archive({{"CAR1.MIP", {1, 2, 3}}, {"README", {}}})), false);
    EXPECT_EQ(archive.GetPath().GetFullName(), path);
    ASSERT_EQ(archive.GetSubfileCount(), 2u);
    EXPECT_EQ(archive.GetSubfileName(0), "CAR1");
    EXPECT_EQ(archive.GetSubfileExtension(0), "MIP");
    EXPECT_EQ(archive.GetSubfileDirectory(0), "");
    EXPECT_EQ(archive.GetSubfileSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileStoredSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileName(1), "README");
    EXPECT_EQ(archive.GetSubfileExtension(1), "");
    EXPECT_THROW(archive.GetSubfileSize(2), XAssertion);
}

TEST_F(ICR2DatFileReading, MembersReadInAlternationKeepTheirPositionsAndOutliveTheArchive) {
    auto archive = MakeCounted<ICR2DatFile>(
        Write(Archive({{"A.MIP", {1, 2, 3, 4}}, {"B.MIP", {9, 8, 7, 6}}})), false);
    auto first = archive->OpenSubfile(0);
    auto second = archive->OpenSubfile(1);
    archive = nullptr;
    Bytes seen;
    for (int i = 0; i < 2; ++i) {
        std::uint8_t two[2];
        first->Read(2, two);
        seen.insert(seen.end(), two, two + 2);
        second->Read(2, two);
        seen.insert(seen.end(), two, two + 2);
    }
    EXPECT_EQ(seen, (Bytes{1, 2, 9, 8, 3, 4, 7, 6}));
    EXPECT_EQ(first->GetName(), "A.MIP");
}

TEST_F(ICR2DatFileReading, FindSubfileIgnoresCase) {
    ICR2DatFile archive(Write(Archive({{"TRACK.TRK", {1}}, {"CAR1.MIP", {5, 6}}})), false);
    const auto member = archive.FindSubfile("car1.mip");
    ASSERT_TRUE(member);
    EXPECT_EQ(member->GetName(), "CAR1.MIP");
    EXPECT_EQ(ReadAll(*member), (Bytes{5, 6}));
    EXPECT_FALSE(archive.FindSubfile("car2.mip"));
}

TEST_F(ICR2DatFileReading, MalformedDirectoriesFailWithTheirOwnMessage) {
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {Directory(0, {}), "ICR2 dat file subfile count error"},
        {Directory(0x8000, {}), "ICR2 dat file subfile count error"},
        {Directory(1, {{"A.MIP", 29, 0, 0, 4}}), "ICR2 dat file signature not 5"},
        {Directory(1, {{"A.MIP", 29, 0, 0, 5, 1}}), "ICR2 dat file unknown compression method"},
        {Directory(2, {{"A.MIP", 56, 100, 100}, {"B.MIP", 156, 100, 101}}),
         "ICR2 dat file subfile size mismatch"},
    };
    for (const auto& [bytes, detail] : cases) {
        const std::string archivePath = Write(bytes);
        EXPECT_EQ(MessageOf([&] { ICR2DatFile(archivePath, false); }), FormatMessage(detail));
    }
}

TEST_F(ICR2DatFileReading, ADirectoryCutShortFailsAsAWholeAndClosesTheFile) {
    const std::size_t before = OpenDescriptors();
    const std::string readFailure = "Couldn't read from " + path + "\n";
    Bytes cut = Directory(2, {{"A.MIP", 56, 0, 0}, {"B.MIP", 56, 0, 0}});
    cut.pop_back();
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(Write(cut), false); }), readFailure);
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(Write(Directory(0x7FFF, {})), true); }), readFailure);
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(Write({1}), false); }), readFailure);
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(Write(Directory(0, {})), true); }),
              FormatMessage("ICR2 dat file subfile count error"));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ICR2DatFileReading, AcceptsANameFillingTheWholeField) {
    ICR2DatFile archive(Write(Archive({{"ABCDEFGHIJ.KL", {7}}})), false);
    EXPECT_EQ(archive.GetSubfileName(0) + "." + archive.GetSubfileExtension(0), "ABCDEFGHIJ.KL");
    EXPECT_EQ(archive.OpenSubfile(0)->GetName(), "ABCDEFGHIJ.KL");
}

TEST_F(ICR2DatFileReading, MembersBeyondTheFileFailWhenReadNamingTheMember) {
    {
        ICR2DatFile archive(
            Write(Directory(2, {{"FAR.MIP", 0xFFFFFF00u, 16, 16}, {"EDGE.MIP", 50, 10, 10}})),
            true);
        const auto distant = archive.OpenSubfile(0);
        const auto edge = archive.OpenSubfile(1);
        std::uint8_t bytes[10];
        EXPECT_EQ(MessageOf([&] { distant->Read(1, bytes); }), "Couldn't read from FAR.MIP\n");
        EXPECT_EQ(MessageOf([&] { edge->Read(10, bytes); }), "Couldn't read from EDGE.MIP\n");
        EXPECT_EQ(MessageOf([&] { distant->Write(1, bytes); }), "Couldn't write to FAR.MIP\n");
    }
    EXPECT_EQ(ReadBytes(path).size(), 56u);
}

TEST_F(ICR2DatFileReading, MembersAreWrittenOnlyThroughAnArchiveOpenForUpdate) {
    Write(Archive({{"A.MIP", {1, 2, 3}}}));
    const std::uint8_t replacement[] = {7, 7};
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(path, false).OpenSubfile(0)->Write(2, replacement); }),
              "Couldn't write to A.MIP\n");
    ICR2DatFile(path, true).OpenSubfile(0)->Write(2, replacement);
    EXPECT_EQ(ReadAll(*ICR2DatFile(path, false).OpenSubfile(0)), (Bytes{7, 7, 3}));
}

TEST(ICR2DatFileInMemory, ReadsFromAnyStreamAndFailsAlike) {
    auto stream = MakeCounted<MemoryStream>("mem.dat", Archive({{"A.PBF", {4, 5}}}));
    ICR2DatFile archive(stream);
    EXPECT_EQ(ReadAll(*archive.FindSubfile("a.pbf")), (Bytes{4, 5}));
    auto cut = MakeCounted<MemoryStream>("cut.dat", Directory(3, {{"A.PBF", 0, 0, 0}}));
    EXPECT_THROW(ICR2DatFile{cut}, XFileRead);
    EXPECT_EQ(cut.GetCount(), 1u);
}
