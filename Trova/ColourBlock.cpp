#include "Trova/ColourBlock.h"

#include "Util/BinaryStream.h"

namespace Ostrel::Trova {

namespace {
constexpr std::uint32_t kAlphaBytes = 8;
constexpr unsigned kAlphaBits = 4;
constexpr std::uint32_t kWeightCount = 4;
// Weight of the first end colour for each 2-bit index.
constexpr std::array<float, kWeightCount> kFirstColourWeight{1.0f, 0.0f, 0.6666667f, 0.3333333f};

struct Rgb {
    float red = 0;
    float green = 0;
    float blue = 0;
};

Rgb DecodeEndColour(std::uint16_t value) {
    return {IntToChannel(value >> 11 & 31, 5), IntToChannel(value >> 5 & 63, 6),
            IntToChannel(value & 31, 5)};
}

std::uint16_t EncodeEndColour(const Colour& colour) {
    return static_cast<std::uint16_t>(ChannelToInt(colour.GetRed(), 5) << 11 |
                                      ChannelToInt(colour.GetGreen(), 6) << 5 |
                                      ChannelToInt(colour.GetBlue(), 5));
}

Rgb Blend(const Rgb& first, const Rgb& second, float weight) {
    const float rest = 1 - weight;
    return {weight * first.red + rest * second.red, weight * first.green + rest * second.green,
            weight * first.blue + rest * second.blue};
}

std::array<Rgb, kWeightCount> BlockColours(std::uint16_t first, std::uint16_t second) {
    const Rgb c0 = DecodeEndColour(first);
    const Rgb c1 = DecodeEndColour(second);
    std::array<Rgb, kWeightCount> colours;
    for (std::uint32_t index = 0; index < kWeightCount; ++index) {
        colours[index] = Blend(c0, c1, kFirstColourWeight[index]);
    }
    return colours;
}

float SquaredDistance(const Colour& colour, const Rgb& rgb) {
    const float dr = colour.GetRed() - rgb.red;
    const float dg = colour.GetGreen() - rgb.green;
    const float db = colour.GetBlue() - rgb.blue;
    return dr * dr + dg * dg + db * db;
}

float SquaredDistance(const Colour& a, const Colour& b) {
    return SquaredDistance(a, Rgb{b.GetRed(), b.GetGreen(), b.GetBlue()});
}

std::uint32_t NearestIndex(const Colour& colour, const std::array<Rgb, kWeightCount>& colours) {
    std::uint32_t best = 0;
    for (std::uint32_t index = 1; index < kWeightCount; ++index) {
        if (SquaredDistance(colour, colours[index]) < SquaredDistance(colour, colours[best])) {
            best = index;
        }
    }
    return best;
}

// The pair of most distant colours among those that count; both are black when none counts.
std::array<Colour, 2> ChooseEndColours(const ColourBlockPixels& pixels, bool explicitAlpha) {
    std::array<Colour, 2> ends{};
    float widest = -1;
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        for (std::uint32_t j = i; j < kColourBlockPixels; ++j) {
            const bool count =
                !explicitAlpha || (pixels[i].GetAlpha() > 0 && pixels[j].GetAlpha() > 0);
            const float distance = SquaredDistance(pixels[i], pixels[j]);
            if (count && distance > widest) {
                widest = distance;
                ends = {pixels[i], pixels[j]};
            }
        }
    }
    return ends;
}

std::uint64_t EncodeAlpha(const ColourBlockPixels& pixels) {
    std::uint64_t bits = 0;
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        bits |= std::uint64_t(ChannelToInt(pixels[i].GetAlpha(), kAlphaBits)) << (kAlphaBits * i);
    }
    return bits;
}
} // namespace

Colour DecodeColourBlockPixel(const std::uint8_t* block, bool explicitAlpha, std::uint32_t y,
                              std::uint32_t x) {
    const std::uint32_t pixel = y * kColourBlockSide + x;
    float alpha = 1;
    if (explicitAlpha) {
        const std::uint32_t half = Util::ReadU32(block + (pixel < 8 ? 0 : 4));
        alpha = IntToChannel(half >> (kAlphaBits * (pixel % 8)) & 15, kAlphaBits);
        block += kAlphaBytes;
    }
    const std::uint32_t index = Util::ReadU32(block + 4) >> (2 * pixel) & 3;
    const Rgb rgb = Blend(DecodeEndColour(Util::ReadU16(block)),
                          DecodeEndColour(Util::ReadU16(block + 2)), kFirstColourWeight[index]);
    return Colour(rgb.red, rgb.green, rgb.blue, alpha);
}

void EncodeColourBlock(const ColourBlockPixels& pixels, bool explicitAlpha, std::uint8_t* block) {
    if (explicitAlpha) {
        const std::uint64_t alpha = EncodeAlpha(pixels);
        Util::WriteU32(block, static_cast<std::uint32_t>(alpha));
        Util::WriteU32(block + 4, static_cast<std::uint32_t>(alpha >> 32));
        block += kAlphaBytes;
    }
    const std::array<Colour, 2> ends = ChooseEndColours(pixels, explicitAlpha);
    const std::uint16_t first = EncodeEndColour(ends[0]);
    const std::uint16_t second = EncodeEndColour(ends[1]);
    const std::array<Rgb, kWeightCount> colours = BlockColours(first, second);
    std::uint32_t indices = 0;
    for (std::uint32_t i = 0; i < kColourBlockPixels; ++i) {
        indices |= NearestIndex(pixels[i], colours) << (2 * i);
    }
    Util::WriteU16(block, first);
    Util::WriteU16(block + 2, second);
    Util::WriteU32(block + 4, indices);
}

} // namespace Ostrel::Trova
