// End-to-end tests of vellix-cli: the real binary on copies of the sample game directory and on
// directories made here, checking exit statuses, messages and the files it writes; then on hostile
// and unusual input (archives that claim more than they hold, pipes, names that differ only in
// case, names that are not UTF-8), interruption, links in the way and a full disk.

#include "Support/TestSupport.h"
#include "Trova/GPLFileBytes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Ostrel::Test;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
namespace fs = std::filesystem;

const std::string kCli = VELLIX_BINARY_DIR "/Vellix/Cli/vellix-cli";
const std::string kCorpus = VELLIX_SOURCE_DIR "/fuzz/corpus/";
const std::string kFlatten = VELLIX_SOURCE_DIR "/tests/Cli/flatten-json.py";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

// The program under test: the one built here, or the command VELLIX_CLI_COMMAND names (such as
// "wine BUILD/Vellix/Cli/vellix-cli.exe" for the Windows build).
std::string CliCommand() {
    const char* command = std::getenv("VELLIX_CLI_COMMAND");
    return command && *command ? std::string(command) : Quote(kCli);
}

Result RunIn(const std::string& directory, const std::string& command, const std::string& errors) {
    Result result;
    result.out = RunCommand("cd " + Quote(directory) + " && " + command + " 2>" + Quote(errors),
                            &result.status);
    const auto bytes = ReadBytes(errors);
    result.err.assign(bytes.begin(), bytes.end());
    // Windows programs end their lines with a carriage return and a line feed.
    std::erase(result.out, '\r');
    std::erase(result.err, '\r');
    return result;
}

using Lines = std::vector<std::string>;

// The sample game directory, made once by the samples script with the binaries under test.
class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fs::exists(kCli)) << kCli << " is not built";
        samples_ = std::make_unique<TempDir>();
        int status = -1;
        const std::string log = RunCommand("VELLIX_BUILD=" + Quote(VELLIX_BINARY_DIR) + " " +
                                               Quote(VELLIX_SOURCE_DIR "/samples/make-samples.sh") +
                                               " " + Quote(samples_->Path()) + " 2>&1",
                                           &status);
        ASSERT_EQ(status, 0) << log;
    }
    static void TearDownTestSuite() { samples_.reset(); }

    void SetUp() override {
        fs::copy(*samples_ / "cars", dir_ / "cars", fs::copy_options::recursive);
    }

    std::string Cars(const std::string& name = "") const {
        return dir_ / "cars" + (name.empty() ? "" : "/" + name);
    }

    // A path as the program under test prints it: the Windows program under Wine sees the
    // Linux file system as drive Z: with its own separators.
    static std::string Shown(std::string path) {
        if (CliCommand().find(".exe") == std::string::npos) {
            return path;
        }
        std::replace(path.begin(), path.end(), '/', '\\');
        return "Z:" + path;
    }

    Result Run(const std::string& arguments) const {
        return RunIn(Cars(), CliCommand() + " " + arguments, dir_ / "stderr.txt");
    }

    // Runs a command that must succeed and, being quiet, print nothing.
    void Succeed(const std::string& arguments) const {
        const Result result = Run(arguments + " --quiet");
        ASSERT_EQ(result.status, 0) << arguments << "\n" << result.err;
        EXPECT_EQ(result.out, "") << arguments;
    }

    // A JSON document as "path=value" lines ("[0].name=CAR1.MIP", "files#=3"), read by Python's
    // json module, which also proves it valid UTF-8 JSON.
    Lines Parse(const std::string& text) const {
        WriteBytes(dir_ / "document.json", std::vector<std::uint8_t>(text.begin(), text.end()));
        int status = -1;
        std::istringstream flat(RunCommand(
            "python3 " + Quote(kFlatten) + " <" + Quote(dir_ / "document.json"), &status));
        EXPECT_EQ(status, 0) << text;
        Lines lines;
        for (std::string line; std::getline(flat, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    static std::unique_ptr<TempDir> samples_;
    TempDir dir_;
};

std::unique_ptr<TempDir> CliTest::samples_;

// Usage errors exit with 2, the reason and a suggestion on standard error; failures exit with 1
// and the exception's message. Neither writes anything.
TEST_F(CliTest, UsageErrorsAndFailuresExitWithTheirStatusAndMessage) {
    WriteBytes(Cars("evil.dat"), ArchiveBytes({{"../evil.mip", {'d', 'a', 't', 'a'}}}));
    WriteBytes(Cars("SKY.BMP"), {'o', 'l', 'd'});
    WriteBytes(Cars("BROKEN.MIP"), {'n', 'o', 't'});
    const std::tuple<const char*, int, const char*> cases[] = {
        {"lsit .", 2, "did you mean list?"},
        {"dat lst cars.dat", 2, "did you mean dat list?"},
        {"to-bmp CAR1.MIP --overwite", 2, "did you mean --overwrite?"},
        {"to-bmp CAR1.MIP --overwrite --overwrite", 2, "--overwrite is given more than once"},
        {"list . --sort widht", 2, "did you mean Width?"},
        {"list", 2, "takes 1 operand"},
        {"to-bmp CAR1.MIP --level x", 2, "--level expects an integer"},
        {"to-bmp CAR1.MIP --level 13", 2, "--level: Please enter an integer between 1 and 12."},
        {"to-bmp CAR1.MIP --level 4294967297", 2, "--level is out of range"},
        {"to-bmp CAR1.MIP --all-levels --level 2", 2, "exclude each other"},
        {"to-bmp CAR1.MIP --transparency half", 2, "one of none separate colour"},
        {"to-bmp . --level 1", 2, "is a directory (give -r"},
        {"to-bmp -rx .", 2, "unknown option -rx"},
        {"to-mip a.bmp --bits 8,8,8", 2, "4 integers separated by commas"},
        {"to-mip a.bmp --key 1,2,3,", 2, "3 integers separated by commas"},
        {"to-mip a.bmp --colours 4 --no-palette", 2, "exclude each other"},
        {"to-mip a.bmp --individual-palettes --no-palette", 2, "exclude each other"},
        {"to-srb a.bmp --centre-x 2", 2, "--centre-x: Please enter a number between 0 and 1."},
        {"info CAR1.MIP --json=yes", 2, "takes no value"},
        {"info NOSUCH.MIP", 1, "Couldn't open NOSUCH.MIP\nFile not found"},
        {"dat extract cars.dat NOSUCH.MIP", 1, "NOSUCH.MIP\nFile not found"},
        {"dat extract evil.dat --output inside", 1, "\"../evil.mip\" is not a usable file name"},
        {"dat build .", 1, "cars.dat\nFile exists"},
        {"info TRACK.TRK", 1, "TRACK.TRK is not a MIP, PBF/STP, SRB or BMP file"},
        {"to-bmp CAR1.MIP TRACK.TRK", 1, "TRACK.TRK is not a MIP, PBF/STP or SRB file"},
        {"to-mip CAR1.MIP", 1, "CAR1.MIP is not a BMP or PNG file"},
        {"to-bmp CAR1.MIP BROKEN.MIP", 1, "Couldn't read from "}, // checked before CAR1 is written
        {"to-bmp CAR1.MIP --level 5", 1, "Level 5 is not between 1 and 4 for CAR1.MIP"},
        {"to-bmp sky.mip --all-levels", 1, "SKY.BMP: File exists (use --overwrite)"},
        {"dat rename cars.dat sky.mip CAR1.MIP", 1,
         "The archive has a member named CAR1.MIP already"},
    };
    for (const auto& [arguments, status, message] : cases) {
        const Result result = Run(arguments);
        EXPECT_EQ(result.status, status) << arguments;
        EXPECT_THAT(result.err, HasSubstr(message)) << arguments;
        EXPECT_EQ(result.out, "") << arguments;
    }
    EXPECT_FALSE(fs::exists(Cars("CAR1.bmp")));
    EXPECT_FALSE(fs::exists(Cars("evil.mip")));
    EXPECT_EQ(ReadBytes(Cars("SKY.BMP")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(CliTest, EverySubcommandHasHelp) {
    for (const char* command : {"info", "dat rename"}) { // a command and a subcommand of dat
        const Result result = Run(std::string(command) + " --help");
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_THAT(result.out, HasSubstr(std::string("Usage: vellix-cli ") + command));
        EXPECT_EQ(Run(std::string("help ") + command).out, result.out);
    }
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"to-srb --help", "--used-width U"},   {"to-bmp -h", "-r, --recursive"},
        {"--help", "dat extract ARCHIVE"},     {"dat --help", "dat rename ARCHIVE OLD NEW"},
        {"--version", "vellix-cli 2.0.0.0\n"}, {"help json", "\"failure\": null"},
    };
    for (const auto& [arguments, text] : texts) {
        EXPECT_THAT(Run(arguments).out, HasSubstr(text)) << arguments;
    }
    EXPECT_EQ(Run("").status, 2);
    EXPECT_EQ(Run("dat").status, 2);
}

TEST_F(CliTest, ListShowsTheColumnsOfEveryBitmapSortedAsAskedAndTheMessageOfAnUnreadableOne) {
    WriteBytes(Cars("BROKEN.MIP"), {1, 2, 3});
    const Result text = Run("list .");
    EXPECT_EQ(text.status, 1);
    EXPECT_THAT(text.out, ::testing::StartsWith("Name "));
    EXPECT_THAT(text.out, ::testing::ContainsRegex("BROKEN.MIP +MIP +error: "));
    const Lines list = Parse(Run("list . --json").out); // the same status as the text form's
    EXPECT_THAT(list,
                IsSupersetOf({"#=9", // TRACK.TRK and cars.dat are not bitmaps
                              "[0].name=BROKEN.MIP", "[0].levels=null", "[1].name=CAR1.MIP",
                              "[2].name=ROAD.PBF", "[3].name=banner.srb", "[4].name=checker.pbf",
                              "[5].name=fence.mip", "[6].name=fence.srb", "[7].name=sky.mip",
                              "[8].name=wheel.mip", "[1]#=11", "[1].type=MIP", "[1].levels=4",
                              "[1].width=64", "[1].palette=2", "[1].transparency=Opaque",
                              "[8].transparency=Partial", "[8].alpha=4"}));
    EXPECT_THAT(list, Contains(::testing::StartsWith("[0].error=Couldn't read from ")));
    // Three of the archive's ten bitmaps (TRACK.TRK is none) are 128 wide, the others 64.
    EXPECT_THAT(
        Parse(Run("list cars.dat --sort WIDTH --descending --json").out),
        IsSupersetOf({"#=10", "[0].width=128", "[1].width=128", "[2].width=128", "[3].width=64"}));
}

TEST_F(CliTest, ArchiveMembersComeOutAsPackedAndTheirPicturesGoToTheGameDirectory) {
    const Result extracted = Run("dat extract cars.dat CAR1.MIP track.trk --output out");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out,
              Shown(Cars("out/TRACK.TRK")) + "\n" + Shown(Cars("out/CAR1.MIP")) + "\n");
    EXPECT_EQ(ReadBytes(Cars("out/CAR1.MIP")), ReadBytes(Cars("CAR1.MIP")));
    EXPECT_EQ(ReadBytes(Cars("out/TRACK.TRK")), ReadBytes(Cars("TRACK.TRK")));
    const Result result = Run("to-bmp cars.dat/FLAG.PBF --transparency colour --key 0,255,0");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, Shown(Cars("FLAG.bmp")) + "\n");
    const auto member = ReadBytes(Cars("FLAG.bmp"));
    Succeed("from-bmp cars.dat/FLAG.PBF --transparency colour --key 0,255,0");
    // The loose copy now shadows the member and holds the same pixels and palette.
    Succeed("to-bmp FLAG.PBF --transparency colour --key 0,255,0 --overwrite");
    EXPECT_EQ(ReadBytes(Cars("FLAG.bmp")), member);
}

// info of two samples (made by the samples script with the options of each new file), and of a
// new file made here with the level count and the geometry.
TEST_F(CliTest, InfoDescribesTheSamplesAndANewFileInTheRequestedFormat) {
    Succeed("to-bmp sky.mip --transparency none");
    Succeed("to-srb sky.bmp --transparency none --levels 2 --width 10 --height 5 --used-width 0.5");
    const std::pair<const char*, Lines> cases[] = {
        {"SKY.MIP",
         {"repeat.horizontal=true", "repeat.vertical=true", "palette.palettised=false",
          "bits.green=6"}},
        {"cars.dat/flag.pbf", {"palette.colours=4", "transparency=1"}},
        {"sky.srb",
         {"kind=SRB", "levels#=2", "levels[1].width=64", "corners[0].x=-5", "corners[0].z=2.5",
          "corners[1].u=0.5", "corners[2].v=1"}},
    };
    for (const auto& [file, values] : cases) {
        EXPECT_THAT(Parse(Run("info " + std::string(file) + " --json").out), IsSupersetOf(values))
            << file;
    }
}

enum TextureKind : unsigned { kAny = 1, kPalette = 2, k565 = 4, k4444 = 8, k1555 = 16 };

// One way an editor saves a picture: convert's options and output format, the textures whose
// colours it can hold, and whether it carries alpha (put back with the alpha-channel method).
struct EditorFormat {
    const char* options;
    const char* format;
    unsigned keeps;
    bool alpha;
};

const EditorFormat kEditorFormats[] = {
    {"-type TrueColor", "BMP2", kAny, false}, // 12-byte header
    {"-type TrueColor", "BMP3", kAny, false}, // 40-byte header
    {"-type TrueColor", "BMP", kAny, false},  // 124-byte header
    {"-type TrueColor", "BMP4", kAny, false}, // 108-byte header, made from the 124-byte one
    {"-type Palette", "BMP2", kPalette, false},
    {"-type Palette -compress None", "BMP3", kPalette, false},
    {"-type Palette -compress RLE", "BMP3", kPalette, false},
    {"-type Palette -compress RLE", "BMP", kPalette, false},
    {"-define bmp:subtype=RGB565", "BMP", k565, false},
    {"-alpha on -define bmp:subtype=ARGB4444", "BMP", k4444, true},
    {"-alpha on -define bmp:subtype=ARGB1555", "BMP", k1555, true},
    {"-alpha on", "BMP", kAny, true}, // the editor's default BMP: 32 bits with an alpha mask
    {"", "PNG", kAny, true},
};

// ImageMagick writes no 108-byte header; it is the 124-byte one without its last 16 bytes.
void ToV4Header(const std::string& path) {
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    bytes.erase(bytes.begin() + 14 + 108, bytes.begin() + 14 + 124);
    for (const std::size_t field : {2, 10, 14}) { // file size, pixels' offset, header size
        const std::uint32_t value = bytes[field] | bytes[field + 1] << 8 | bytes[field + 2] << 16 |
                                    std::uint32_t{bytes[field + 3]} << 24;
        for (int byte = 0; byte < 4; ++byte) {
            bytes[field + byte] = static_cast<std::uint8_t>((value - 16) >> 8 * byte);
        }
    }
    WriteBytes(path, bytes);
}

// A sample texture: the operand naming it (putting it back writes its file name in the game
// directory), what it is, whether it has alpha, and the bits of its colours' channels.
struct SampleTexture {
    const char* operand;
    unsigned kinds;
    bool transparent;
    std::array<int, 4> bits;
};

const SampleTexture kSampleTextures[] = {
    {"CAR1.MIP", kPalette, false, {8, 8, 8, 8}},
    {"sky.mip", k565, false, {5, 6, 5, 8}},
    {"wheel.mip", k4444, true, {4, 4, 4, 4}},
    {"fence.mip", kPalette | k1555, true, {5, 5, 5, 1}},
    {"ROAD.PBF", kAny, false, {8, 8, 8, 8}},
    {"checker.pbf", kPalette, false, {8, 8, 8, 8}},
    {"banner.srb", k565, false, {5, 6, 5, 8}},
    {"fence.srb", kPalette | k1555, true, {5, 5, 5, 1}},
    {"cars.dat/GRASS2.MIP", k565, false, {5, 6, 5, 8}},
    {"cars.dat/FLAG.PBF", kPalette | k1555, true, {5, 5, 5, 1}},
    {"rgba.mip", kAny, true, {8, 8, 8, 8}}, // made by the test
};

// 8-bit pixels as a format of these bits holds them: their high bits, whichever way a reader
// widened the bits to 8 (repeating them, shifting them or rounding).
std::string Quantised(std::string rgba, const std::array<int, 4>& bits) {
    for (std::size_t byte = 0; byte < rgba.size(); ++byte) {
        rgba[byte] =
            static_cast<char>(static_cast<unsigned char>(rgba[byte]) >> (8 - bits[byte % 4]));
    }
    return rgba;
}

class EditorTest : public CliTest {
protected:
    void SetUp() override {
        if (PeerMissing("convert")) {
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        }
        CliTest::SetUp();
    }

    void Convert(const std::string& arguments) const {
        int status = -1;
        const std::string log =
            RunCommand("cd " + Quote(Cars()) + " && convert " + arguments, &status);
        ASSERT_EQ(status, 0) << arguments << "\n" << log;
    }

    // The pixels as the editor reads them: 8-bit channels, top row first.
    std::string Pixels(const std::string& name, const char* layout = "rgba") const {
        return RunCommand("convert " + Quote(Cars(name)) + " -depth 8 " + layout + ":-");
    }

    // The edit saved as the editor would in format: with its alpha, or as its colours and, for a
    // texture with alpha, a grey picture of the alpha. Returns the pixels the editor reads from
    // what it saved, which its own rounding into 16-bit formats may have changed.
    std::string SaveEdit(const std::string& base, const EditorFormat& format,
                         bool transparent) const {
        const bool v4 = std::string(format.format) == "BMP4";
        const std::string prefix = v4 ? "BMP" : format.format;
        const std::string extension = prefix == "PNG" ? ".png" : ".bmp";
        const auto save = [&](const std::string& channels, const std::string& name) {
            Convert("edit/" + base + ".png " + channels + " " + format.options + " " + prefix +
                    ":" + name + extension);
            if (v4) {
                ToV4Header(Cars(name + extension));
            }
        };
        save(format.alpha ? "" : "-alpha off", base);
        if (format.alpha || !transparent) {
            return Pixels(base + extension);
        }
        save("-alpha extract", base + "_ti");
        return RunCommand("cd " + Quote(Cars()) + " && convert " + base + extension + " \\( " +
                          base + "_ti" + extension +
                          " -alpha off \\) -compose CopyOpacity -composite -depth 8 rgba:-");
    }
};

// The 2-colour texture edited in a small rectangle of a new colour: kept, its palette leaves
// every pixel outside the edit alone; rebuilt, it moves a colour of the whole picture.
TEST_F(EditorTest, AKeptPaletteChangesOnlyEditedPixels) {
    for (const auto& [keep, inside, outside] :
         {std::tuple{"--keep-palette", 32, 0}, std::tuple{"", 64, 2016}}) {
        SCOPED_TRACE(keep);
        fs::copy_file(*samples_ / "cars/CAR1.MIP", Cars("CAR1.MIP"),
                      fs::copy_options::overwrite_existing);
        Succeed("to-bmp CAR1.MIP --transparency none --overwrite --output before");
        Convert("before/CAR1.bmp -fill '#c82828' -draw 'rectangle 4,4 11,11' BMP3:CAR1.bmp");
        Succeed(std::string("from-bmp CAR1.MIP --transparency none --overwrite ") + keep);
        Succeed("to-bmp CAR1.MIP --transparency none --overwrite --output after");
        const std::string before = Pixels("before/CAR1.bmp", "rgb");
        const std::string after = Pixels("after/CAR1.bmp", "rgb");
        ASSERT_EQ(after.size(), 64u * 64 * 3);
        int changed[2] = {0, 0}; // outside, inside the edit
        for (std::size_t pixel = 0; pixel < 64 * 64; ++pixel) {
            const std::size_t row = pixel / 64, column = pixel % 64;
            const bool edited = row >= 4 && row <= 11 && column >= 4 && column <= 11;
            changed[edited] += before.compare(pixel * 3, 3, after, pixel * 3, 3) != 0;
        }
        EXPECT_THAT(changed, ::testing::ElementsAre(outside, inside));
    }
}

// Every sample texture is exported, edited (a block of its own pixels mirrored elsewhere, so that
// every format that suits the texture can hold the edit), saved in each such format, and put
// back: it comes out as saved, and where the format held the edit exactly, as the same bytes
// whichever format carried it.
TEST_F(EditorTest, EditedTexturesComeBackAsEditedFromEveryFormat) {
    Convert("-size 64x32 gradient:'#f80-#06c' \\( -size 64x32 gradient:'#fff-#000' \\) -alpha "
            "off -compose CopyOpacity -composite PNG32:rgba.png");
    Succeed("to-mip rgba.png --bits 8,8,8,8 --no-palette --transparency alpha");
    fs::create_directory(Cars("edit"));
    for (const SampleTexture& texture : kSampleTextures) {
        const std::string written = fs::path(texture.operand).filename().string();
        const std::string base = fs::path(written).stem().string();
        Succeed(std::string("to-bmp ") + texture.operand +
                " --format png --transparency alpha --overwrite --output master");
        Convert("master/" + base + ".png \\( +clone -crop 12x6+1+1 +repage -flop \\) -geometry " +
                "+17+21 -compose Copy -composite PNG32:edit/" + base + ".png");
        const std::string edited = Pixels("edit/" + base + ".png");
        std::vector<std::uint8_t> first;
        for (const EditorFormat& format : kEditorFormats) {
            if ((format.keeps & texture.kinds) == 0 && format.keeps != kAny) {
                continue;
            }
            SCOPED_TRACE(std::string(texture.operand) + " as " + format.format + " " +
                         format.options);
            const std::string saved = SaveEdit(base, format, texture.transparent);
            const char* method = format.alpha ? "alpha" : texture.transparent ? "separate" : "none";
            const bool png = std::string(format.format) == "PNG";
            Succeed(std::string("from-bmp ") + texture.operand + " --overwrite --transparency " +
                    method + (png ? " --format png" : ""));
            Succeed(std::string("to-bmp ") + written +
                    " --format png --transparency alpha --overwrite --output check");
            EXPECT_TRUE(Quantised(Pixels("check/" + base + ".png"), texture.bits) ==
                        Quantised(saved, texture.bits));
            if (saved == edited) { // saved exactly: the same file whatever the format
                const std::vector<std::uint8_t> bytes = ReadBytes(Cars(written));
                EXPECT_EQ(bytes, first.empty() ? (first = bytes) : first);
            }
        }
    }
}

// Batches over a nested installation: two track folders, each with its own archive.
class InstallationTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        for (const char* track : {"track1", "track2"}) {
            const fs::path folder = fs::path(dir_ / "game") / track;
            fs::create_directories(folder);
            fs::copy(Cars(), folder, fs::copy_options::recursive);
            fs::rename(folder / "cars.dat", folder / (std::string(track) + ".dat"));
        }
    }

    static std::map<std::string, std::vector<std::uint8_t>> Tree(const std::string& directory) {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const auto& entry : fs::recursive_directory_iterator(directory)) {
            if (entry.is_regular_file()) {
                files[entry.path().string()] = ReadBytes(entry.path().string());
            }
        }
        return files;
    }
};

TEST_F(InstallationTest, DryRunsTakeEveryFileOfTheKindWithOrWithoutArchivesAndWriteNothing) {
    // Eight bitmaps loose and ten in the archive of each track. A file that would write a picture
    // another file of the batch writes fails: fence.srb after fence.mip, and without an output
    // folder each member that has a loose namesake.
    const std::vector<std::tuple<std::string, std::size_t, std::size_t>> cases = {
        {"to-bmp -r ../game", 36, 18},
        {"to-bmp -r ../game -o ../out", 36, 4},
        {"to-bmp -r ../game --no-archives", 16, 2},
        {"to-bmp ../game/track1/track1.dat/*.MIP", 5, 0},
        {"to-bmp -r ../game/track2/track2.dat", 10, 1},
        {"to-mip -r ../game", 0, 0},
    };
    for (const auto& [arguments, count, failed] : cases) {
        const Result result = Run(arguments + " --dry-run --keep-going --json");
        EXPECT_EQ(result.status, failed == 0 ? 0 : 1) << arguments << result.err;
        EXPECT_THAT(Parse(result.out),
                    IsSupersetOf({"files#=" + std::to_string(count),
                                  "failed=" + std::to_string(failed), std::string("dryRun=true")}))
            << arguments;
    }
    Succeed("to-bmp CAR1.MIP");
    const auto before = Tree(dir_.Path());
    const Result plan = Run("to-bmp CAR1.MIP --overwrite -n");
    EXPECT_EQ(plan.out, "read CAR1.MIP\nreplace " + Cars("CAR1.bmp") + "\nreplace " +
                            Cars("CAR1_ti.bmp") + "\n");
    for (const char* arguments :
         {"to-bmp ../game/track1/track1.dat/*.MIP -o ../out", "from-bmp CAR1.MIP --overwrite",
          "to-mip CAR1.bmp --overwrite", "dat add cars.dat sky.mip", "dat remove cars.dat FLAG.PBF",
          "dat extract -r ../game", "dat rename cars.dat FLAG.PBF F.PBF",
          "dat build . --overwrite --keep-members"}) {
        EXPECT_EQ(Run(std::string(arguments) + " --dry-run").status, 0) << arguments;
    }
    EXPECT_EQ(Tree(dir_.Path()), before);
}

// Every level of each file (the PBF files' one picture, with a note) goes to the file's place in
// the output tree; the pictures come back into the files they were taken from, unchanged.
TEST_F(InstallationTest, OutputTreeKeepsEachFilesLevelsInItsPlaceAndTheJsonMatchesTheDisk) {
    const Result result = Run("to-bmp -r ../game -o ../out --all-levels --keep-going --json");
    ASSERT_EQ(result.status, 1) << result.err;
    EXPECT_THAT(result.err, HasSubstr("PBF/STP files hold one picture: the level options were "
                                      "ignored for them"));
    EXPECT_THAT(result.err, HasSubstr("track1/fence.srb: " + dir_ / "out/track1/fence.bmp" +
                                      " is written for another file of the batch already"));
    std::set<std::string> written;
    for (const std::string& line : Parse(result.out)) {
        if (const std::size_t at = line.find("].written["); at != std::string::npos) {
            const std::string path = line.substr(line.find('=', at) + 1);
            EXPECT_TRUE(fs::exists(path)) << path;
            written.insert(path);
        }
    }
    EXPECT_EQ(written.size(), 212u);
    EXPECT_EQ(Tree(dir_ / "out").size(), 212u);
    for (const char* level : {"track1/CAR1_3_ti.bmp", "track1/banner_4.bmp", "track1/ROAD.bmp",
                              "track2/track2.dat/GRASS2.bmp"}) {
        EXPECT_TRUE(fs::exists(dir_ / "out/" + level)) << level;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out/track1/ROAD_1.bmp"));
    const auto before = Tree(dir_ / "game/track1");
    Succeed("from-bmp ../game/track1/ROAD.PBF ../game/track1/sky.mip ../game/track1/banner.srb "
            "--pictures ../out/track1 --all-levels --overwrite");
    EXPECT_EQ(Tree(dir_ / "game/track1"), before);
}

TEST_F(InstallationTest, KeepGoingReportsEveryFailureAndExitsWithOne) {
    WriteBytes(Cars("broken.mip"), {'n', 'o', 't'});
    const Result result = Run("to-bmp CAR1.MIP broken.mip sky.mip -o ../out -k --json");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("broken.mip: "));
    const Lines done = Parse(result.out);
    EXPECT_THAT(done, IsSupersetOf({"failed=1", "files[0].written#=2", "files[2].written#=2"}));
    EXPECT_THAT(done, Contains(::testing::StartsWith("files[1].failure=Couldn't read from ")));
}

TEST_F(InstallationTest, ArchiveEditsKeepOrderAndEveryOtherMember) {
    Succeed("dat extract cars.dat -o ../before");
    fs::copy(Cars("sky.mip"), Cars("NEW.MIP"));
    fs::copy(Cars("sky.mip"), Cars("wheel.mip"), fs::copy_options::overwrite_existing);
    EXPECT_THAT(Run("dat add cars.dat NEW.MIP wheel.mip -n").out,
                HasSubstr("replace cars.dat/wheel.mip"));
    for (const char* arguments :
         {"dat add cars.dat NEW.MIP wheel.mip", "dat remove cars.dat flag.pbf TRACK.TRK",
          "dat rename cars.dat GRASS2.MIP GRASS3.MIP"}) {
        Succeed(arguments);
    }
    // The members in their order, each with the file it holds.
    const std::pair<std::string, const char*> members[] = {
        {"checker.pbf", "checker.pbf"}, {"fence.mip", "fence.mip"},   {"wheel.mip", "sky.mip"},
        {"ROAD.PBF", "ROAD.PBF"},       {"banner.srb", "banner.srb"}, {"CAR1.MIP", "CAR1.MIP"},
        {"GRASS3.MIP", "GRASS2.MIP"},   {"fence.srb", "fence.srb"},   {"sky.mip", "sky.mip"},
        {"NEW.MIP", "sky.mip"}};
    const Lines listed = Parse(Run("dat list cars.dat --json").out);
    EXPECT_THAT(listed, Contains("#=10"));
    Succeed("dat extract cars.dat -o ../after");
    for (std::size_t index = 0; index < std::size(members); ++index) {
        const auto& [name, original] = members[index];
        EXPECT_THAT(listed, Contains("[" + std::to_string(index) + "].name=" + name));
        EXPECT_EQ(ReadBytes(dir_ / "after/" + name), ReadBytes(dir_ / "before/" + original));
    }
    EXPECT_THAT(Run("dat add cars.dat ../before/GRASS2.MIP ../game").err, HasSubstr("game"));
}

TEST_F(InstallationTest, RebuildKeepsTheMembersOnlyTheOldArchiveHas) {
    const Result result = Run("dat build . --overwrite --keep-members --report");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Kept members\n\nFLAG.PBF\nGRASS2.MIP\n"));
    EXPECT_THAT(Parse(Run("dat list cars.dat --json").out), Contains("#=11"));
    EXPECT_THAT(Parse(Run("dat build . --overwrite --keep-members -n --json").out),
                IsSupersetOf({"notes#=2", "notes[0]=Kept from the old archive: FLAG.PBF",
                              "notes[1]=Kept from the old archive: GRASS2.MIP"}));
    Succeed("dat build . --overwrite");
    EXPECT_THAT(Parse(Run("dat list cars.dat --json").out), Contains("#=9"));
}

// AddressSanitizer reserves terabytes of address space for its shadow memory, so a sanitized
// program cannot start under the limit; there the ordinary build's run is the memory check.
#if defined(__SANITIZE_ADDRESS__)
const std::string kAddressSpaceLimit;
#else
const std::string kAddressSpaceLimit = "ulimit -v 300000 && ";
#endif

class CliSafety : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ / "game"); }

    // Runs in the test's directory, with the address space limited so that an allocation of
    // gigabytes fails rather than succeeds.
    Result Run(const std::string& arguments) const {
        return RunIn(dir_.Path(),
                     kAddressSpaceLimit + "timeout 20 " + Quote(kCli) + " " + arguments,
                     dir_ / "stderr.txt");
    }

    void Copy(const std::string& corpusFile, const std::string& to) const {
        fs::copy_file(kCorpus + corpusFile, dir_ / to, fs::copy_options::overwrite_existing);
    }

    TempDir dir_;
};

const char kMip4x4[] = "MipFileFuzz/gpl-format3-4x4.mip";
const char kMip8x2[] = "MipFileFuzz/gpl-format5-8x2.mip";

TEST_F(CliSafety, ClaimsBeyondTheArchiveFailAtOnceWithinAFewMegabytes) {
    Copy("ICR2DatFileFuzz/member-claims-4gib-palette-claims-gigabytes.dat", "game/evil.dat");
    for (const char* command :
         {"list game/evil.dat", "info game/evil.dat/BIG.MIP", "to-bmp game/evil.dat/BIG.MIP"}) {
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
    EXPECT_THAT(built.out, HasSubstr(dir_ / "game/game.dat\n")); // the new archive
    EXPECT_THAT(Run("dat list game/game.dat").out, HasSubstr("\n1 members, "));
}

// Every operand reaches its own file: names that differ only in case, and the members of an
// archive opened directly rather than those of the directory's own archive (whose X.MIP is of
// another size).
TEST_F(CliSafety, EachOperandReachesItsOwnFile) {
    Copy(kMip4x4, "game/A.mip");
    Copy(kMip8x2, "game/a.MIP");
    EXPECT_THAT(Run("info game/A.mip").out, HasSubstr("width: 4"));
    EXPECT_THAT(Run("info game/a.MIP").out, HasSubstr("width: 8"));
    ASSERT_EQ(Run("to-bmp game/a.MIP").status, 0);
    ASSERT_EQ(Run("from-bmp game/a.MIP --overwrite").status, 0);
    EXPECT_EQ(ReadBytes(dir_ / "game/A.mip"), ReadBytes(kCorpus + kMip4x4));

    WriteBytes(dir_ / "game/game.dat", ArchiveBytes({{"X.MIP", ReadBytes(kCorpus + kMip4x4)}}));
    WriteBytes(dir_ / "game/other.dat", ArchiveBytes({{"X.MIP", ReadBytes(kCorpus + kMip8x2)},
                                                      {"P.BMP", ReadBytes(dir_ / "game/a.bmp")}}));
    EXPECT_THAT(Run("info game/other.dat/X.MIP").out, HasSubstr("width: 8"));
    const Result listed = Run("list game/other.dat");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr("P.BMP"));
    EXPECT_THAT(Run("info game/other.dat/P.BMP").out, HasSubstr("bitsPerPixel: 24"));
}

// Files that can be read but not written back: a 4-bit level with more colours than its indices
// reach, and uncompressed data shorter than the level's size.
TEST_F(CliSafety, FromBmpIntoAFileThatCannotTakePixelsSaysWhichAndWhy) {
    const std::vector<std::array<std::uint8_t, 4>> seventeen(17, {1, 2, 3, 255});
    const Bytes shortData = BmapSpec{.width = 4, .height = 4, .data = Bytes(28, 7)}.Build();
    const std::pair<Bytes, const char*> cases[] = {
        {MipSpec{.format = 0}.StandardLevels(1, 0, Cmap(seventeen)).Build(),
         "Palette has more than 16 colours for 4-bit pixels"},
        {MipSpec{.levels = {shortData}}.Build(),
         "Pixel data size does not match the picture's size"},
    };
    Copy(kMip4x4, "game/P.MIP");
    ASSERT_EQ(Run("to-bmp game/P.MIP").status, 0);
    for (const auto& [mip, problem] : cases) {
        WriteBytes(dir_ / "game/P.MIP", mip);
        const Result result = Run("from-bmp game/P.MIP --overwrite");
        EXPECT_EQ(result.status, 1) << problem;
        EXPECT_THAT(result.err, HasSubstr(std::string("game/P.MIP\n") + problem));
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

// The number of files in a directory, which a temporary file left behind would raise.
std::ptrdiff_t FileCount(const std::string& directory) {
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator());
}

TEST_F(CliSafety, AnInterruptedBatchLeavesEachFileOldOrComplete) {
    if (!HaveCommand("convert")) {
        GTEST_SKIP() << "ImageMagick's convert is needed to make the pictures";
    }
    const std::string game = dir_ / "game";
    RunCommand("cd '" + game + "' && convert -size 256x256 gradient:red-blue BMP3:A.bmp");
    ASSERT_EQ(Run("to-mip game/A.bmp --transparency none").status, 0);
    const auto complete = ReadBytes(game + "/A.mip");
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    const std::string command = "cd " + Quote(game) + " && exec " + Quote(kCli) +
                                " to-mip --transparency none --overwrite B*.bmp >/dev/null 2>&1";
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        for (int file = 0; file < 60; ++file) {
            const std::string name = game + "/B" + std::to_string(file);
            fs::copy_file(game + "/A.bmp", name + ".bmp", fs::copy_options::overwrite_existing);
            WriteBytes(name + ".mip", old);
        }
        const pid_t child = fork(); // the shell runs vellix-cli in its place: the pid is its own
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
            _exit(127);
        }
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
        EXPECT_EQ(FileCount(game), 122); // A and B0 to B59, each .bmp and .mip
    }
}

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
    EXPECT_EQ(FileCount(dir_ / "game"), 3); // CAR.MIP, CAR.bmp and CAR_ti.bmp
}

// dat extract replaces a link in its way rather than writing through it, and never writes over the
// archive it reads, whatever the case of the member's name.
TEST_F(CliSafety, DatExtractNeverWritesThroughALinkNorOverItsArchive) {
    const std::vector<std::uint8_t> outside{7, 7};
    WriteBytes(dir_ / "outside.bin", outside);
    fs::create_symlink(dir_ / "outside.bin", dir_ / "game/CAR.MIP");
    const auto archive = ArchiveBytes({{"CAR.MIP", {1, 2}}, {"GAME.DAT", {3}}});
    WriteBytes(dir_ / "game/game.dat", archive);
    EXPECT_EQ(Run("dat extract game/game.dat CAR.MIP -o game").status, 1);
    const Result replaced = Run("dat extract game/game.dat CAR.MIP -o game --overwrite");
    EXPECT_EQ(replaced.status, 0) << replaced.err;
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
