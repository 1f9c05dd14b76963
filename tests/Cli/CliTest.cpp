// End-to-end tests of vellix-cli: the real binary on copies of the sample game directory and on
// directories made here, checking exit statuses, messages and the files it writes.

#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Ostrel::Test;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const std::string kCli = VELLIX_BINARY_DIR "/Vellix/Cli/vellix-cli";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

// Parsed JSON, just enough to check the tool's output.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    bool flag = false;
    std::string text;
    std::vector<Json> elements;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const { return members.at(key); }
    const Json& operator[](std::size_t index) const { return elements.at(index); }
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    Json ParseAll() {
        Json value = Parse();
        Skip();
        if (pos_ != text_.size()) {
            throw std::runtime_error("trailing characters in JSON");
        }
        return value;
    }

private:
    void Skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
    }
    void Expect(char c) {
        Skip();
        if (pos_ >= text_.size() || text_[pos_] != c) {
            throw std::runtime_error(std::string("expected ") + c + " in JSON");
        }
        ++pos_;
    }
    bool Next(char c) {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        Skip();
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) == 0) {
            pos_ += w.size();
            return true;
        }
        return false;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            if (text_[pos_] == '\\') {
                ++pos_;
            }
            out += text_[pos_++];
        }
        Expect('"');
        return out;
    }
    Json Parse() {
        Json value;
        Skip();
        if (Next('{')) {
            value.kind = Json::Kind::Object;
            if (!Next('}')) {
                do {
                    const std::string key = String();
                    Expect(':');
                    value.members[key] = Parse();
                } while (Next(','));
                Expect('}');
            }
        } else if (Next('[')) {
            value.kind = Json::Kind::Array;
            if (!Next(']')) {
                do {
                    value.elements.push_back(Parse());
                } while (Next(','));
                Expect(']');
            }
        } else if (pos_ < text_.size() && text_[pos_] == '"') {
            value.kind = Json::Kind::String;
            value.text = String();
        } else if (Word("null")) {
        } else if (Word("true") || Word("false")) {
            value.kind = Json::Kind::Bool;
            value.flag = text_[pos_ - 1] == 'e' && text_[pos_ - 2] == 'u';
        } else {
            std::size_t used = 0;
            value.kind = Json::Kind::Number;
            value.number = std::stod(text_.substr(pos_), &used);
            pos_ += used;
        }
        return value;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

Json ParseJson(const std::string& text) {
    return JsonParser(text).ParseAll();
}

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

    Result Run(const std::string& arguments) const {
        Result result;
        const std::string errors = dir_ / "stderr.txt";
        result.out = RunCommand("cd " + Quote(Cars()) + " && " + Quote(kCli) + " " + arguments +
                                    " 2>" + Quote(errors),
                                &result.status);
        const auto bytes = ReadBytes(errors);
        result.err.assign(bytes.begin(), bytes.end());
        return result;
    }

    static std::unique_ptr<TempDir> samples_;
    TempDir dir_;
};

std::unique_ptr<TempDir> CliTest::samples_;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Usage errors: exit status 2, the reason and a suggestion on standard error, nothing written.

TEST_F(CliTest, UsageErrorsExitWithTwoAndSuggestTheNearestName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"lsit .", "did you mean list?"},
        {"dat lst cars.dat", "did you mean dat list?"},
        {"to-bmp CAR1.MIP --overwite", "did you mean --overwrite?"},
        {"to-bmp CAR1.MIP --overwrite --overwrite", "--overwrite is given more than once"},
        {"list . --sort widht", "did you mean Width?"},
        {"list", "takes 1 operand"},
        {"to-bmp CAR1.MIP --level x", "--level expects an integer"},
        {"to-bmp CAR1.MIP --level 13", "--level: Please enter an integer between 1 and 12."},
        {"to-bmp CAR1.MIP --level 4294967297", "--level is out of range"},
        {"to-bmp CAR1.MIP --all-levels --level 2", "exclude each other"},
        {"to-bmp CAR1.MIP --transparency half", "one of none separate colour"},
        {"to-bmp . --level 1", "is a directory (give -r"},
        {"to-mip a.bmp --bits 9,8,8,8", "--bits: Please enter an integer between 1 and 8."},
        {"to-mip a.bmp --bits 8,8,8", "4 integers separated by commas"},
        {"to-mip a.bmp --key 1,2,3,", "3 integers separated by commas"},
        {"to-mip a.bmp --colours 4 --no-palette", "exclude each other"},
        {"to-srb a.bmp --centre-x 2", "--centre-x: Please enter a number between 0 and 1."},
        {"info CAR1.MIP --json=yes", "takes no value"},
    };
    for (const auto& [arguments, message] : cases) {
        const Result result = Run(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_THAT(result.err, HasSubstr(message)) << arguments;
        EXPECT_EQ(result.out, "") << arguments;
    }
    EXPECT_FALSE(fs::exists(Cars("CAR1.bmp")));
}

TEST_F(CliTest, EverySubcommandHasHelp) {
    for (const char* command : {"list", "info", "to-bmp", "from-bmp", "to-mip", "to-pbf", "to-srb",
                                "dat list", "dat extract", "dat build"}) {
        const Result result = Run(std::string(command) + " --help");
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_THAT(result.out, HasSubstr(std::string("Usage: vellix-cli ") + command));
    }
    EXPECT_THAT(Run("to-srb --help").out, HasSubstr("--used-width U"));
    EXPECT_THAT(Run("--help").out, HasSubstr("dat extract ARCHIVE"));
    EXPECT_EQ(Run("").status, 2);
}

// Failures: exit status 1 with the exception's message on standard error.

TEST_F(CliTest, FailuresExitWithOneAndTheMessage) {
    Result result = Run("info NOSUCH.MIP");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("NOSUCH.MIP"));
    EXPECT_THAT(result.err, HasSubstr("File not found"));

    result = Run("to-bmp CAR1.MIP TRACK.TRK");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("TRACK.TRK is not a MIP, PBF/STP or SRB file"));

    result = Run("to-mip CAR1.MIP");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("CAR1.MIP is not a BMP file"));

    result = Run("to-bmp CAR1.MIP --level 5");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("Level 5"));
    EXPECT_FALSE(fs::exists(Cars("CAR1.bmp")));

    WriteBytes(Cars("broken.mip"), {'n', 'o', 't', ' ', 'a', ' ', 'm', 'i', 'p'});
    result = Run("info broken.mip");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("broken.mip"));
}

TEST_F(CliTest, ConvertingTwiceWithoutOverwriteFailsAtTheFirstExistingFile) {
    Result result = Run("to-bmp CAR1.MIP --all-levels");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.out).size(), 8u); // four levels, each with its _ti picture
    const auto before = ReadBytes(Cars("CAR1.bmp"));

    result = Run("to-bmp CAR1.MIP --all-levels");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("CAR1.bmp"));
    EXPECT_EQ(ReadBytes(Cars("CAR1.bmp")), before);

    EXPECT_EQ(Run("to-bmp CAR1.MIP --all-levels --overwrite --quiet").out, "");
}

// Listing.

TEST_F(CliTest, ListShowsTheColumnsOfEveryBitmapSortedByName) {
    const Result result = Run("list . --json");
    ASSERT_EQ(result.status, 0) << result.err;
    const Json list = ParseJson(result.out);
    ASSERT_EQ(list.elements.size(), 8u); // TRACK.TRK and cars.dat are not bitmaps
    std::vector<std::string> names;
    for (const Json& entry : list.elements) {
        names.push_back(entry["name"].text);
    }
    EXPECT_THAT(names, ::testing::ElementsAre("CAR1.MIP", "ROAD.PBF", "banner.srb", "checker.pbf",
                                              "fence.mip", "fence.srb", "sky.mip", "wheel.mip"));
    const Json& car = list[0];
    EXPECT_EQ(car["type"].text, "MIP");
    EXPECT_EQ(car["levels"].number, 4);
    EXPECT_EQ(car["width"].number, 64);
    EXPECT_EQ(car["palette"].number, 2);
    EXPECT_EQ(car["transparency"].text, "Opaque");
    EXPECT_EQ(list[7]["transparency"].text, "Partial");
    EXPECT_EQ(list[7]["alpha"].number, 4);
    EXPECT_EQ(car.members.size(), 11u);
}

TEST_F(CliTest, ListShowsAnUnreadableFileWithItsMessageAndFailsAtTheEnd) {
    WriteBytes(Cars("BROKEN.MIP"), {1, 2, 3});
    for (const char* format : {"", " --json"}) {
        const Result result = Run(std::string("list .") + format);
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.out, HasSubstr("BROKEN.MIP"));
        EXPECT_THAT(result.out, HasSubstr("wheel.mip"));
    }
    EXPECT_THAT(Run("list .").out, ::testing::ContainsRegex("BROKEN.MIP +MIP +error: "));
}

TEST_F(CliTest, ListSortsByAnyColumnAndListsArchives) {
    const Result result = Run("list cars.dat --sort WIDTH --descending");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 11u); // heading and ten members (TRACK.TRK is no bitmap)
    EXPECT_THAT(lines[0], ::testing::StartsWith("Name"));
    EXPECT_THAT(result.out, HasSubstr("GRASS2.MIP"));
    EXPECT_THAT(result.out, HasSubstr("FLAG.PBF"));
    int previous = 1 << 30;
    for (std::size_t line = 1; line < lines.size(); ++line) {
        const Json row = ParseJson(
            Run("info cars.dat/" + lines[line].substr(0, lines[line].find(' ')) + " --json").out);
        EXPECT_LE(row["width"].number, previous);
        previous = static_cast<int>(row["width"].number);
    }
}

TEST_F(CliTest, InfoDescribesLevelsPaletteAndGeometry) {
    const Json srb = ParseJson(Run("info banner.srb --json").out);
    EXPECT_EQ(srb["kind"].text, "SRB");
    ASSERT_EQ(srb["levels"].elements.size(), 5u);
    EXPECT_EQ(srb["levels"][4]["width"].number, 8);
    EXPECT_EQ(srb["levels"][4]["height"].number, 2);
    EXPECT_EQ(srb["corners"][0]["x"].number, -2); // --width 4 around the centre
    EXPECT_EQ(srb["corners"][1]["x"].number, 2);
    EXPECT_EQ(srb["corners"][2]["v"].number, 1);

    const Json sky = ParseJson(Run("info SKY.MIP --json").out);
    EXPECT_TRUE(sky["repeat"]["horizontal"].flag);
    EXPECT_TRUE(sky["repeat"]["vertical"].flag);
    EXPECT_FALSE(sky["palette"]["palettised"].flag);
    EXPECT_EQ(sky["bits"]["green"].number, 6);

    const Json flag = ParseJson(Run("info cars.dat/flag.pbf --json").out);
    EXPECT_EQ(flag["palette"]["colours"].number, 4);
    EXPECT_EQ(flag["transparency"].number, 1);
}

// Conversions, checked byte for byte where the result is determined.

TEST_F(CliTest, LosslessFormatsSurviveTheWayToBmpAndBack) {
    // 8 bits per channel without a palette: nothing is lost in either direction.
    ASSERT_EQ(Run("to-bmp wheel.mip --all-levels --quiet").status, 0);
    fs::rename(Cars("wheel.bmp"), Cars("round.bmp"));
    fs::rename(Cars("wheel_ti.bmp"), Cars("round_ti.bmp"));
    Result result = Run("to-mip round.bmp --bits 8,8,8,8 --no-palette --levels 1");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, Cars("round.mip") + "\n");
    const auto original = ReadBytes(Cars("round.mip"));
    const auto picture = ReadBytes(Cars("round.bmp"));

    ASSERT_EQ(Run("to-bmp round.mip --overwrite --quiet").status, 0);
    EXPECT_EQ(ReadBytes(Cars("round.bmp")), picture);
    ASSERT_EQ(Run("from-bmp round.mip --overwrite --quiet").status, 0);
    EXPECT_EQ(ReadBytes(Cars("round.mip")), original);
}

TEST_F(CliTest, KeyColourAndArchiveMembersGoToTheGameDirectory) {
    Result result = Run("to-bmp cars.dat/FLAG.PBF --transparency colour --key 0,255,0");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, Cars("FLAG.bmp") + "\n");
    result = Run("from-bmp cars.dat/FLAG.PBF --transparency colour --key 0,255,0");
    ASSERT_EQ(result.status, 0) << result.err;
    // The loose copy now shadows the member and holds the same pixels and palette.
    const Json member = ParseJson(Run("info FLAG.PBF --json").out);
    EXPECT_EQ(member["transparency"].number, 1);
    ASSERT_EQ(Run("to-bmp FLAG.PBF --transparency colour --key 0,255,0 --overwrite").status, 0);
    const auto again = ReadBytes(Cars("FLAG.bmp"));
    ASSERT_EQ(
        Run("to-bmp cars.dat/FLAG.PBF --transparency colour --key 0,255,0 --overwrite").status, 0);
    EXPECT_EQ(ReadBytes(Cars("FLAG.bmp")), again);
}

TEST_F(CliTest, NewFilesTakeTheRequestedFormat) {
    ASSERT_EQ(Run("to-bmp sky.mip --quiet --transparency none").status, 0);
    ASSERT_EQ(Run("to-srb sky.bmp --no-palette --bits 5,6,5,0 --class opaque --transparency none "
                  "--levels 2 --width 10 --height 5 --used-width 0.5")
                  .status,
              0);
    const Json srb = ParseJson(Run("info sky.srb --json").out);
    EXPECT_EQ(srb["levels"].elements.size(), 2u);
    EXPECT_EQ(srb["corners"][0]["x"].number, -5);
    EXPECT_EQ(srb["corners"][0]["z"].number, 2.5);
    EXPECT_EQ(srb["corners"][1]["u"].number, 0.5);
    ASSERT_EQ(Run("to-pbf sky.bmp --colours 16 --transparency none --class opaque").status, 0);
    const Json pbf = ParseJson(Run("info sky.pbf --json").out);
    EXPECT_EQ(pbf["palette"]["colours"].number, 16);
}

// Archives.

TEST_F(CliTest, ExtractGivesBackTheBytesThatWerePacked) {
    Result result = Run("dat extract cars.dat CAR1.MIP track.trk --output out");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.out).size(), 2u);
    EXPECT_EQ(ReadBytes(Cars("out/CAR1.MIP")), ReadBytes(Cars("CAR1.MIP")));
    EXPECT_EQ(ReadBytes(Cars("out/TRACK.TRK")), ReadBytes(Cars("TRACK.TRK")));

    result = Run("dat extract cars.dat --output out");
    EXPECT_EQ(result.status, 1); // CAR1.MIP is there already
    ASSERT_EQ(Run("dat extract cars.dat --output out --overwrite --quiet").status, 0);
    EXPECT_EQ(fs::file_size(Cars("out/GRASS2.MIP")), fs::file_size(Cars("wheel.mip")));

    result = Run("dat extract cars.dat NOSUCH.MIP");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("NOSUCH.MIP"));
}

TEST_F(CliTest, ExtractRefusesMemberNamesThatLeaveTheOutputDirectory) {
    // One member named "../evil.mip" (an archive is not to be trusted).
    std::vector<std::uint8_t> archive = {1, 0, 5, 0, 4, 0, 0, 0, 4, 0, 0, 0};
    const std::string name = "../evil.mip";
    archive.insert(archive.end(), name.begin(), name.end());
    archive.resize(2 + 27 - 4, 0);
    for (const std::uint8_t byte :
         std::initializer_list<std::uint8_t>{29, 0, 0, 0, 'd', 'a', 't', 'a'}) {
        archive.push_back(byte);
    }
    fs::create_directories(dir_ / "evil/inside");
    WriteBytes(dir_ / "evil/evil.dat", archive);
    const Result result = Run("dat extract ../evil/evil.dat --output ../evil/inside");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("not a usable file name"));
    EXPECT_FALSE(fs::exists(dir_ / "evil/evil.mip"));
}

TEST_F(CliTest, BuildPacksTheSuitableFilesAndReportsTheOthers) {
    fs::create_directories(dir_ / "pack");
    fs::copy(Cars("CAR1.MIP"), dir_ / "pack/CAR1.MIP");
    fs::copy(Cars("TRACK.TRK"), dir_ / "pack/TRACK.TRK");
    WriteBytes(dir_ / "pack/readme.txt", {'h', 'i'});
    Result result = Run("dat build ../pack --report");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Included files\n\n"));
    EXPECT_THAT(result.out, HasSubstr("readme.txt\tUnsuitable extension\n"));
    EXPECT_THAT(result.out, HasSubstr(dir_ / "pack/pack.dat"));

    const Json members = ParseJson(Run("dat list ../pack/pack.dat --json").out);
    ASSERT_EQ(members.elements.size(), 2u);
    const auto packed = ReadBytes(dir_ / "pack/pack.dat");
    EXPECT_EQ(packed[0], 2);
    EXPECT_EQ(packed.size(),
              2 + 2 * 27 + fs::file_size(Cars("CAR1.MIP")) + fs::file_size(Cars("TRACK.TRK")));

    result = Run("dat build ../pack");
    EXPECT_EQ(result.status, 1); // the archive exists already
    EXPECT_THAT(result.err, HasSubstr("pack.dat"));
}

} // namespace
