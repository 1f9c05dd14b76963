#include "Trova/ColourBlock.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Ostrel::Trova;

namespace {
ColourBlockPixels RoundTrip(const ColourBlockPixels& pixels, bool explicitAlpha) {
    std::array<std::uint8_t, 16> block{};
    EncodeColourBlock(pixels, explicitAlpha, block.data());
    ColourBlockPixels decoded;
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        decoded[i] = DecodeColourBlockPixel(block.data(), explicitAlpha, i / 4, i % 4);
    }
    return decoded;
}
} // namespace

TEST(ColourBlock, RoundTripsKeepWhatTheBlockCanHold) {
    const Colour teal(0, IntToChannel(40, 6), IntToChannel(20, 5), 1);
    const Colour orange(1, IntToChannel(33, 6), 0, 1);
    ColourBlockPixels twoColours;
    ColourBlockPixels alphaSteps;
    ColourBlockPixels gradient;
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        twoColours[i] = i % 3 == 0 ? teal : orange;
        alphaSteps[i] = i < 8 ? Colour() : Colour(1, 1, 1, IntToChannel(i, 4));
        gradient[i] = Colour(i / 15.0f, 1 - i / 15.0f, 0.5f, 1);
    }
    // Two colours the block can represent come back exactly, a gradient close.
    EXPECT_EQ(RoundTrip(twoColours, false), twoColours);
    // Explicit alpha keeps transparency out of the colours.
    EXPECT_EQ(RoundTrip(alphaSteps, true), alphaSteps);
    // Without explicit alpha, transparent pixels are black and every pixel is opaque.
    EXPECT_EQ(RoundTrip(alphaSteps, false)[0], Colour(0, 0, 0, 1));
    const ColourBlockPixels decoded = RoundTrip(gradient, false);
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        EXPECT_LT(std::fabs(decoded[i].GetRed() - gradient[i].GetRed()), 0.2f) << i;
        EXPECT_LT(std::fabs(decoded[i].GetGreen() - gradient[i].GetGreen()), 0.2f) << i;
    }
}
