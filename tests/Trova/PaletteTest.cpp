#include "Trova/Palette.h"

#include "Util/Exception.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace Ostrel::Test;
using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::Colour;
using Ostrel::Trova::MakePalette;
using Ostrel::Trova::MapToPalette;
using Ostrel::Trova::Palette;
using Ostrel::Util::XAssertion;
using Ostrel::Util::XUsage;

std::vector<Colour> Entries(const Palette& palette) {
    std::vector<Colour> entries;
    for (std::uint32_t index = 0; index < palette.GetCount(); ++index) {
        entries.push_back(palette.GetColour(index));
    }
    return entries;
}

bool IsFound(const Palette& palette, const Colour& colour, std::uint32_t expectedIndex) {
    std::uint32_t index = 9999;
    return palette.FindColour(colour, index) && index == expectedIndex;
}

// A square of random colours whose channels take the given number of evenly spaced levels: with
// many levels nearly every pixel differs from its neighbours, with few many colours are equally
// near each other.
BitmapSimple RandomPicture(std::uint32_t size, int levels, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, levels - 1);
    const auto channel = [&] {
        return float(level(random)) / float(levels - 1);
    };
    BitmapSimple picture(size, size);
    for (std::uint32_t place = 0; place < size * size; ++place) {
        picture.SetPixel(place / size, place % size,
                         Colour(channel(), channel(), channel(), channel()));
    }
    return picture;
}

TEST(PaletteLookup, CountConstructorLeavesEntriesUnindexedUntilStoredOrRecounted) {
    Palette palette(16);
    std::uint32_t index = 0;
    palette.SetCount(16); // same count: nothing happens

    palette.SetColour(3, kRed);
    EXPECT_TRUE(IsFound(palette, kRed, 3));
    EXPECT_FALSE(palette.FindColour(kClear, index));

    palette.SetCount(20);
    EXPECT_TRUE(IsFound(palette, kClear, 0));
    EXPECT_TRUE(IsFound(palette, kRed, 3));
    // Shrinking keeps the leading entries and forgets the dropped ones.
    palette.SetCount(4);
    EXPECT_EQ((std::vector<Colour>{kClear, kClear, kClear, kRed}), Entries(palette));
    palette.SetCount(3);
    EXPECT_FALSE(palette.FindColour(kRed, index));
    EXPECT_THROW(palette.GetColour(3), XAssertion);
    EXPECT_THROW(palette.SetColour(3, kRed), XAssertion);
}

TEST(PaletteLookup, EqualEntriesAnswerTheLowestIndex) {
    Palette palette(8);
    palette.SetColour(5, kBlue);
    palette.SetColour(2, kBlue);
    EXPECT_TRUE(IsFound(palette, kBlue, 2));
    // Overwriting entry 2 must drop its old key, leaving entry 5 to be found.
    palette.SetColour(2, kRed);
    EXPECT_TRUE(IsFound(palette, kBlue, 5));
    EXPECT_TRUE(IsFound(palette, kRed, 2));
}

TEST(MakePalette, SmallPicturesGiveTheirColoursOrBoxMeans) {
    struct Case {
        const char* cause;
        PixelRows picture;
        std::uint32_t maximum;
        std::vector<Colour> expected;
    };
    const Case cases[] = {
        {"distinct-colours-in-order-of-appearance",
         {{kRed, kRed, kBlue}, {kWhite, kBlue, kRed}},
         16,
         {kRed, kBlue, kWhite}},
        {"exactly-maximum-colours", {{kRed, kBlue, kWhite}}, 3, {kRed, kBlue, kWhite}},
        {"empty-picture", {}, 16, {}},
        {"one-colour-is-the-alpha-weighted-mean", {{kClear, kWhite}}, 1, {Colour(1, 1, 1, 0.5f)}},
        {"first-cheapest-cut-on-red-separates-white",
         {{kClear, kWhite, kBlack}},
         2,
         {Colour(0, 0, 0, 0.5f), kWhite}},
        {"box-of-transparent-pixels-gives-transparent",
         {{kClear, kWhite, kRed}},
         2,
         {kClear, Colour(1, 0.5f, 0.5f, 1)}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Entries(MakePalette(MakeBitmap(c.picture), c.maximum))) << c.cause;
    }
    EXPECT_THROW(MakePalette(MakeBitmap({{kRed}}), 0), XUsage);
}

TEST(MakePalette, TrueColourPictureMapsOntoItsPaletteTheSameEveryTime) {
    const BitmapSimple picture = RandomPicture(128, 256, 7);
    double previousError = INFINITY;
    for (const std::uint32_t maximum : {16u, 256u}) {
        const Palette palette = MakePalette(picture, maximum);
        EXPECT_EQ(maximum, palette.GetCount());
        BitmapSimple mapped;
        MapToPalette(picture, palette, mapped);
        ASSERT_EQ(picture.GetHeight(), mapped.GetHeight());
        ASSERT_EQ(picture.GetWidth(), mapped.GetWidth());
        double error = 0;
        for (std::uint32_t place = 0; place < 128 * 128; ++place) {
            const Colour pixel = mapped.GetPixel(place / 128, place % 128);
            error += picture.GetPixel(place / 128, place % 128).Distance(pixel);
        }
        // More colours must fit the picture better.
        EXPECT_LT(error, previousError);
        previousError = error;
        EXPECT_EQ(Entries(palette), Entries(MakePalette(picture, maximum)));
    }
}

// The search must choose what comparing every entry in index order chooses, ties included: coarse
// channel levels make many entries equally near.
TEST(MapToPalette, ChoosesAsAFullSearchDoesOnRandomPictures) {
    for (const int levels : {3, 5, 256}) {
        const BitmapSimple entries = RandomPicture(16, levels, 3);
        Palette palette(256);
        for (std::uint32_t index = 0; index < 256; ++index) {
            palette.SetColour(index, entries.GetPixel(index / 16, index % 16));
        }
        const BitmapSimple picture = RandomPicture(64, levels, 4);
        BitmapSimple mapped;
        MapToPalette(picture, palette, mapped);
        for (std::uint32_t place = 0; place < 64 * 64; ++place) {
            const Colour pixel = picture.GetPixel(place / 64, place % 64);
            std::uint32_t best = 0;
            for (std::uint32_t index = 1; index < 256; ++index) {
                if (pixel.Distance(palette.GetColour(index)) <
                    pixel.Distance(palette.GetColour(best))) {
                    best = index;
                }
            }
            ASSERT_EQ(palette.GetColour(best), mapped.GetPixel(place / 64, place % 64)) << levels;
        }
    }
}

TEST(MapToPalette, EmptyPaletteIsRefusedUnlessThereIsNothingToMap) {
    BitmapSimple destination(3, 3);
    MapToPalette(BitmapSimple(0, 0), Palette(), destination);
    EXPECT_EQ(0u, destination.GetHeight());
    EXPECT_THROW(MapToPalette(MakeBitmap({{kRed}}), Palette(), destination), XAssertion);
}

} // namespace
