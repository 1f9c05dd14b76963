#include "Vellix/BitmapList.h"
#include "Support/TestSupport.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/Palette.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"
#include "Vellix/TexturePicture.h"

#include <gtest/gtest.h>
#include <map>

using namespace Ostrel::Vellix;
using namespace Ostrel::Trova;
using namespace Ostrel::Util;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using Rgba = std::array<std::uint8_t, 4>;

namespace {

const Colour kRed(1, 0, 0, 1);
const Colour kGreen(0, 1, 0, 1);
const Colour kBlue(0, 0, 1, 1);

// 128 x 32, three levels in red, green and blue; repeats horizontally only.
void WriteStrip(const std::string& path) {
    GPLMipFile mip(32, 128, 5, 6, 5, 0, 0, false, 0, false, true, false, 3, 0, 8, 0);
    const Colour colours[] = {kRed, kGreen, kBlue};
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::uint32_t width = 128 >> level;
        for (std::uint32_t place = 0; place < width * (32 >> level); ++place) {
            mip.GetBitmap(level)->SetPixel(place / width, place % width, colours[level]);
        }
    }
    mip.Write(CreateNew(path));
}

// 4 x 2, palettised with four colours; pixel (1, 3) uses entry 3, the others entry 0.
void WritePalettised(const std::string& path) {
    GPLMipFile mip(2, 4, 8, 8, 8, 8, 1, true, 4, false, true, true, 1, 0, 8, 0);
    const auto palette = mip.GetPalette();
    const Colour entries[] = {Colour(), kRed, kGreen, kBlue};
    for (std::uint32_t index = 0; index < 4; ++index) {
        palette->SetColour(index, entries[index]);
    }
    mip.GetBitmap(0)->SetPixel(1, 3, kBlue);
    mip.Write(CreateNew(path));
}

void WriteSrb(const std::string& path) {
    const std::array<WorldPoint, 4> corners = {{{-1, 0, 1}, {1, 0, 1}, {1, 0, 0}, {-1, 0, 0}}};
    const std::array<TexturePoint, 4> uv = {{{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}};
    GPLSrbFile srb(64, 64, 5, 6, 5, 0, 0, false, 0, false, 2, corners, uv, 0, 6);
    srb.Write(CreateNew(path));
}

// 2 x 1 at 8 bits whose two colour table entries are the same red; the pixels hold indices 0 and 1.
void WriteTwinEntryBmp(const std::string& path) {
    // clang-format off
    WriteBytes(path, {'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,
                      40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, // 2 x 1, 8 bits
                      0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // uncompressed
                      2, 0, 0, 0, 0, 0, 0, 0,                          // two colours
                      0, 0, 255, 0, 0, 0, 255, 0,                      // red, red
                      0, 1, 0, 0});
    // clang-format on
}

void WritePbf(const std::string& path) {
    GPLPbfFile pbf(4, 4, 4, 4, 2, false, 0);
    CountedPtr<Bitmap> picture(new BitmapSimple(1, 2));
    picture->SetPixel(0, 0, kRed); // and a clear pixel
    pbf.SetBitmap(picture);
    pbf.Write(CreateNew(path));
}

// One file of each listed kind, under each kind's other extensions, a file of another kind and a
// subdirectory.
struct Samples {
    Samples() {
        WriteStrip(dir / "strip.m16");
        WritePalettised(dir / "four.MIP");
        WriteSrb(dir / "sign.srb");
        WritePbf(dir / "half.stp");
        WriteTwinEntryBmp(dir / "twins.bmp");
        WriteBytes(dir / "e.txt", {'x'});
        Platform::MakeDirectory(dir / "sub");
        container = std::make_unique<RealDirectory>(dir.Path());
        for (const FileRecord& record : ListRecords(*container)) {
            files[record.entryName] = record.file;
        }
    }
    const BitmapFile& operator[](const std::string& name) { return *files.at(name); }

    TempDir dir;
    std::unique_ptr<RealDirectory> container;
    std::map<std::string, CountedPtr<BitmapFile>> files;
};

std::vector<std::string> Texts(const FileSummary& summary) {
    std::vector<std::string> texts;
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        texts.push_back(ColumnText(summary, column));
    }
    return texts;
}

} // namespace

TEST(BitmapList, ListsOnlyBitmapsWithTheirColumnTextsAndSortsByEveryKey) {
    Samples samples;
    auto sorted = ListSummaries(*samples.container);
    SortSummaries(sorted, kColumnName);
    std::vector<std::pair<std::string, BitmapKind>> listed;
    for (const FileSummary& summary : sorted) {
        listed.emplace_back(summary.entryName, summary.kind);
    }
    using K = BitmapKind;
    ASSERT_EQ(listed, (decltype(listed){{"four.MIP", K::Mip},
                                        {"half.stp", K::Pbf},
                                        {"sign.srb", K::Srb},
                                        {"strip.m16", K::Mip},
                                        {"twins.bmp", K::Bmp}}));
    EXPECT_EQ(Texts(sorted[4]), (std::vector<std::string>{"twins.bmp", "bmp", "1", "2", "1", "8",
                                                          "8", "8", "0", "2", "Opaque"}));
    EXPECT_EQ(sorted[4].bitsPerPixel, 8u);
    EXPECT_EQ(Texts(sorted[0]), (std::vector<std::string>{"four.MIP", "MIP", "1", "4", "2", "8",
                                                          "8", "8", "8", "4", "Transparent"}));
    EXPECT_EQ(Texts(sorted[3])[3], "128");      // strip.m16's width
    EXPECT_EQ(Texts(sorted[1])[10], "Partial"); // half.stp's transparency
    int order = SortOrderAfterClick(kColumnName, kColumnWidth);
    EXPECT_EQ(order, kColumnWidth);
    order = SortOrderAfterClick(order, kColumnWidth);
    EXPECT_EQ(order, -kColumnWidth);
    SortSummaries(sorted, order);
    EXPECT_EQ(sorted[0].entryName, "strip.m16"); // 128 wide
    EXPECT_EQ(sorted[1].entryName, "sign.srb");  // 64 wide
    SortSummaries(sorted, kColumnTransparency);
    EXPECT_EQ(sorted.back().entryName, "half.stp");
    SortSummaries(sorted, kColumnType); // byte-wise: upper case first
    EXPECT_EQ(sorted.front().entryName, "four.MIP");
    SortSummaries(sorted, -kColumnLevels);
    EXPECT_EQ(sorted.front().entryName, "strip.m16");
    EXPECT_EQ(CompareSummaries(sorted[0], sorted[1], 12345), 0);
    EXPECT_EQ(FindColumn("transparency"), kColumnTransparency);
    EXPECT_EQ(FindColumn("Depth"), 0);
}

TEST(BitmapList, CommandsSayWhatToSelectWhenTheyCannotTakeTheSelection) {
    using K = BitmapKind;
    const std::string toBmp = "Select only MIP, PBF/STP and SRB files to make pictures of them";
    const std::string fromBmp = "Select game files of one kind to put pictures back into them";
    const std::string newFiles = "Select only BMP or PNG files to make new game files";
    const struct {
        int command;
        std::vector<K> selection;
        std::string blocker;
    } cases[] = {
        {kCommandToBmp, {K::Mip, K::Srb, K::Pbf}, ""},
        {kCommandToBmp, {K::Mip, K::Bmp}, toBmp},
        {kCommandToBmp, {}, "Select the files to convert first"},
        {kCommandFromBmp, {K::Mip, K::Mip}, ""},
        {kCommandFromBmp, {K::Pbf}, ""},
        {kCommandFromBmp, {K::Mip, K::Srb}, fromBmp},
        {kCommandFromBmp, {K::Bmp}, fromBmp},
        {kCommandToMip, {K::Bmp, K::Bmp}, ""},
        {kCommandToPbf, {K::Bmp, K::Mip}, newFiles},
        {kCommandToSrb, {K::Other}, newFiles},
        {kCommandThumbnails, {}, ""},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(CommandBlocker(each.command, each.selection), each.blocker) << each.command;
    }
}

TEST(BitmapList, ViewSettingsHaveDefaultsAndSurviveARestart) {
    MemorySettingsStore store;
    ListViewSettings settings = ListViewSettings::Read(store);
    EXPECT_EQ(settings.viewStyle, kStyleReport);
    EXPECT_EQ(settings.sortOrder, kColumnName);
    EXPECT_TRUE(settings.individualIcons);
    settings = {kStyleIcon, -kColumnWidth, false};
    settings.Write(store);
    const ListViewSettings again = ListViewSettings::Read(store);
    EXPECT_EQ(again.sortOrder, -kColumnWidth);
    EXPECT_EQ(again.viewStyle, kStyleIcon);
    EXPECT_FALSE(again.individualIcons);
    EXPECT_EQ(store.GetWrittenKeys(),
              (std::vector<std::string>{"SortOrder", "ViewStyle", "IndividualIcons"}));
}

TEST(BitmapList, ABurstOfChangesGivesOneRefreshASecondAfterTheLast) {
    RefreshSchedule schedule;
    bool due = false;
    schedule.NoteChange(10'000);
    schedule.NoteChange(10'200);
    schedule.NoteChange(10'400);
    EXPECT_TRUE(schedule.IdleStep(1000, 11'300, due));
    EXPECT_FALSE(due);
    EXPECT_TRUE(schedule.IdleStep(1001, 11'500, due)); // the clock is read every 1000th call
    EXPECT_FALSE(due);
    EXPECT_FALSE(schedule.IdleStep(2000, 11'400, due));
    EXPECT_TRUE(due);
    EXPECT_FALSE(schedule.IdleStep(3000, 20'000, due));
    EXPECT_FALSE(due);
}

TEST(TexturePicture, FitsIntoASquareKeepingTheAspect) {
    const struct {
        std::uint32_t width, height, box;
        PictureSize fitted;
    } cases[] = {{128, 32, 64, {64, 16}}, {32, 128, 64, {16, 64}}, {4, 4, 64, {64, 64}},
                 {256, 1, 32, {32, 1}},   {0, 5, 32, {0, 0}},      {100, 30, 96, {96, 28}}};
    for (const auto& c : cases) {
        EXPECT_EQ(FitIntoSquare(c.width, c.height, c.box), c.fitted) << c.width << "x" << c.height;
    }
}

TEST(TexturePicture, ShowsTransparencyAsTheStyleSays) {
    BitmapSimple level(1, 3);
    level.SetPixel(0, 0, kRed); // then a clear pixel
    level.SetPixel(0, 2, Colour(0, 0, 1, 0.25f));
    const struct {
        AlphaDisplay alpha;
        Rgba opaque, transparent, quarter;
    } cases[] = {
        // Checker squares of one pixel: column 1 is dark, column 2 light.
        {AlphaDisplay::Checkerboard, {255, 0, 0, 255}, {153, 153, 153, 255}, {153, 153, 217, 255}},
        {AlphaDisplay::GreyAlpha, {255, 255, 255, 255}, {0, 0, 0, 255}, {64, 64, 64, 255}},
        {AlphaDisplay::KeyColour, {255, 0, 0, 255}, {255, 0, 255, 255}, {191, 0, 255, 255}},
    };
    for (const auto& c : cases) {
        const RgbaPicture out = ComposeLevel(level, {c.alpha, Colour(1, 0, 1, 1), 1});
        EXPECT_EQ(out.At(0, 0), c.opaque);
        EXPECT_EQ(out.At(0, 1), c.transparent);
        EXPECT_EQ(out.At(0, 2), c.quarter);
    }
}

TEST(TexturePicture, ThumbnailsUseTheSmallestCoveringLevelAndStayStrips) {
    Samples samples;
    const BitmapFile& strip = samples["strip.m16"]; // 128 x 32, 64 x 16, 32 x 8
    EXPECT_EQ(ThumbnailLevel(strip, 32, 32), 0u);   // the height limits
    EXPECT_EQ(ThumbnailLevel(strip, 64, 8), 1u);    // the width limits
    EXPECT_EQ(ThumbnailLevel(strip, 32, 8), 2u);
    EXPECT_EQ(ThumbnailLevel(strip, 512, 512), 0u);
    const struct {
        std::uint32_t box;
        Rgba colour; // of the level chosen
    } cases[] = {{128, {255, 0, 0, 255}}, {64, {0, 255, 0, 255}}, {32, {0, 0, 255, 255}}};
    for (const auto& c : cases) {
        const RgbaPicture thumbnail = MakeThumbnail(strip, c.box, {});
        ASSERT_EQ(thumbnail.width, c.box);
        const std::uint32_t top = (c.box - c.box / 4) / 2; // the strip is a quarter high
        EXPECT_EQ(thumbnail.At(top, 0), c.colour) << c.box;
        EXPECT_EQ(thumbnail.At(top + c.box / 4 - 1, c.box - 1), c.colour) << c.box;
        EXPECT_EQ(thumbnail.At(top - 1, 0)[3], 0) << "margin above";
        EXPECT_EQ(thumbnail.At(top + c.box / 4, 0)[3], 0) << "margin below";
    }
}

TEST(TexturePicture, TilesOnlyAlongTheDirectionsThatRepeat) {
    RgbaPicture one(1, 1);
    one.Pixel(0, 0)[3] = 255;
    const struct {
        bool horizontal, vertical;
        std::vector<int> drawn; // the tiles drawn, row by row
    } cases[] = {{true, true, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
                 {true, false, {0, 0, 0, 1, 1, 1, 0, 0, 0}},
                 {false, true, {0, 1, 0, 0, 1, 0, 0, 1, 0}},
                 {false, false, {0, 0, 0, 0, 1, 0, 0, 0, 0}}};
    for (const auto& c : cases) {
        const RgbaPicture tiled = TilePicture(one, c.horizontal, c.vertical);
        std::vector<int> drawn;
        for (std::uint32_t tile = 0; tile < 9; ++tile) {
            drawn.push_back(tiled.At(tile / 3, tile % 3)[3] == 255);
        }
        EXPECT_EQ(drawn, c.drawn) << c.horizontal << c.vertical;
    }
}

TEST(TexturePicture, FactsAndProbedPixelsOfEachKind) {
    Samples samples;
    const TextureFacts strip = ReadTextureFacts(samples["strip.m16"]);
    EXPECT_EQ(strip.levels, (std::vector<PictureSize>{{128, 32}, {64, 16}, {32, 8}}));
    EXPECT_TRUE(strip.horizontalRepeat);
    EXPECT_FALSE(strip.verticalRepeat);
    EXPECT_EQ(strip.meanColour, kRed);
    EXPECT_FALSE(strip.geometry);

    const TextureFacts sign = ReadTextureFacts(samples["sign.srb"]);
    ASSERT_TRUE(sign.geometry);
    EXPECT_EQ(sign.geometry->usedWidth, 64);
    EXPECT_EQ(sign.geometry->usedHeight, 32);
    EXPECT_EQ(sign.geometry->originX, 32);
    EXPECT_EQ(sign.geometry->originY, 32);
    EXPECT_EQ(sign.geometry->corners[2].x, 1);
    EXPECT_FALSE(sign.horizontalRepeat || sign.verticalRepeat);

    const TextureFacts half = ReadTextureFacts(samples["half.stp"]);
    EXPECT_EQ(half.transparency, 2u);
    EXPECT_EQ(half.channelBits, (std::array<std::uint32_t, 4>{4, 4, 4, 4}));
    EXPECT_EQ(half.meanColour, Colour(1, 0, 0, 0.5f)); // alpha-weighted: the colour of red alone
    EXPECT_TRUE(half.horizontalRepeat && half.verticalRepeat);

    EXPECT_EQ(LevelPalette(*samples["four.MIP"].GetBitmap(0)),
              (std::vector<Colour>{Colour(), kRed, kGreen, kBlue}));
    EXPECT_TRUE(LevelPalette(*samples["strip.m16"].GetBitmap(0)).empty());

    const struct {
        const char* file;
        std::uint32_t row, column;
        const char* text;
    } cases[] = {
        {"four.MIP", 1, 3, "x 3, y 1  R 0 G 0 B 255 A 255  (0, 0, 255, 255)  index 3"},
        {"strip.m16", 5, 9, "x 9, y 5  R 31 G 0 B 0 A -  (255, 0, 0, 255)"},
        {"half.stp", 0, 1, "x 1, y 0  R 0 G 0 B 0 A 0  (0, 0, 0, 0)"},
        // The index stored, not the first entry of the same colour.
        {"twins.bmp", 0, 1, "x 1, y 0  R 255 G 0 B 0 A -  (255, 0, 0, 255)  index 1"},
    };
    for (const auto& c : cases) {
        const BitmapFile& file = samples[c.file];
        const std::array<std::uint32_t, 4> bits = {file.GetRedBits(), file.GetGreenBits(),
                                                   file.GetBlueBits(), file.GetAlphaBits()};
        EXPECT_EQ(InspectorText(ProbePixel(*file.GetBitmap(0), bits, c.row, c.column)), c.text);
    }
}
