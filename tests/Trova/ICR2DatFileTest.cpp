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
using Ostrel::Test::ArchiveBytes;
using Ostrel::Test::ArchiveOfNames;
using Ostrel::Test::MessageOf;
using Ostrel::Test::ReadBytes;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using Ostrel::Trova::ICR2DatFile;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes with those from offset on replaced. A record is 27 bytes from offset 2: signature,
// method, size, size again, 13 name bytes, data offset.
Bytes Patched(Bytes bytes, std::size_t offset, const Bytes& replacement) {
    std::copy(replacement.begin(), replacement.end(), bytes.begin() + offset);
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

// A name filling the whole 13-byte field has no terminator and keeps all its characters.
TEST_F(ICR2DatFileReading, ListsAndFindsMembersWithTheirNamesExtensionsAndSizes) {
    ICR2DatFile archive(
        Write(ArchiveBytes({{"CAR1.MIP", {1, 2, 3}}, {"README", {}}, {"ABCDEFGHIJ.KL", {7}}})),
        false);
    ASSERT_EQ(archive.GetSubfileCount(), 3u);
    EXPECT_EQ(archive.GetSubfileName(0), "CAR1");
    EXPECT_EQ(archive.GetSubfileExtension(0), "MIP");
    EXPECT_EQ(archive.GetSubfileSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileStoredSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileName(1), "README");
    EXPECT_EQ(archive.GetSubfileExtension(1), "");
    EXPECT_EQ(archive.GetSubfileName(2) + "." + archive.GetSubfileExtension(2), "ABCDEFGHIJ.KL");
    EXPECT_EQ(archive.OpenSubfile(2)->GetName(), "ABCDEFGHIJ.KL");
    EXPECT_THROW(archive.GetSubfileSize(3), XAssertion);
    const auto member = archive.FindSubfile("car1.mip");
    ASSERT_TRUE(member);
    EXPECT_EQ(member->GetName(), "CAR1.MIP");
    EXPECT_EQ(ReadAll(*member), (Bytes{1, 2, 3}));
    EXPECT_FALSE(archive.FindSubfile("car2.mip"));
}

TEST_F(ICR2DatFileReading, MembersReadInAlternationKeepTheirPositionsAndOutliveTheArchive) {
    auto archive = MakeCounted<ICR2DatFile>(
        Write(ArchiveBytes({{"A.MIP", {1, 2, 3, 4}}, {"B.MIP", {9, 8, 7, 6}}})), false);
    auto first = archive->OpenSubfile(0);
    auto second = archive->OpenSubfile(1);
    archive = nullptr;
    Bytes seen(8);
    first->Read(2, &seen[0]);
    second->Read(2, &seen[2]);
    first->Read(2, &seen[4]);
    second->Read(2, &seen[6]);
    EXPECT_EQ(seen, (Bytes{1, 2, 9, 8, 3, 4, 7, 6}));
    EXPECT_EQ(first->GetName(), "A.MIP");
}

// A directory cut short fails as a whole, and no failure leaves the file open.
TEST_F(ICR2DatFileReading, MalformedDirectoriesFailWithTheirOwnMessageAndCloseTheFile) {
    const std::size_t before = OpenDescriptors();
    const Bytes two = ArchiveBytes({{"A.MIP", Bytes(100)}, {"B.MIP", Bytes(100)}});
    const Bytes cut(two.begin(), two.begin() + 55);
    const std::string countError = FormatMessage("ICR2 dat file subfile count error");
    const std::string readFailure = "Couldn't read from " + path + "\n";
    const struct {
        const char* cause;
        Bytes bytes;
        bool update;
        std::string message;
    } cases[] = {
        {"no members", {0, 0}, false, countError},
        {"no members, open for update", {0, 0}, true, countError},
        {"negative count", {0x00, 0x80}, false, countError},
        {"signature 4", Patched(two, 2, {4}), false,
         FormatMessage("ICR2 dat file signature not 5")},
        {"method 1", Patched(two, 3, {1}), false,
         FormatMessage("ICR2 dat file unknown compression method")},
        {"second size copy differs", Patched(two, 35, {101}), false,
         FormatMessage("ICR2 dat file subfile size mismatch")},
        {"last record cut short", cut, false, readFailure},
        {"records missing, open for update", {0xFF, 0x7F}, true, readFailure},
        {"count cut short", {1}, false, readFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        const std::string archivePath = Write(c.bytes);
        EXPECT_EQ(MessageOf([&] { ICR2DatFile(archivePath, c.update); }), c.message);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ICR2DatFileReading, MembersBeyondTheFileFailWhenReadNamingTheMember) {
    Bytes bytes = ArchiveBytes({{"FAR.MIP", Bytes(16)}, {"EDGE.MIP", Bytes(10)}});
    bytes = Patched(bytes, 25, {0, 0xFF, 0xFF, 0xFF});
    bytes.resize(77); // EDGE.MIP starts 5 bytes before the end of the file
    {
        ICR2DatFile archive(Write(bytes), true);
        const auto distant = archive.OpenSubfile(0);
        const auto edge = archive.OpenSubfile(1);
        std::uint8_t bytes[10];
        EXPECT_EQ(MessageOf([&] { distant->Read(1, bytes); }), "Couldn't read from FAR.MIP\n");
        EXPECT_EQ(MessageOf([&] { edge->Read(10, bytes); }), "Couldn't read from EDGE.MIP\n");
        EXPECT_EQ(MessageOf([&] { distant->Write(1, bytes); }), "Couldn't write to FAR.MIP\n");
    }
    EXPECT_EQ(ReadBytes(path).size(), 77u);
}

TEST_F(ICR2DatFileReading, MembersAreWrittenOnlyThroughAnArchiveOpenForUpdate) {
    Write(ArchiveBytes({{"A.MIP", {1, 2, 3}}}));
    const std::uint8_t replacement[] = {7, 7};
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(path, false).OpenSubfile(0)->Write(2, replacement); }),
              "Couldn't write to A.MIP\n");
    ICR2DatFile(path, true).OpenSubfile(0)->Write(2, replacement);
    EXPECT_EQ(ReadAll(*ICR2DatFile(path, false).OpenSubfile(0)), (Bytes{7, 7, 3}));
}

TEST(ICR2DatFileInMemory, ReadsFromAnyStreamAndFailsAlike) {
    auto stream = MakeCounted<MemoryStream>("mem.dat", ArchiveBytes({{"A.PBF", {4, 5}}}));
    ICR2DatFile archive(stream);
    EXPECT_EQ(ReadAll(*archive.FindSubfile("a.pbf")), (Bytes{4, 5}));
    auto cut = MakeCounted<MemoryStream>("cut.dat", Patched(ArchiveOfNames({"A.PBF"}), 0, {3}));
    EXPECT_THROW(ICR2DatFile{cut}, XFileRead);
    EXPECT_EQ(cut.GetCount(), 1u);
}
