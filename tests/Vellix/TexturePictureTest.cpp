#include "Vellix/TexturePicture.h"
#include "Support/TestSupport.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/Palette.h"
#include "Util/BinaryFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/RealDirectory.h"

#include <gtest/gtest.h>
#include <map>

using namespace Ostrel::Vellix;
using namespace Ostrel::Trova;
using namespace Ostrel::Util;
using Ostrel::Test::TempDir;
using Rgba = std::array<std::uint8_t, 4>;

namespace {

const Colour kRed(1, 0, 0, 1);
const Colour kGreen(0, 1, 0, 1);
const Colour kBlue(0, 0, 1, 1);

void Fill(Bitmap& level, const Colour& colour) {
    for (std::uint32_t row = 0; row < level.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < level.GetWidth(); ++column) {
            level.SetPixel(row, column, colour);
        }
    }
}

// 128 x 32, three levels in red, green and blue; repeats horizontally only.
void WriteStrip(const std::string& path) {
    GPLMipFile mip(32, 128, 5, 6, 5, 0, 0, false, 0, false, true, false, 3, 0, 8, 0);
    const Colour colours[] = {kRed, kGreen, kBlue};
    for (std::uint32_t level = 0; level < 3; ++level) {
        Fill(*mip.GetBitmap(level), colours[level]);
    }
    mip.Write(CreateNew(path));
}

// 4 x 2, palettised with four colours; its right half uses entry 3.
void WritePalettised(const std::string& path) {
    GPLMipFile mip(2, 4, 8, 8, 8, 8, 1, true, 4, false, true, true, 1, 0, 8, 0);
    const auto palette = mip.GetPalette();
    const Colour entries[] = {Colour(), kRed, kGreen, kBlue};
    for (std::uint32_t index = 0; index < 4; ++index) {
        palette->SetColour(index, entries[index]);
    }
    Fill(*mip.GetBitmap(0), kRed);
    mip.GetBitmap(0)->SetPixel(1, 3, kBlue);
    mip.Write(CreateNew(path));
}

void WriteSrb(const std::string& path) {
    const std::array<WorldPoint, 4> corners = {{{-1, 0, 1}, {1, 0, 1}, {1, 0, 0}, {-1, 0, 0}}};
    const std::array<TexturePoint, 4> uv = {{{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}};
    GPLSrbFile srb(64, 64, 5, 6, 5, 0, 0, false, 0, false, 2, corners, uv, 0, 6);
    srb.Write(CreateNew(path));
}

void WritePbf(const std::string& path) {
    GPLPbfFile pbf(4, 4, 4, 4, 2, false, 0);
    CountedPtr<Bitmap> picture(new BitmapSimple(1, 2));
    picture->SetPixel(0, 0, kRed);
    picture->SetPixel(0, 1, Colour());
    pbf.SetBitmap(picture);
    pbf.Write(CreateNew(path));
}

struct Samples {
    Samples() {
        WriteStrip(dir / "strip.mip");
        WritePalettised(dir / "four.mip");
        WriteSrb(dir / "sign.srb");
        WritePbf(dir / "half.pbf");
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

} // namespace

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
    level.SetPixel(0, 0, kRed);
    level.SetPixel(0, 1, Colour());
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
    const struct {
        std::uint32_t box;
        Rgba colour; // of the level chosen
    } cases[] = {{128, {255, 0, 0, 255}}, {64, {0, 255, 0, 255}}, {32, {0, 0, 255, 255}}};
    for (const auto& c : cases) {
        const RgbaPicture thumbnail = MakeThumbnail(samples["strip.mip"], c.box, {});
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
    *one.Pixel(0, 0) = 7;
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

TEST(TexturePicture, FactsOfEachKind) {
    Samples samples;
    const TextureFacts strip = ReadTextureFacts(samples["strip.mip"]);
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

    const TextureFacts half = ReadTextureFacts(samples["half.pbf"]);
    EXPECT_EQ(half.transparency, 2u);
    EXPECT_EQ(half.channelBits, (std::array<std::uint32_t, 4>{4, 4, 4, 4}));
    EXPECT_EQ(half.meanColour, Colour(1, 0, 0, 0.5f)); // alpha-weighted: the colour of red alone
    EXPECT_TRUE(half.horizontalRepeat && half.verticalRepeat);
}

TEST(TexturePicture, ProbesPixelsWithStoredBitsAndPaletteIndex) {
    Samples samples;
    const auto palettised = samples["four.mip"].GetBitmap(0);
    EXPECT_EQ(LevelPalette(*palettised).size(), 4u);
    EXPECT_EQ(LevelPalette(*palettised)[3], kBlue);
    const auto sixteenBit = samples["strip.mip"].GetBitmap(0);
    EXPECT_TRUE(LevelPalette(*sixteenBit).empty());

    const struct {
        const char* file;
        std::uint32_t row, column;
        const char* text;
    } cases[] = {
        {"four.mip", 1, 3, "x 3, y 1  R 0 G 0 B 255 A 255  (0, 0, 255, 255)  index 3"},
        {"four.mip", 0, 0, "x 0, y 0  R 255 G 0 B 0 A 255  (255, 0, 0, 255)  index 1"},
        {"strip.mip", 5, 9, "x 9, y 5  R 31 G 0 B 0 A -  (255, 0, 0, 255)"},
        {"half.pbf", 0, 1, "x 1, y 0  R 0 G 0 B 0 A 0  (0, 0, 0, 0)"},
    };
    for (const auto& c : cases) {
        const BitmapFile& file = samples[c.file];
        const std::array<std::uint32_t, 4> bits = {file.GetRedBits(), file.GetGreenBits(),
                                                   file.GetBlueBits(), file.GetAlphaBits()};
        EXPECT_EQ(InspectorText(ProbePixel(*file.GetBitmap(0), bits, c.row, c.column)), c.text);
    }
}
