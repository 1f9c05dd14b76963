// vellix-cli on hostile and unusual input: archives that claim more than they hold, pipes, names
// that differ only in case, archives opened directly, names that are not UTF-8; and on
// interruption, links in the way and a full disk.

#include "Support/TestSupport.h"
#include "Trova/GPLFileBytes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Ostrel::Test;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const std::string kCli = VELLIX_BINARY_DIR "/Vellix/Cli/vellix-cli";
const std::string kCorpus = VELLIX_SOURCE_DIR "/fuzz/corpus/";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// AddressSanitizer reserves terabytes of address space for its shadow memory, so a sanitized
// program cannot start under the limit; there the ordinary build's run is the memory check.
#if defined(__SANITIZE_ADDRESS__)
const std::string kAddressSpaceLimit;
#else
const std::string kAddressSpaceLimit = "ulimit -v 300000 && ";
#endif

class CliSafety : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "game");
        fs::create_directories(dir_ / "copy");
    }

    // Runs in the test's directory, with the address space limited so that an allocation of
    // gigabytes fails rather than succeeds.
    Result Run(const std::string& arguments) const {
        Result result;
        const std::string errors = dir_ / "stderr.txt";
        result.out =
            RunCommand("cd '" + dir_.Path() + "' && " + kAddressSpaceLimit + "timeout 20 '" + kCli +
                           "' " + arguments + " 2>'" + errors + "'",
                       &result.status);
        const auto bytes = ReadBytes(errors);
        result.err.assign(bytes.begin(), bytes.end());
        return result;
    }

    void Copy(const std::string& corpusFile, const std::string& to) const {
        fs::create_directories(fs::path(dir_ / to).parent_path());
        fs::copy_file(kCorpus + corpusFile, dir_ / to, fs::copy_options::overwrite_existing);
    }

    std::vector<std::uint8_t> Corpus(const std::string& file) const {
        return ReadBytes(kCorpus + file);
    }

    TempDir dir_;
};

const char kMip4x4[] = "MipFileFuzz/gpl-format3-4x4.mip";
const char kMip8x2[] = "MipFileFuzz/gpl-format5-8x2.mip";

TEST_F(CliSafety, ClaimsBeyondTheArchiveFailAtOnceWithinAFewMegabytes) {
    Copy("ICR2DatFileFuzz/member-claims-4gib-palette-claims-gigabytes.dat", "evil/evil.dat");
    for (const char* command :
         {"list evil/evil.dat", "info evil/evil.dat/BIG.MIP", "to-bmp evil/evil.dat/BIG.MIP"}) {
        const Result result = Run(command);
        EXPECT_EQ(result.status, 1) << command;
        // The listing shows the message in the file's row.
        EXPECT_THAT(result.out + result.err, HasSubstr("Couldn't read from BIG.MIP")) << command;
    }
}

TEST_F(CliSafety, PipesAreNeverOpened) {
    Copy(kMip4x4, "game/CAR.MIP");
    ASSERT_EQ(RunCommand("mkfifo '" + (dir_ / "game/PIPE.MIP") + "'").size(), 0u);
    EXPECT_NE(Run("list game").status, 124);
    EXPECT_EQ(Run("to-bmp game/PIPE.MIP").status, 1);
    const Result built = Run("dat build game --report");
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_THAT(built.out, HasSubstr("PIPE.MIP\tNot a regular file"));
}

TEST_F(CliSafety, NamesThatDifferOnlyInCaseReachTheirOwnFiles) {
    Copy(kMip4x4, "game/A.mip");
    Copy(kMip8x2, "game/a.MIP");
    EXPECT_THAT(Run("info game/A.mip").out, HasSubstr("width: 4"));
    EXPECT_THAT(Run("info game/a.MIP").out, HasSubstr("width: 8"));
    ASSERT_EQ(Run("to-bmp game/a.MIP").status, 0);
    ASSERT_EQ(Run("from-bmp game/a.MIP --overwrite").status, 0);
    EXPECT_EQ(ReadBytes(dir_ / "game/A.mip"), Corpus(kMip4x4));
}

TEST_F(CliSafety, AnArchiveOpenedDirectlyShowsItsOwnMembers) {
    // The directory's own archive has an X.MIP of another size.
    WriteBytes(dir_ / "copy/copy.dat", ArchiveBytes({{"X.MIP", Corpus(kMip4x4)}}));
    Copy(kMip4x4, "game/P.MIP");
    ASSERT_EQ(Run("to-bmp game/P.MIP").status, 0);
    WriteBytes(dir_ / "copy/other.dat", ArchiveBytes({{"X.MIP", Corpus(kMip8x2)},
                                                      {"P.BMP", ReadBytes(dir_ / "game/P.bmp")}}));
    EXPECT_THAT(Run("info copy/other.dat/X.MIP").out, HasSubstr("width: 8"));
    const Result listed = Run("list copy/other.dat");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr("P.BMP"));
    EXPECT_THAT(Run("info copy/other.dat/P.BMP").out, HasSubstr("bitsPerPixel: 24"));
}

TEST_F(CliSafety, InfoOfAFileThatIsNoTextureFails) {
    WriteBytes(dir_ / "game/EMPTY.MIP", {});
    WriteBytes(dir_ / "game/TRACK.TRK", {'K', 'A', 'R', 'T'});
    for (const char* name : {"game/EMPTY.MIP", "game/TRACK.TRK"}) {
        const Result result = Run(std::string("info ") + name);
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_THAT(result.err, HasSubstr(fs::path(name).filename().string())) << name;
    }
}

// Files that can be read but not written back: a 4-bit level with more colours than its indices
// reach, and uncompressed data shorter than the level's size.
TEST_F(CliSafety, FromBmpIntoAFileThatCannotTakePixelsSaysWhichAndWhy) {
    std::vector<std::array<std::uint8_t, 4>> seventeen(17, {1, 2, 3, 255});
    BmapSpec shortData = BmapSpec::Of(3, 4, 4);
    shortData.data = Bytes(28, 7);
    MipSpec fourBit;
    fourBit.format = 0;
    MipSpec shortLevel;
    shortLevel.levels = {shortData.Build()};
    const std::pair<Bytes, const char*> cases[] = {
        {fourBit.StandardLevels(1, 0, Cmap(seventeen)).Build(),
         "Palette has more than 16 colours for 4-bit pixels"},
        {shortLevel.Build(), "Pixel data size does not match the picture's size"},
    };
    Copy(kMip4x4, "game/P.MIP");
    ASSERT_EQ(Run("to-bmp game/P.MIP").status, 0);
    for (const auto& [mip, problem] : cases) {
        WriteBytes(dir_ / "game/P.MIP", mip);
        const Result result = Run("from-bmp game/P.MIP --overwrite");
        EXPECT_EQ(result.status, 1) << problem;
        EXPECT_THAT(result.err, HasSubstr("P.MIP")) << problem;
        EXPECT_THAT(result.err, HasSubstr(problem));
        EXPECT_EQ(ReadBytes(dir_ / "game/P.MIP"), mip);
    }
}

TEST_F(CliSafety, JsonReplacesBytesThatAreNotUtf8) {
    WriteBytes(
        dir_ / "names.dat",
        ArchiveBytes({{"\xE9T\xE9.MIP", {}}, {"CAF\xC3\x89.MIP", {}}, {"\xC0\xAF.MIP", {}}}));
    const Result result = Run("dat list names.dat --json");
    EXPECT_THAT(result.out, HasSubstr("\"\\ufffdT\\ufffd.MIP\""));
    EXPECT_THAT(result.out, HasSubstr("\"CAF\xC3\x89.MIP\""));
    EXPECT_THAT(result.out, HasSubstr("\"\\ufffd\\ufffd.MIP\"")); // an overlong '/'
}

// Names of the files in a directory that a writer left behind under a temporary name.
std::vector<std::string> Leftovers(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.path().extension() == ".tmp") {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

// Starts vellix-cli in the directory, its output thrown away, and returns its process.
pid_t Start(const std::string& directory, const std::vector<std::string>& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> words{const_cast<char*>(kCli.c_str())};
        for (const std::string& argument : arguments) {
            words.push_back(const_cast<char*>(argument.c_str()));
        }
        words.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        if (chdir(directory.c_str()) == 0) {
            execv(kCli.c_str(), words.data());
        }
        _exit(127);
    }
    return child;
}

// Interrupted in the middle of a batch, every target is old or complete and no temporary file
// stays behind.
TEST_F(CliSafety, AnInterruptedBatchLeavesEachFileOldOrComplete) {
    if (!HaveCommand("convert")) {
        GTEST_SKIP() << "ImageMagick's convert is needed to make the pictures";
    }
    const std::string game = dir_ / "game";
    RunCommand("cd '" + game + "' && convert -size 256x256 gradient:red-blue BMP3:A.bmp");
    ASSERT_EQ(Run("to-mip game/A.bmp --transparency none").status, 0);
    const auto complete = ReadBytes(game + "/A.mip");
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    std::vector<std::string> arguments{"to-mip", "--transparency", "none", "--overwrite"};
    for (int file = 0; file < 60; ++file) {
        const std::string name = "B" + std::to_string(file);
        fs::copy_file(game + "/A.bmp", game + "/" + name + ".bmp");
        arguments.push_back(name + ".bmp");
    }
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        for (int file = 0; file < 60; ++file) {
            WriteBytes(game + "/B" + std::to_string(file) + ".mip", old);
        }
        const pid_t child = Start(game, arguments);
        for (int wait = 0; wait < 1000 && ReadBytes(game + "/B0.mip") == old; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        kill(child, signal);
        int result = 0;
        ASSERT_EQ(waitpid(child, &result, 0), child);
        EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == status) << result;
        int converted = 0;
        for (int file = 0; file < 60; ++file) {
            const auto bytes = ReadBytes(game + "/B" + std::to_string(file) + ".mip");
            EXPECT_TRUE(bytes == old || bytes == complete) << file;
            converted += bytes == complete;
        }
        EXPECT_LT(converted, 60) << "the batch ended before the signal";
        EXPECT_EQ(Leftovers(game), std::vector<std::string>{});
    }
}

// dat extract replaces a link in its way rather than writing through it, and never writes over the
// archive it reads, whatever the case of the member's name.
// Several tools replacing one file at once never remove each other's temporary files: each
// succeeds, and the file left is complete.
TEST_F(CliSafety, ToolsWritingOneFileAtOnceEachSucceed) {
    Copy(kMip4x4, "game/CAR.MIP");
    ASSERT_EQ(Run("to-bmp game/CAR.MIP").status, 0);
    const auto complete = ReadBytes(dir_ / "game/CAR.bmp");
    const std::string failures = RunCommand(
        "cd '" + dir_.Path() +
        "' && for tool in 1 2 3 4 5 6; do (for run in 1 2 3 4 5 6 7 8; do '" + kCli +
        "' to-bmp game/CAR.MIP --overwrite >/dev/null 2>&1 || echo failed; done) & done; wait");
    EXPECT_EQ(failures, "");
    EXPECT_EQ(ReadBytes(dir_ / "game/CAR.bmp"), complete);
    EXPECT_EQ(Leftovers(dir_ / "game"), std::vector<std::string>{});
}

TEST_F(CliSafety, DatExtractNeverWritesThroughALinkNorOverItsArchive) {
    const std::vector<std::uint8_t> outside{7, 7};
    WriteBytes(dir_ / "outside.bin", outside);
    fs::create_symlink(dir_ / "outside.bin", dir_ / "game/CAR.MIP");
    const auto archive = ArchiveBytes({{"CAR.MIP", {1, 2}}, {"GAME.DAT", {3}}});
    WriteBytes(dir_ / "game/game.dat", archive);
    EXPECT_EQ(Run("dat extract game/game.dat CAR.MIP -o game").status, 1);
    const Result replaced = Run("dat extract game/game.dat CAR.MIP -o game --overwrite");
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_FALSE(fs::is_symlink(dir_ / "game/CAR.MIP"));
    EXPECT_EQ(ReadBytes(dir_ / "game/CAR.MIP"), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(ReadBytes(dir_ / "outside.bin"), outside);
    const Result refused = Run("dat extract game/game.dat GAME.DAT -o game --overwrite");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("This is the archive being extracted"));
    EXPECT_EQ(ReadBytes(dir_ / "game/game.dat"), archive);
}

// On a full disk dat extract and dat build fail and leave every file as it was: no partial
// member, no broken archive, no temporary file.
TEST_F(CliSafety, AFullDiskLeavesEveryFileAsItWas) {
    WriteBytes(dir_ / "CAR.MIP", std::vector<std::uint8_t>(1000, 1));
    WriteBytes(dir_ / "X.MIP", std::vector<std::uint8_t>(40000, 2));
    WriteBytes(dir_ / "small.dat", ArchiveBytes({{"OLD.MIP", {5}}}));
    WriteBytes(dir_ / "big.dat", ArchiveBytes({{"CAR.MIP", std::vector<std::uint8_t>(100000, 3)}}));
    const std::string cli = "'" + kCli + "' ";
    const std::string script =
        "cd '" + dir_.Path() + "' && mkdir small && mount -t tmpfs -o size=64k tmpfs small || " +
        "exit 77; cp CAR.MIP X.MIP small.dat small/; " + cli +
        "dat extract big.dat -o small --overwrite; echo extract \\$?; " + cli +
        "dat build small --overwrite; echo rebuild \\$?; cmp small.dat small/small.dat && echo "
        "'old archive'; " +
        "rm small/small.dat; " + cli +
        "dat build small; echo build \\$?; cmp CAR.MIP small/CAR.MIP && echo kept; ls -A small";
    int status = 0;
    const std::string out = RunCommand("unshare -rm sh -c \"" + script + "\" 2>/dev/null", &status);
    if (status != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    EXPECT_EQ(out, "extract 1\nrebuild 1\nold archive\nbuild 1\nkept\nCAR.MIP\nX.MIP\n");
}

} // namespace
