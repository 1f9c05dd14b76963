#include "Trova/PixelFormat.h"

#include "Util/BinaryStream.h"
#include "Util/Exception.h"

#include <array>
#include <limits>
#include <optional>

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "PixelFormat";

float Channel(std::uint32_t value, unsigned bits) {
    return IntToChannel(value, bits);
}

std::uint32_t Field(float channel, unsigned bits, unsigned shift) {
    return ChannelToInt(channel, bits) << shift;
}

std::uint8_t Byte(float channel) {
    return static_cast<std::uint8_t>(ChannelToInt(channel, 8));
}

std::uint16_t Packed(const std::uint8_t* row, std::uint32_t column) {
    return Util::ReadU16(row + 2 * std::size_t(column));
}

void StorePacked(std::uint32_t value, std::uint8_t* row, std::uint32_t column) {
    Util::WriteU16(row + 2 * std::size_t(column), static_cast<std::uint16_t>(value));
}

Colour DecodeR5G6B5(const std::uint8_t* row, std::uint32_t column) {
    const std::uint16_t v = Packed(row, column);
    return Colour(Channel(v >> 11 & 31, 5), Channel(v >> 5 & 63, 6), Channel(v & 31, 5), 1);
}

Colour DecodeA1R5G5B5(const std::uint8_t* row, std::uint32_t column) {
    const std::uint16_t v = Packed(row, column);
    return Colour(Channel(v >> 10 & 31, 5), Channel(v >> 5 & 31, 5), Channel(v & 31, 5),
                  Channel(v >> 15 & 1, 1));
}

Colour DecodeA4R4G4B4(const std::uint8_t* row, std::uint32_t column) {
    const std::uint16_t v = Packed(row, column);
    return Colour(Channel(v >> 8 & 15, 4), Channel(v >> 4 & 15, 4), Channel(v & 15, 4),
                  Channel(v >> 12 & 15, 4));
}

void EncodeR5G6B5(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    StorePacked(Field(c.GetRed(), 5, 11) | Field(c.GetGreen(), 6, 5) | Field(c.GetBlue(), 5, 0),
                row, column);
}

void EncodeA1R5G5B5(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    StorePacked(Field(c.GetRed(), 5, 10) | Field(c.GetGreen(), 5, 5) | Field(c.GetBlue(), 5, 0) |
                    Field(c.GetAlpha(), 1, 15),
                row, column);
}

void EncodeA4R4G4B4(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    StorePacked(Field(c.GetRed(), 4, 8) | Field(c.GetGreen(), 4, 4) | Field(c.GetBlue(), 4, 0) |
                    Field(c.GetAlpha(), 4, 12),
                row, column);
}

Colour DecodeBGR8(const std::uint8_t* row, std::uint32_t column) {
    const std::uint8_t* bgr = row + 3 * std::size_t(column);
    return Colour(Channel(bgr[2], 8), Channel(bgr[1], 8), Channel(bgr[0], 8), 1);
}

Colour DecodeBGRA8(const std::uint8_t* row, std::uint32_t column) {
    const std::uint8_t* bgra = row + 4 * std::size_t(column);
    return Colour(Channel(bgra[2], 8), Channel(bgra[1], 8), Channel(bgra[0], 8),
                  Channel(bgra[3], 8));
}

void EncodeBGR(const Colour& c, std::uint8_t* bgr) {
    bgr[0] = Byte(c.GetBlue());
    bgr[1] = Byte(c.GetGreen());
    bgr[2] = Byte(c.GetRed());
}

void EncodeBGR8(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    EncodeBGR(c, row + 3 * std::size_t(column));
}

void EncodeBGRA8(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    std::uint8_t* bgra = row + 4 * std::size_t(column);
    EncodeBGR(c, bgra);
    bgra[3] = Byte(c.GetAlpha());
}

Colour DecodeGrey8(const std::uint8_t* row, std::uint32_t column) {
    const float grey = Channel(row[column], 8);
    return Colour(grey, grey, grey, 1);
}

void EncodeGrey8(const Colour& c, std::uint8_t* row, std::uint32_t column) {
    row[column] = Byte(c.GetRed());
}

using enum TransparencyClass;
using Info = PixelFormatInfo;

// Indexed by code.
// clang-format off
constexpr std::array<std::optional<Info>, 12> kFormats{{
    Info{.bits =   4, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 8,
         .transparency = Opaque},
    Info{.bits =   4, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 8,
         .transparency = OpaqueOrTransparent},
    Info{.bits =   4, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 8,
         .transparency = Graded},
    Info{.bits =  16, .block = 1, .red = 5, .green = 6, .blue = 5, .alpha = 0,
         .transparency = Opaque, .decode = DecodeR5G6B5, .encode = EncodeR5G6B5},
    Info{.bits =  16, .block = 1, .red = 5, .green = 5, .blue = 5, .alpha = 1,
         .transparency = OpaqueOrTransparent, .decode = DecodeA1R5G5B5, .encode = EncodeA1R5G5B5},
    Info{.bits =  16, .block = 1, .red = 4, .green = 4, .blue = 4, .alpha = 4,
         .transparency = Graded, .decode = DecodeA4R4G4B4, .encode = EncodeA4R4G4B4},
    Info{.bits =  24, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 0,
         .transparency = Opaque, .decode = DecodeBGR8, .encode = EncodeBGR8},
    Info{.bits =  32, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 8,
         .transparency = Graded, .decode = DecodeBGRA8, .encode = EncodeBGRA8},
    Info{.bits =   8, .block = 1, .red = 8, .green = 8, .blue = 8, .alpha = 0,
         .transparency = Opaque, .decode = DecodeGrey8, .encode = EncodeGrey8},
    std::nullopt, // code 9 is not a format
    Info{.bits =  64, .block = 4, .red = 5, .green = 6, .blue = 5, .alpha = 0,
         .transparency = Opaque},
    Info{.bits = 128, .block = 4, .red = 5, .green = 6, .blue = 5, .alpha = 4,
         .transparency = Graded},
}};
// clang-format on
} // namespace

bool IsValidPixelFormat(std::uint8_t code) {
    return code < kFormats.size() && kFormats[code].has_value();
}

PixelFormat ToPixelFormat(std::uint8_t code) {
    OSTREL_ASSERT(IsValidPixelFormat(code));
    return static_cast<PixelFormat>(code);
}

const PixelFormatInfo& GetFormatInfo(PixelFormat format) {
    OSTREL_ASSERT(IsValidPixelFormat(CodeOf(format)));
    return *kFormats[CodeOf(format)];
}

PixelFormat PalettisedFormatFor(TransparencyClass transparency) {
    switch (transparency) {
    case OpaqueOrTransparent:
        return PixelFormat::Index4OpaqueOrTransparent;
    case Graded:
        return PixelFormat::Index4Graded;
    default:
        return PixelFormat::Index4Opaque;
    }
}

std::uint64_t RowBytesOf(PixelFormat format, std::uint32_t width) {
    const PixelFormatInfo& info = GetFormatInfo(format);
    const std::uint64_t blocksAcross = (std::uint64_t(width) + info.block - 1) / info.block;
    return (blocksAcross * info.bits + 31) / 32 * 4 / info.block;
}

std::uint64_t DataSizeOf(PixelFormat format, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t side = GetFormatInfo(format).block;
    const std::uint64_t rows = (std::uint64_t(height) + side - 1) / side * side;
    const std::uint64_t rowBytes = RowBytesOf(format, width);
    if (rowBytes != 0 && rows > std::numeric_limits<std::uint64_t>::max() / rowBytes) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return rows * rowBytes;
}

} // namespace Ostrel::Trova
