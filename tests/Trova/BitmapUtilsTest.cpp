#include "Trova/BitmapUtils.h"

#include "Util/Exception.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::Colour;
using Ostrel::Util::XAssertion;
using Ostrel::Util::XUsage;
namespace Trova = Ostrel::Trova;

const Colour kClear(0, 0, 0, 0);
const Colour kMagenta(1, 0, 1, 1);
const Colour kRed(1, 0, 0, 1);
const Colour kGreen(0, 1, 0, 1);
const Colour kBlue(0, 0, 1, 1);
const Colour kWhite(1, 1, 1, 1);
const Colour kBlack(0, 0, 0, 1);

using Ostrel::Test::MakeBitmap;

// A bitmap whose every pixel tells where it came from.
BitmapSimple MakeNumbered(std::uint32_t height, std::uint32_t width) {
    BitmapSimple bitmap(height, width);
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            bitmap.SetPixel(row, column, Colour(row / 100.0f, column / 100.0f, 0, 1));
        }
    }
    return bitmap;
}

template <typename Action> std::string UsageMessage(Action action) {
    try {
        action();
    } catch (const XUsage& usage) {
        return usage.Message();
    }
    return "no exception";
}

// Transparency.

TEST(Transparency, MakeOpaqueKeepsColourAndDropsAlpha) {
    BitmapSimple destination;
    Trova::MakeOpaque(MakeBitmap({{Colour(0.2f, 0.4f, 0.6f, 0.5f), kClear}}), destination, false);
    EXPECT_EQ(Colour(0.2f, 0.4f, 0.6f, 1), destination.GetPixel(0, 0));
    EXPECT_EQ(kBlack, destination.GetPixel(0, 1));
}

TEST(Transparency, MakeOpaqueCanRefuseTransparentPixels) {
    BitmapSimple destination;
    Trova::MakeOpaque(MakeBitmap({{kRed, kBlue}}), destination, true);
    EXPECT_EQ(kBlue, destination.GetPixel(0, 1));
    EXPECT_EQ(
        "Bitmap is transparent", UsageMessage([&] {
            Trova::MakeOpaque(MakeBitmap({{kRed, Colour(1, 1, 1, 0.999f)}}), destination, true);
        }));
}

TEST(Transparency, AlphaAndGreyConvertBothWays) {
    BitmapSimple grey;
    Trova::AlphaToGrey(MakeBitmap({{kRed, kClear, Colour(0, 1, 0, 0.25f)}}), grey);
    EXPECT_EQ(kWhite, grey.GetPixel(0, 0));
    EXPECT_EQ(kBlack, grey.GetPixel(0, 1));
    EXPECT_EQ(Colour(0.25f, 0.25f, 0.25f, 1), grey.GetPixel(0, 2));

    const BitmapSimple picture = MakeBitmap({{kRed, kGreen, kBlue}});
    const BitmapSimple transparency = MakeBitmap({{Colour(0.5f, 0.5f, 0.5f, 1), kRed, kBlack}});
    BitmapSimple combined;
    Trova::GreyToAlpha(picture, transparency, combined);
    EXPECT_EQ(Colour(1, 0, 0, 0.5f), combined.GetPixel(0, 0));
    EXPECT_EQ(Colour(0, 1, 0, 1 / 3.0f), combined.GetPixel(0, 1));
    EXPECT_EQ(kClear, combined.GetPixel(0, 2));
}

TEST(Transparency, GreyToAlphaRefusesASmallerTransparencyBitmap) {
    BitmapSimple destination;
    EXPECT_THROW(Trova::GreyToAlpha(MakeNumbered(2, 2), MakeNumbered(2, 1), destination), XUsage);
    EXPECT_THROW(Trova::GreyToAlpha(MakeNumbered(2, 2), MakeNumbered(1, 2), destination), XUsage);
    Trova::GreyToAlpha(MakeNumbered(2, 2), MakeNumbered(3, 3), destination);
    EXPECT_EQ(2u, destination.GetWidth());
}

TEST(Transparency, TransparencyToColourReplacesTransparentPixels) {
    BitmapSimple destination;
    Trova::TransparencyToColour(MakeBitmap({{kRed, kClear}}), destination, kMagenta);
    EXPECT_EQ(kRed, destination.GetPixel(0, 0));
    EXPECT_EQ(kMagenta, destination.GetPixel(0, 1));
}

TEST(Transparency, TransparencyToColourRefusesAmbiguousPixelsInOrder) {
    BitmapSimple destination;
    const Colour half(1, 1, 1, 0.5f);
    EXPECT_EQ("Transparency colour occurs in source bitmap", UsageMessage([&] {
                  Trova::TransparencyToColour(MakeBitmap({{kRed, kMagenta, half}}), destination,
                                              kMagenta);
              }));
    EXPECT_EQ(1u, destination.GetHeight()); // sized before the failure
    EXPECT_EQ("Bitmap contains partial transparency", UsageMessage([&] {
                  Trova::TransparencyToColour(MakeBitmap({{kRed, half, kMagenta}}), destination,
                                              kMagenta);
              }));
}

TEST(Transparency, ColourToTransparencyMatchesExactlyOnly) {
    const Colour nearMagenta(254 / 255.0f, 0, 1, 1);
    BitmapSimple destination;
    Trova::ColourToTransparency(MakeBitmap({{kMagenta, nearMagenta, kRed}}), kMagenta, destination);
    EXPECT_EQ(kClear, destination.GetPixel(0, 0));
    EXPECT_EQ(nearMagenta, destination.GetPixel(0, 1));
    EXPECT_EQ(kRed, destination.GetPixel(0, 2));
}

TEST(Transparency, TransparencyColourMustBeOpaque) {
    const BitmapSimple source = MakeBitmap({{kRed}});
    BitmapSimple destination;
    const Colour translucent(1, 0, 1, 0.5f);
    try {
        Trova::ColourToTransparency(source, translucent, destination);
        FAIL() << "no exception";
    } catch (const XAssertion& assertion) {
        const std::string message = assertion.Message();
        EXPECT_EQ(0u, message.find("Assertion failure at BitmapUtils: "));
        EXPECT_NE(std::string::npos, message.find("\ntransparency_colour.GetAlpha() == 1.0f\n"));
    }
    EXPECT_THROW(Trova::TransparencyToColour(source, destination, translucent), XAssertion);
}

// Resampling.

TEST(Shrink, ColourIsWeightedByAlphaAndAlphaIsTheMean) {
    BitmapSimple destination;
    Trova::Shrink(MakeBitmap({{kRed, kClear}, {kClear, kRed}}), 2, 2, destination);
    ASSERT_EQ(1u, destination.GetHeight());
    ASSERT_EQ(1u, destination.GetWidth());
    EXPECT_EQ(Colour(1, 0, 0, 0.5f), destination.GetPixel(0, 0));

    Trova::Shrink(MakeBitmap({{kClear, kClear}}), 1, 2, destination);
    EXPECT_EQ(kClear, destination.GetPixel(0, 0));

    Trova::Shrink(MakeBitmap({{kRed, Colour(0, 0, 1, 0.5f)}}), 1, 2, destination);
    EXPECT_EQ(Colour(2 / 3.0f, 0, 1 / 3.0f, 0.75f), destination.GetPixel(0, 0));
}

TEST(Shrink, LeftoverRowsAndColumnsAreIgnored) {
    BitmapSimple destination;
    Trova::Shrink(MakeNumbered(5, 3), 2, 2, destination);
    ASSERT_EQ(2u, destination.GetHeight());
    ASSERT_EQ(1u, destination.GetWidth());
    // Rows 2 and 3, columns 0 and 1.
    EXPECT_FLOAT_EQ(0.025f, destination.GetPixel(1, 0).GetRed());
    EXPECT_FLOAT_EQ(0.005f, destination.GetPixel(1, 0).GetGreen());

    Trova::Shrink(MakeNumbered(3, 3), 4, 1, destination);
    EXPECT_EQ(0u, destination.GetHeight());
}

TEST(Shrink, WholePictureGivesItsMeanColour) {
    BitmapSimple destination;
    Trova::Shrink(MakeBitmap({{kRed, kGreen}, {kBlue, kClear}}), 2, 2, destination);
    EXPECT_EQ(Colour(1 / 3.0f, 1 / 3.0f, 1 / 3.0f, 0.75f), destination.GetPixel(0, 0));
}

TEST(Shrink, FactorZeroIsRefused) {
    BitmapSimple destination;
    EXPECT_THROW(Trova::Shrink(MakeNumbered(2, 2), 0, 1, destination), XUsage);
    EXPECT_THROW(Trova::Shrink(MakeNumbered(2, 2), 1, 0, destination), XUsage);
}

TEST(Resize, EnlargingRepeatsPixelsAsBlocks) {
    const BitmapSimple source = MakeNumbered(2, 2);
    BitmapSimple destination;
    Trova::Resize(source, 4, 4, destination);
    ASSERT_EQ(4u, destination.GetHeight());
    ASSERT_EQ(4u, destination.GetWidth());
    for (std::uint32_t row = 0; row < 4; ++row) {
        for (std::uint32_t column = 0; column < 4; ++column) {
            EXPECT_EQ(source.GetPixel(row / 2, column / 2), destination.GetPixel(row, column));
        }
    }
}

TEST(Resize, ReducingPicksTheCentreRowsAndColumns) {
    const BitmapSimple source = MakeNumbered(4, 4);
    BitmapSimple destination;
    Trova::Resize(source, 2, 2, destination);
    EXPECT_EQ(source.GetPixel(1, 1), destination.GetPixel(0, 0));
    EXPECT_EQ(source.GetPixel(3, 3), destination.GetPixel(1, 1));

    const BitmapSimple wide = MakeNumbered(3, 7);
    Trova::Resize(wide, 1, 2, destination);
    EXPECT_EQ(wide.GetPixel(1, 1), destination.GetPixel(0, 0));
    EXPECT_EQ(wide.GetPixel(1, 5), destination.GetPixel(0, 1));
}

TEST(Resize, SameSizeCopies) {
    const BitmapSimple source = MakeNumbered(3, 5);
    BitmapSimple destination;
    Trova::Resize(source, 3, 5, destination);
    EXPECT_EQ(source.GetPixel(2, 4), destination.GetPixel(2, 4));
}

TEST(Resize, EmptySizesAreRefused) {
    BitmapSimple destination;
    EXPECT_THROW(Trova::Resize(MakeNumbered(2, 2), 0, 2, destination), XUsage);
    EXPECT_THROW(Trova::Resize(MakeNumbered(2, 2), 2, 0, destination), XUsage);
    EXPECT_THROW(Trova::Resize(BitmapSimple(0, 0), 0, 0, destination), XUsage);
    EXPECT_THROW(Trova::Resize(BitmapSimple(0, 3), 2, 2, destination), XUsage);
}

} // namespace
