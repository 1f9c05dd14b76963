#include "Trova/TrovaDirectory.h"
#include "Support/TestSupport.h"
#include "Util/Platform.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace Ostrel::Util;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using Ostrel::Trova::TrovaDirectory;

namespace {

constexpr char kSep = kPathSeparator;

// A game directory copied from Windows: g/Cars holding CARS.DAT and CAR1.MIP.
class TrovaDirectoryTest : public testing::Test {
protected:
    TrovaDirectoryTest() {
        std::filesystem::create_directories(cars);
        WriteBytes(cars + kSep + "CARS.DAT", {1, 0});
        WriteBytes(cars + kSep + "CAR1.MIP", {});
    }

    // The message of what constructing from path raises, without the line number.
    static std::string FailedCheck(const std::string& path) {
        std::string message = Ostrel::Test::MessageOf([&] { TrovaDirectory{path}; });
        const std::size_t number = message.find(": ") + 2;
        return message.erase(number, message.find('\n') - number);
    }

    TempDir dir;
    const std::string games = dir / "g";
    const std::string cars = games + kSep + "Cars";
};

} // namespace

// Names are taken with their case on disk; a missing name without a dot is a directory to be.
TEST_F(TrovaDirectoryTest, DirectoriesFilesArchivesAndMembersBelongToTheirDirectory) {
    // Each directory under g with the paths that belong to it, written with '/' for the separator.
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"Cars",
         {"Cars", "Cars/", "Cars/CAR1.MIP", "Cars/car1.mip", "Cars/cars.dat",
          "Cars/cars.dat/CAR1.MIP", "Cars/new.mip", "Cars/./new.mip", "cars", "CARS/new.mip"}},
        {"newdir", {"newdir", "newdir/new.mip"}}};
    for (const auto& [name, paths] : cases) {
        for (std::string path : paths) {
            SCOPED_TRACE(path);
            path = games + "/" + path;
            std::replace(path.begin(), path.end(), '/', kSep);
            const TrovaDirectory directory(path);
            EXPECT_FALSE(directory.IsRoot());
            EXPECT_EQ(directory.GetDirectoryName(), name);
            EXPECT_EQ(directory.GetDirectoryPath(), games + kSep + name + kSep);
            EXPECT_EQ(directory.GetParentPath(), games + kSep);
        }
    }
    EXPECT_EQ(TrovaDirectory(cars).GetArchivePath(), cars + kSep + "CARS.DAT");
    EXPECT_EQ(TrovaDirectory(games).GetArchivePath(), games + kSep + "g.dat");
}

TEST_F(TrovaDirectoryTest, TheRootIsItsOwnNameAndHasNoParentOrArchive) {
    const std::string root = Ostrel::Test::RootDirectory();
    for (const std::string& path : {root, root + "no-such-file.mip"}) {
        const TrovaDirectory directory(path);
        EXPECT_TRUE(directory.IsRoot()) << path;
        EXPECT_EQ(directory.GetDirectoryName(), root);
        EXPECT_EQ(directory.GetDirectoryPath(), root);
        EXPECT_EQ(directory.GetParentPath(), "");
        EXPECT_EQ(directory.GetArchivePath(), "");
    }
}

TEST_F(TrovaDirectoryTest, PathsThatCannotBelongToADirectoryFailTheirChecks) {
    const std::string s(1, kSep);
    const std::string check = "Assertion failure at TrovaDirectory: \n";
    EXPECT_EQ(FailedCheck(games + s + "a" + s + "b" + s + "c.mip"),
              check + "attributes != 0xFFFFFFFF\n");
    EXPECT_EQ(FailedCheck(cars + s + "CAR1.MIP" + s + "sub" + s + "x.mip"),
              check + "attributes != 0xFFFFFFFF && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0\n");
    EXPECT_EQ(FailedCheck(games + s + std::string(kMaxPath, 'x')),
              check + "result != 0 && result < sizeof(buf)\n");
}
