#include "Trova/ICR2DatFile.h"
#include "Support/TestSupport.h"
#include "Trova/UncompressedSubFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"
#include "Util/Platform.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <numeric>

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
using Ostrel::Trova::UncompressedSubFile;

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

// Bytes 0..99; members are windows onto them.
CountedPtr<MemoryStream> Archive() {
    Bytes bytes(100);
    std::iota(bytes.begin(), bytes.end(), 0);
    return MakeCounted<MemoryStream>("archive.dat", bytes);
}

std::string FormatFailure(const std::string& file, const std::string& detail) {
    return "A possible error was found in file " + file + "\n" + detail + "\n";
}

// An archive in a game directory, and the loose files an archive being built is made of.
class ICR2DatFileReading : public testing::Test {
protected:
    void Files(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            WriteBytes(dir / name, Bytes(name.begin(), name.end()));
        }
    }
    // Adds the files and returns what was printed.
    std::string AddFiles(ICR2DatFile& archive, bool report = true) {
        testing::internal::CaptureStdout();
        archive.AddFiles(report);
        return testing::internal::GetCapturedStdout();
    }

    TempDir dir;
    const std::string path = dir / "cars.dat";
};
using ICR2DatFileBuilding = ICR2DatFileReading;

} // namespace

// A name filling the whole 13-byte field has no terminator and keeps all its characters.
TEST_F(ICR2DatFileReading, ListsAndFindsMembersWithTheirNamesExtensionsAndSizes) {
    ICR2DatFile archive(MakeCounted<MemoryStream>(
        "mem.dat",
        ArchiveBytes({{"CAR1.MIP", {1, 2, 3}}, {"README", {}}, {"ABCDEFGHIJ.KL", {7}}})));
    ASSERT_EQ(archive.GetSubfileCount(), 3u);
    EXPECT_EQ(archive.GetSubfileName(0), "CAR1");
    EXPECT_EQ(archive.GetSubfileExtension(0), "MIP");
    EXPECT_EQ(archive.GetSubfileSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileStoredSize(0), 3u);
    EXPECT_EQ(archive.GetSubfileName(1), "README");
    EXPECT_EQ(archive.GetSubfileExtension(1), "");
    EXPECT_EQ(archive.OpenSubfile(2)->GetName(), "ABCDEFGHIJ.KL");
    EXPECT_THROW(archive.GetSubfileSize(3), XAssertion);
    const auto member = archive.FindSubfile("car1.mip");
    ASSERT_TRUE(member);
    EXPECT_EQ(member->GetName(), "CAR1.MIP");
    EXPECT_EQ(ReadAll(*member), (Bytes{1, 2, 3}));
    EXPECT_FALSE(archive.FindSubfile("car2.mip"));
}

// A directory cut short fails as a whole, and no failure leaves the file open.
TEST_F(ICR2DatFileReading, MalformedDirectoriesFailWithTheirOwnMessageAndCloseTheFile) {
    const std::size_t before = OpenDescriptors();
    const Bytes two = ArchiveBytes({{"A.MIP", Bytes(100)}, {"B.MIP", Bytes(100)}});
    const std::string countError = FormatFailure(path, "ICR2 dat file subfile count error");
    const std::string readFailure = "Couldn't read from " + path + "\n";
    const struct {
        const char* cause;
        Bytes bytes;
        bool update;
        std::string message;
    } cases[] = {
        {"no members", {0, 0}, false, countError},
        {"negative count", {0x00, 0x80}, false, countError},
        {"signature 4", Patched(two, 2, {4}), false,
         FormatFailure(path, "ICR2 dat file signature not 5")},
        {"method 1", Patched(two, 3, {1}), false,
         FormatFailure(path, "ICR2 dat file unknown compression method")},
        {"second size copy differs", Patched(two, 35, {101}), false,
         FormatFailure(path, "ICR2 dat file subfile size mismatch")},
        {"last record cut short", Bytes(two.begin(), two.begin() + 55), false, readFailure},
        {"records missing, open for update", {0xFF, 0x7F}, true, readFailure},
        {"count cut short", {1}, false, readFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        WriteBytes(path, c.bytes);
        EXPECT_EQ(MessageOf([&] { ICR2DatFile(path, c.update); }), c.message);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ICR2DatFileReading, MembersAreWrittenOnlyThroughAnArchiveOpenForUpdate) {
    WriteBytes(path, ArchiveBytes({{"A.MIP", {1, 2, 3}}}));
    const std::uint8_t replacement[] = {7, 7};
    EXPECT_EQ(MessageOf([&] { ICR2DatFile(path, false).OpenSubfile(0)->Write(2, replacement); }),
              "Couldn't write to A.MIP\n");
    ICR2DatFile(path, true).OpenSubfile(0)->Write(2, replacement);
    const auto member = ICR2DatFile(path, false).OpenSubfile(0); // outlives its archive
    EXPECT_EQ(ReadAll(*member), (Bytes{7, 7, 3}));
}

TEST(ICR2DatFileInMemory, AFailedDirectoryLetsItsStreamGo) {
    auto cut = MakeCounted<MemoryStream>("cut.dat", Patched(ArchiveOfNames({"A.PBF"}), 0, {3}));
    EXPECT_THROW(ICR2DatFile{cut}, XFileRead);
    EXPECT_EQ(cut.GetCount(), 1u);
}

// Extensions and set-up names compare without regard to case.
TEST_F(ICR2DatFileBuilding, ChoosesFilesByTheirNamesAndReportsWhy) {
    Files({"CAR1.MIP",  "TRACK.TRK", "readme.txt", "verylongname.mip",
           "setup.co1", "setup.zz1", "setup.CO2",  "SETUP.bb3",
           "setup.co4", "setup.co",  "Setup.mu0",  "a.3DO",
           "b.cam",     "c.Lyt",     "d.m16",      "e.pbf",
           "f.pmp",     "g.srb",     "h.win",      "i.wav",
           "j.tga"});
    std::filesystem::create_directory(dir / "sub.mip");
    ICR2DatFile archive(path);
    const std::string report = AddFiles(archive);

    // The listing order is the file system's; the report follows it.
    const std::map<std::string, std::string> reasons = {
        {"readme.txt", "Unsuitable extension"}, {"verylongname.mip", "Name not 8.3"},
        {"setup.zz1", "Unknown setup type"},    {"cars.dat", "Unsuitable extension"},
        {"setup.co4", "Unknown setup type"},    {"setup.co", "Unknown setup type"},
        {"Setup.mu0", "Unknown setup type"},    {"j.tga", "Unsuitable extension"}};
    std::string included;
    std::string excluded;
    for (const auto& entry : Platform::ListDirectory(dir.Path())) {
        const auto reason = reasons.find(entry.name);
        if (reason != reasons.end()) {
            excluded += entry.name + "\t" + reason->second + "\n";
        } else if (!entry.isDirectory) {
            included += entry.name + "\n";
        }
    }
    EXPECT_EQ(report, "Included files\n\n" + included + "\nExcluded files\n\n" + excluded);
    EXPECT_EQ(archive.GetSubfileCount(), 14u);
    std::string members;
    for (std::uint32_t i = 0; i < archive.GetSubfileCount(); ++i) {
        members += archive.GetSubfileName(i) + "." + archive.GetSubfileExtension(i) + "\n";
    }
    EXPECT_EQ(members, included);
    EXPECT_EQ(AddFiles(archive, false), "");
}

TEST_F(ICR2DatFileBuilding, SavedArchiveReadsBackMemberForMember) {
    const std::map<std::string, Bytes> contents = {
        {"CAR1.MIP", Bytes(300, 0x11)}, {"TRACK.TRK", {}}, {"setup.co1", {1, 2, 3}}};
    for (const auto& [name, bytes] : contents) {
        WriteBytes(dir / name, bytes);
    }
    {
        ICR2DatFile archive(path);
        AddFiles(archive, false);
        archive.Save();
        // The archive serves its members right after saving.
        EXPECT_EQ(ReadAll(*archive.FindSubfile("car1.mip")), Bytes(300, 0x11));
    }
    // The count, three 27-byte records and the members' 303 bytes, each where its record says.
    EXPECT_EQ(ReadBytes(path).size(), 386u);
    ICR2DatFile archive(path, false);
    ASSERT_EQ(archive.GetSubfileCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        const auto member = archive.OpenSubfile(i);
        EXPECT_EQ(ReadAll(*member), contents.at(member->GetName())) << member->GetName();
    }
}

TEST_F(ICR2DatFileBuilding, AnEmptySelectionSavesNoMembersAndNoNewArchiveReplacesIt) {
    Files({"readme.txt"});
    {
        ICR2DatFile archive(path);
        AddFiles(archive, false);
        archive.Save();
    }
    EXPECT_EQ(ReadBytes(path), (Bytes{0, 0}));
    EXPECT_THROW(ICR2DatFile{path}, XFileOpen);
    EXPECT_EQ(ReadBytes(path), (Bytes{0, 0}));
}

TEST_F(ICR2DatFileBuilding, SavingFailsOnAFileThatVanishedOrCannotBeRecorded) {
    Files({"GONE.MIP"});
    ICR2DatFile archive(path);
    AddFiles(archive, false);
    std::filesystem::remove(dir / "GONE.MIP");
    EXPECT_THROW(archive.Save(), XFileOpen);
    EXPECT_FALSE(std::filesystem::exists(path)); // no broken archive behind

    // Sizes are recorded in 32 bits; a larger file is refused, not cut.
    {
        const auto big = CreateNew(dir / "BIG.MIP");
        big->SetPosition(0x100000001ull);
        big->Truncate();
    }
    ICR2DatFile second(dir / "other.dat");
    AddFiles(second, false);
    EXPECT_EQ(MessageOf([&] { second.Save(); }),
              FormatFailure(dir / "BIG.MIP", "File does not fit in an ICR2 dat file"));
}

TEST(UncompressedSubFile, TransfersAndSeeksStayInTheMemberAndFailNamingIt) {
    const auto archive = Archive();
    UncompressedSubFile member(archive, "CAR1.MIP", 20, 8);
    UncompressedSubFile other(archive, "CAR2.MIP", 50, 8);
    std::uint8_t bytes[9] = {};
    member.Read(4, bytes);
    other.Read(1, bytes + 8); // members read in alternation keep their own positions
    member.Read(4, bytes + 4);
    EXPECT_EQ(bytes[7], 27);
    EXPECT_TRUE(member.IsAtEnd());
    member.SetPosition(1);
    EXPECT_EQ(MessageOf([&] { member.Read(8, bytes); }), "Couldn't read from CAR1.MIP\n");
    EXPECT_EQ(member.GetPosition(), 1u);
    EXPECT_EQ(MessageOf([&] { member.Write(8, bytes); }), "Couldn't write to CAR1.MIP\n");
    const std::uint8_t written[] = {0xAA, 0xBB};
    member.SetPosition(6);
    member.Write(2, written);
    const Bytes& stored = archive->GetBytes();
    EXPECT_EQ(Bytes(stored.begin() + 25, stored.begin() + 29), (Bytes{25, 0xAA, 0xBB, 28}));
    EXPECT_EQ(MessageOf([&] { member.SetPosition(9); }), "Couldn't seek in CAR1.MIP\n");
    EXPECT_EQ(member.GetPosition(), 8u);
}

TEST(UncompressedSubFile, AClaimBeyondTheArchiveEndsWithItsBytes) {
    const std::vector<std::array<std::uint64_t, 3>> cases = {
        // start, claimed size, size held
        {20, 8, 8},
        {20, 0xFFFFFFFF, 80},
        {100, 5, 0},
        {0xFFFFFFF0, 0xFFFFFFFF, 0},
    };
    for (const auto& [start, claimed, held] : cases) {
        UncompressedSubFile member(Archive(), "BIG.MIP", start, claimed);
        EXPECT_EQ(member.GetSize(), held) << start << " " << claimed;
    }
}
