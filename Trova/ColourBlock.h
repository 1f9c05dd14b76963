#pragma once

#include "Trova/Colour.h"

#include <array>
#include <cstdint>

namespace Ostrel::Trova {

// 4 x 4 pixel blocks of two R5 G6 B5 end colours and a 2-bit weight per pixel (8 bytes), with
// optionally a 4-bit alpha per pixel in front (16 bytes). Every block uses the four-colour rule,
// whatever the order of its end colours, so a block without explicit alpha is always opaque.
constexpr std::uint32_t kColourBlockSide = 4;
constexpr std::uint32_t kColourBlockPixels = kColourBlockSide * kColourBlockSide;

using ColourBlockPixels = std::array<Colour, kColourBlockPixels>; // row by row

constexpr std::uint32_t GetColourBlockBytes(bool explicitAlpha) {
    return explicitAlpha ? 16 : 8;
}

// The pixel at (y, x) of the block, both below 4.
Colour DecodeColourBlockPixel(const std::uint8_t* block, bool explicitAlpha, std::uint32_t y,
                              std::uint32_t x);

// Encodes 16 colours into one block. The end colours are the two most distant colours of the
// block (transparent pixels do not take part when alpha is explicit), so a block of at most two
// colours that fit R5 G6 B5 is reproduced exactly.
void EncodeColourBlock(const ColourBlockPixels& pixels, bool explicitAlpha, std::uint8_t* block);

} // namespace Ostrel::Trova
