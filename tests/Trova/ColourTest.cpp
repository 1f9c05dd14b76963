#include "Trova/Colour.h"
#include "Trova/Bitmap.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::ChannelToInt;
using Ostrel::Trova::Colour;
using Ostrel::Trova::CopyBitmap;
using Ostrel::Trova::IntToChannel;

TEST(Colour, FullTransparencyClearsEveryChannel) {
    EXPECT_EQ(Colour(0.3f, 0.6f, 0.9f, 0), Colour());
    const Colour translucent(0.3f, 0.6f, 0.9f, 0.5f);
    EXPECT_EQ(translucent.GetRed(), 0.3f);
    EXPECT_EQ(translucent.GetGreen(), 0.6f);
    EXPECT_EQ(translucent.GetBlue(), 0.9f);
    EXPECT_EQ(translucent.GetAlpha(), 0.5f);
}

TEST(Colour, EqualityComparesChannelsAsFloats) {
    EXPECT_EQ(Colour(0, 1, 1, 1), Colour(-0.0f, 1, 1, 1));
    EXPECT_NE(Colour(0, 1, 1, 1), Colour(0, 1, 1, 0.99f));
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    const Colour odd(notANumber, 0, 0, 1);
    EXPECT_NE(odd, odd);
}

TEST(Colour, ChannelConversionsRoundTripForEveryWidth) {
    EXPECT_EQ(IntToChannel(128, 8), float(128.0 / 255.0));
    EXPECT_EQ(ChannelToInt(0.5f, 8), 128u);
    EXPECT_EQ(ChannelToInt(0.5f, 5), 16u); // 0.5 × 31 + 0.5 is exactly 16
    EXPECT_EQ(IntToChannel(1, 1), 1.0f);
    for (unsigned bits = 1; bits <= 8; ++bits) {
        for (std::uint32_t value = 0; value < (1u << bits); ++value) {
            ASSERT_EQ(ChannelToInt(IntToChannel(value, bits), bits), value)
                << value << " in " << bits << " bits";
        }
    }
}

TEST(Colour, DistanceIsWeightedByTheMatchedPixelsAlpha) {
    EXPECT_EQ(Colour(1, 0, 0, 1).Distance(Colour(0, 0, 0, 1)), 0.25f);
    EXPECT_EQ(Colour().Distance(Colour(1, 1, 1, 1)), 0.25f); // only the alpha term counts
    // The colour on which it is called supplies the weight, so it is not symmetric.
    EXPECT_EQ(Colour(1, 0, 0, 1).Distance(Colour(0, 0, 0, 0.5f)), 0.3125f);
    EXPECT_EQ(Colour(0, 0, 0, 0.5f).Distance(Colour(1, 0, 0, 1)), 0.1875f);
}

TEST(BitmapSimple, PixelsAreRowMajorAndStartTransparent) {
    BitmapSimple bitmap(2, 3);
    EXPECT_EQ(bitmap.GetHeight(), 2u);
    EXPECT_EQ(bitmap.GetWidth(), 3u);
    for (std::uint32_t row = 0; row < 2; ++row) {
        for (std::uint32_t column = 0; column < 3; ++column) {
            EXPECT_EQ(bitmap.GetPixel(row, column), Colour());
        }
    }
    const Colour red(1, 0, 0, 1);
    bitmap.SetPixel(1, 0, red);
    // Element 3 is (1, 0); seen as a 1 × 6 bitmap it is column 3 of the only row.
    bitmap.SetSize(1, 6);
    EXPECT_EQ(bitmap.GetPixel(0, 3), red);
    EXPECT_EQ(bitmap.GetPixel(0, 2), Colour());
}

TEST(BitmapSimple, GrowingKeepsElementsAndAddsTransparentOnes) {
    BitmapSimple bitmap(1, 2);
    const Colour blue(0, 0, 1, 1);
    bitmap.SetPixel(0, 1, blue);
    bitmap.SetSize(2, 2);
    EXPECT_EQ(bitmap.GetPixel(0, 1), blue);
    EXPECT_EQ(bitmap.GetPixel(1, 1), Colour());
}

TEST(CopyBitmap, CopiesSizeAndEveryPixelExactly) {
    BitmapSimple source(2, 3);
    for (std::uint32_t row = 0; row < 2; ++row) {
        for (std::uint32_t column = 0; column < 3; ++column) {
            source.SetPixel(row, column, Colour(0.1f * column, 0.2f * row, 0.3f, 0.5f));
        }
    }
    BitmapSimple destination(5, 5);
    CopyBitmap(source, destination);
    ASSERT_EQ(destination.GetHeight(), 2u);
    ASSERT_EQ(destination.GetWidth(), 3u);
    for (std::uint32_t row = 0; row < 2; ++row) {
        for (std::uint32_t column = 0; column < 3; ++column) {
            EXPECT_EQ(destination.GetPixel(row, column), source.GetPixel(row, column));
        }
    }
}

TEST(CopyBitmap, EmptySourceEmptiesTheDestination) {
    BitmapSimple destination(2, 2);
    CopyBitmap(BitmapSimple(), destination);
    EXPECT_EQ(destination.GetHeight(), 0u);
    EXPECT_EQ(destination.GetWidth(), 0u);
}

} // namespace
