#include "Support/TestSupport.h"
#include "Trova/ICR2DatFile.h"
#include "Util/BinaryFile.h"
#include "Util/BinaryStream.h"
#include "Util/Exception.h"
#include "Util/Platform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace Ostrel::Util;
using Ostrel::Test::MessageOf;
using Ostrel::Test::ReadBytes;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using Ostrel::Trova::ICR2DatFile;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> MemberNames(const ICR2DatFile& archive) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < archive.GetSubfileCount(); ++i) {
        names.push_back(archive.GetSubfileName(i) + "." + archive.GetSubfileExtension(i));
    }
    return names;
}

// The loose files of a game directory, with the archive being built beside them.
class ICR2DatFileBuilding : public testing::Test {
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

} // namespace

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
    std::vector<std::string> members;
    for (const auto& entry : Platform::ListDirectory(dir.Path())) {
        if (entry.isDirectory) {
            continue;
        }
        if (reasons.count(entry.name)) {
            excluded += entry.name + "\t" + reasons.at(entry.name) + "\n";
        } else {
            included += entry.name + "\n";
            members.push_back(entry.name);
        }
    }
    EXPECT_EQ(report, "Included files\n\n" + included + "\nExcluded files\n\n" + excluded);
    EXPECT_EQ(members.size(), 14u);
    EXPECT_EQ(MemberNames(archive), members);
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
        const auto member = archive.FindSubfile("car1.mip");
        ASSERT_TRUE(member);
        Bytes data(300);
        member->Read(300, data.data());
        EXPECT_EQ(data, Bytes(300, 0x11));
    }
    // The count, three 27-byte records and the members' 303 bytes, each where its record says.
    EXPECT_EQ(ReadBytes(path).size(), 386u);
    ICR2DatFile archive(path, false);
    ASSERT_EQ(archive.GetSubfileCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        const auto member = archive.OpenSubfile(i);
        Bytes data(member->GetSize());
        member->Read(static_cast<std::uint32_t>(data.size()), data.data());
        EXPECT_EQ(data, contents.at(member->GetName())) << member->GetName();
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
    EXPECT_EQ(MessageOf([&] { second.Save(); }), "A possible error was found in file " +
                                                     (dir / "BIG.MIP") +
                                                     "\nFile does not fit in an ICR2 dat file\n");
}
