#include "Trova/Colour.h"
#include "Trova/Bitmap.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Ostrel::Test::MakeBitmap;
using Ostrel::Test::PixelRows;
using Ostrel::Test::PixelsOf;
using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::ChannelToInt;
using Ostrel::Trova::Colour;
using Ostrel::Trova::CopyBitmap;
using Ostrel::Trova::IntToChannel;

TEST(Colour, EqualityComparesChannelsAsFloatsAndAllTransparentColoursAreOne) {
    EXPECT_EQ(Colour(0.3f, 0.6f, 0.9f, 0), Colour());
    EXPECT_EQ(Colour(0, 1, 1, 1), Colour(-0.0f, 1, 1, 1));
    EXPECT_NE(Colour(0, 1, 1, 1), Colour(0, 1, 1, 0.99f));
    const Colour odd(std::numeric_limits<float>::quiet_NaN(), 0, 0, 1);
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

// Pixels start transparent; the copy takes the source's size and every pixel, row-major.
TEST(CopyBitmap, CopiesSizeAndEveryPixelExactly) {
    EXPECT_EQ(BitmapSimple(2, 3).GetPixel(1, 2), Colour());
    const PixelRows rows = {{Colour(0, 0, 0.3f, 0.5f), Colour(0.1f, 0, 0.3f, 0.5f), Colour()},
                            {Colour(0, 0.2f, 0.3f, 1), Colour(1, 1, 1, 1), Colour(0, 1, 0, 1)}};
    BitmapSimple destination(5, 5);
    CopyBitmap(MakeBitmap(rows), destination);
    EXPECT_EQ(PixelsOf(destination), rows);
    CopyBitmap(BitmapSimple(), destination);
    EXPECT_EQ(destination.GetWidth(), 0u);
}

} // namespace
