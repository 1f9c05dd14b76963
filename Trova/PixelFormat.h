#pragma once

// The pixel formats of BMAP sections: twelve stored codes (0 to 8, 10 and 11) with their channel
// bits and transparency class, the row and data sizes they give, and the codecs of the formats
// that store each pixel whole and without a palette. Palette indices and colour blocks are
// decoded by the section and ColourBlock, which need more than a row of bytes.

#include "Trova/Colour.h"

#include <cstdint>

namespace Ostrel::Trova {

// How transparent a picture's pixels may be; the values are the ones stored and shown.
enum class TransparencyClass : std::uint32_t {
    Opaque = 0,
    OpaqueOrTransparent = 1, // every pixel opaque or fully transparent
    Graded = 2,
};

// The stored format codes. Code 9 is not a format.
enum class PixelFormat : std::uint8_t {
    Index4Opaque = 0, // 4-bit palette indices, one format per transparency class
    Index4OpaqueOrTransparent = 1,
    Index4Graded = 2,
    R5G6B5 = 3,
    A1R5G5B5 = 4,
    A4R4G4B4 = 5,
    BGR8 = 6,  // bytes B, G, R
    BGRA8 = 7, // bytes B, G, R, A
    Grey8 = 8,
    Blocks = 10,              // 8-byte 4 x 4 colour blocks
    BlocksExplicitAlpha = 11, // 16-byte 4 x 4 colour blocks with explicit 4-bit alpha
};

// The pixel at column of a row of bytes, and the reverse.
using PixelDecoder = Colour (*)(const std::uint8_t* row, std::uint32_t column);
using PixelEncoder = void (*)(const Colour& colour, std::uint8_t* row, std::uint32_t column);

struct PixelFormatInfo {
    std::uint8_t bits;  // per pixel, or per block for the block formats
    std::uint8_t block; // the side of a block; 1 for formats that store single pixels
    // Channel bits; for the palettised formats, those of the palette entries.
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t alpha;
    TransparencyClass transparency;
    // For the formats that store each pixel whole and without a palette; null for the others.
    PixelDecoder decode = nullptr;
    PixelEncoder encode = nullptr;
};

bool IsValidPixelFormat(std::uint8_t code);
// The stored code as a format; XAssertion when it is not valid.
PixelFormat ToPixelFormat(std::uint8_t code);
constexpr std::uint8_t CodeOf(PixelFormat format) {
    return static_cast<std::uint8_t>(format);
}

const PixelFormatInfo& GetFormatInfo(PixelFormat format);
constexpr bool IsPalettised(PixelFormat format) {
    return format <= PixelFormat::Index4Graded;
}
constexpr bool IsBlockFormat(PixelFormat format) {
    return format >= PixelFormat::Blocks;
}
// The palettised format of a transparency class.
PixelFormat PalettisedFormatFor(TransparencyClass transparency);

// Bytes per pixel row (rows padded to 4 bytes; a block row's bytes divided by the block height).
// Computed in 64 bits: absurd widths give values no 32-bit header field can match.
std::uint64_t RowBytesOf(PixelFormat format, std::uint32_t width);
// Size of the uncompressed pixel data, in 64 bits for the same reason; saturates at the largest
// value instead of wrapping.
std::uint64_t DataSizeOf(PixelFormat format, std::uint32_t width, std::uint32_t height);

} // namespace Ostrel::Trova
