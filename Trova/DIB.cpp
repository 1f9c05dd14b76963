#include "Trova/DIB.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace Ostrel::Trova {

namespace {

constexpr char kSourceUnit[] = "DIB";

// On-disk layout: a 14-byte file header followed by the 40-byte information header.
constexpr std::uint16_t kBitmapType = 0x4D42; // "BM"
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr std::uint32_t kTableEntrySize = 4; // blue, green, red, reserved
// No pixel index can name more entries. A longer table is skipped rather than expanded into
// colours, each of which costs many times its four bytes.
constexpr std::uint32_t kMostIndexableEntries = 256;

constexpr std::size_t kTypeOffset = 0;
constexpr std::size_t kFileSizeOffset = 2;
constexpr std::size_t kPixelOffsetOffset = 10;
constexpr std::size_t kHeaderSizeOffset = 14;
constexpr std::size_t kWidthOffset = 18;
constexpr std::size_t kHeightOffset = 22;
constexpr std::size_t kPlanesOffset = 26;
constexpr std::size_t kBitCountOffset = 28;
constexpr std::size_t kCompressionOffset = 30;
constexpr std::size_t kImageSizeOffset = 34;
constexpr std::size_t kHorizontalResolutionOffset = 38;
constexpr std::size_t kVerticalResolutionOffset = 42;
constexpr std::size_t kColoursUsedOffset = 46;
constexpr std::size_t kImportantColoursOffset = 50;

constexpr char kInvalidFile[] = "Invalid or unsupported BMP file";
constexpr char kBadBitCount[] = "Unrecognized bit count";
constexpr char kBadPaletteSize[] = "Palette size error";
constexpr char kBadDimensions[] = "Invalid BMP dimensions";
constexpr char kBadPaletteIndex[] = "Palette index out of range";

bool IsPaletted(std::uint32_t bitCount) {
    return bitCount <= 8;
}

// Colour-table entries a file of this bit count carries; fails for a bit count BMP lacks.
std::uint32_t TableEntries(std::uint32_t bitCount) {
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        return 1u << bitCount;
    case 16:
    case 24:
    case 32:
        return 0;
    }
    Util::AssertionFailed("false", kSourceUnit, __LINE__);
}

bool IsKnownBitCount(std::uint32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// Rows are padded to whole 32-bit words.
std::uint64_t RowStride(std::uint64_t width, std::uint32_t bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

std::uint32_t Magnitude(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? 0u - bits : bits;
}

// The image size must fit the header's 32-bit field and a single stream transfer. The widths
// and heights here are below 2^32, so neither product can overflow 64 bits.
bool FitsImageSize(std::uint64_t width, std::uint64_t height, std::uint32_t bitCount) {
    const std::uint64_t stride = RowStride(width, bitCount);
    return stride * height <= std::numeric_limits<std::uint32_t>::max();
}

bool FitsHeaderField(std::uint32_t value) {
    return value <= std::uint32_t(std::numeric_limits<std::int32_t>::max());
}

struct IndexLocation {
    std::uint32_t byte;
    unsigned shift;
    unsigned mask;
};

// Sub-byte indices are packed from the high bits down: column 0 of a 4-bit row is the high nibble.
IndexLocation LocateIndex(std::uint32_t column, unsigned bitCount) {
    const unsigned perByte = 8 / bitCount;
    return {column / perByte, (perByte - 1 - column % perByte) * bitCount, (1u << bitCount) - 1};
}

std::uint32_t ReadIndex(const std::uint8_t* row, std::uint32_t column, unsigned bitCount) {
    const IndexLocation location = LocateIndex(column, bitCount);
    return (row[location.byte] >> location.shift) & location.mask;
}

void WriteIndex(std::uint8_t* row, std::uint32_t column, unsigned bitCount, std::uint32_t index) {
    const IndexLocation location = LocateIndex(column, bitCount);
    std::uint8_t& byte = row[location.byte];
    byte = static_cast<std::uint8_t>((byte & ~(location.mask << location.shift)) |
                                     (index << location.shift));
}

Colour DecodeBgr(const std::uint8_t* bytes) {
    return Colour(IntToChannel(bytes[2], 8), IntToChannel(bytes[1], 8), IntToChannel(bytes[0], 8),
                  1);
}

void EncodeBgr(const Colour& colour, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(ChannelToInt(colour.GetBlue(), 8));
    bytes[1] = static_cast<std::uint8_t>(ChannelToInt(colour.GetGreen(), 8));
    bytes[2] = static_cast<std::uint8_t>(ChannelToInt(colour.GetRed(), 8));
}

// 16-bit pixels are 5-5-5 with red in the high bits; bit 15 is unused.
Colour Decode555(std::uint16_t word) {
    return Colour(IntToChannel(word >> 10 & 31, 5), IntToChannel(word >> 5 & 31, 5),
                  IntToChannel(word & 31, 5), 1);
}

std::uint16_t Encode555(const Colour& colour) {
    return static_cast<std::uint16_t>(ChannelToInt(colour.GetRed(), 5) << 10 |
                                      ChannelToInt(colour.GetGreen(), 5) << 5 |
                                      ChannelToInt(colour.GetBlue(), 5));
}

std::int32_t ReadS32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(Util::ReadU32(bytes));
}

void WriteS32(std::uint8_t* bytes, std::int32_t value) {
    Util::WriteU32(bytes, static_cast<std::uint32_t>(value));
}

} // namespace

DIB::DIB(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    Read(*file, path);
}

DIB::DIB(Util::BinaryStream& stream) {
    Read(stream, stream.GetName());
}

DIB::DIB(std::uint16_t bitCount) {
    const std::uint32_t entries = TableEntries(bitCount);
    header_.bitCount = bitCount;
    if (entries != 0) {
        palette_ = Util::MakeCounted<Palette>(entries);
    }
}

void DIB::Read(Util::BinaryStream& stream, const std::string& name) {
    std::array<std::uint8_t, kHeadersSize> bytes;
    stream.Read(kHeadersSize, bytes.data());
    if (Util::ReadU16(&bytes[kTypeOffset]) != kBitmapType ||
        Util::ReadU32(&bytes[kHeaderSizeOffset]) != kInfoHeaderSize ||
        Util::ReadU16(&bytes[kPlanesOffset]) != 1 ||
        Util::ReadU32(&bytes[kCompressionOffset]) != 0) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
    header_.bitCount = Util::ReadU16(&bytes[kBitCountOffset]);
    if (!IsKnownBitCount(header_.bitCount)) {
        throw Util::XFileFormat(name, kBadBitCount);
    }
    header_.width = ReadS32(&bytes[kWidthOffset]);
    header_.height = ReadS32(&bytes[kHeightOffset]);
    // A picture with no columns but millions of rows holds no pixels, yet every routine that
    // walks its rows would spin through them.
    const bool oneSideEmpty = (header_.width == 0) != (header_.height == 0);
    if (header_.width < 0 || oneSideEmpty ||
        !FitsImageSize(GetWidth(), GetHeight(), header_.bitCount)) {
        throw Util::XFileFormat(name, kBadDimensions);
    }
    header_.horizontalResolution = ReadS32(&bytes[kHorizontalResolutionOffset]);
    header_.verticalResolution = ReadS32(&bytes[kVerticalResolutionOffset]);
    header_.coloursUsed = Util::ReadU32(&bytes[kColoursUsedOffset]);
    header_.importantColours = Util::ReadU32(&bytes[kImportantColoursOffset]);
    SetLayout();
    ReadColourTable(stream, Util::ReadU32(&bytes[kPixelOffsetOffset]), name);
    ReadPixels(stream);
    CheckIndices(name);
}

// The table is whatever lies between the headers and the pixel data, whatever the bit count.
// An offset inside the headers would make its size negative.
void DIB::ReadColourTable(Util::BinaryStream& stream, std::uint32_t pixelOffset,
                          const std::string& name) {
    if (pixelOffset < kHeadersSize || (pixelOffset - kHeadersSize) % kTableEntrySize != 0) {
        throw Util::XFileFormat(name, kBadPaletteSize);
    }
    const std::uint32_t tableSize = pixelOffset - kHeadersSize;
    if (tableSize > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    if (tableSize == 0 && !HasPalette()) {
        return;
    }
    const std::uint32_t entries = std::min(tableSize / kTableEntrySize, kMostIndexableEntries);
    std::vector<std::uint8_t> table(std::size_t(entries) * kTableEntrySize);
    stream.Read(static_cast<std::uint32_t>(table.size()), table.data());
    stream.SetPosition(stream.GetPosition() + (tableSize - table.size()));
    palette_ = Util::MakeCounted<Palette>(entries);
    for (std::uint32_t index = 0; index < entries; ++index) {
        palette_->SetColour(index, DecodeBgr(&table[index * kTableEntrySize]));
    }
}

void DIB::ReadPixels(Util::BinaryStream& stream) {
    if (header_.imageSize > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    pixels_.resize(header_.imageSize);
    stream.Read(header_.imageSize, pixels_.data());
}

// A table shorter than the bit count allows leaves indices that name no colour.
void DIB::CheckIndices(const std::string& name) const {
    if (!HasPalette() || palette_->GetCount() >= TableEntries(header_.bitCount)) {
        return;
    }
    for (std::uint32_t row = 0; row < GetHeight(); ++row) {
        const std::uint8_t* bytes = StorageRow(row);
        for (std::uint32_t column = 0; column < GetWidth(); ++column) {
            if (ReadIndex(bytes, column, header_.bitCount) >= palette_->GetCount()) {
                throw Util::XFileFormat(name, kBadPaletteIndex);
            }
        }
    }
}

std::uint32_t DIB::GetWidth() const {
    return static_cast<std::uint32_t>(header_.width);
}

std::uint32_t DIB::GetHeight() const {
    return Magnitude(header_.height);
}

void DIB::SetSize(std::uint32_t height, std::uint32_t width) {
    OSTREL_ASSERT(FitsHeaderField(height) && FitsHeaderField(width) &&
                  FitsImageSize(width, height, header_.bitCount));
    header_.width = static_cast<std::int32_t>(width);
    header_.height = static_cast<std::int32_t>(height);
    SetLayout();
    pixels_.assign(header_.imageSize, 0);
}

void DIB::SetLayout() {
    stride_ = static_cast<std::uint32_t>(RowStride(GetWidth(), header_.bitCount));
    header_.imageSize = stride_ * GetHeight();
}

bool DIB::HasPalette() const {
    return IsPaletted(header_.bitCount);
}

const std::uint8_t* DIB::StorageRow(std::uint32_t row) const {
    const std::uint32_t storedRow = header_.height > 0 ? GetHeight() - 1 - row : row;
    return pixels_.data() + std::size_t(storedRow) * stride_;
}

std::uint8_t* DIB::StorageRow(std::uint32_t row) {
    return const_cast<std::uint8_t*>(std::as_const(*this).StorageRow(row));
}

Colour DIB::GetPixel(std::uint32_t row, std::uint32_t column) const {
    const std::uint8_t* bytes = StorageRow(row);
    switch (header_.bitCount) {
    case 16:
        return Decode555(Util::ReadU16(bytes + 2 * std::size_t(column)));
    case 24:
        return DecodeBgr(bytes + 3 * std::size_t(column));
    case 32:
        return DecodeBgr(bytes + 4 * std::size_t(column));
    default:
        // Indices were checked when reading; the palette itself rejects one beyond a table that
        // has been shortened since.
        return palette_->GetColour(ReadIndex(bytes, column, header_.bitCount));
    }
}

void DIB::SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) {
    std::uint8_t* bytes = StorageRow(row);
    switch (header_.bitCount) {
    case 16:
        Util::WriteU16(bytes + 2 * std::size_t(column), Encode555(colour));
        break;
    case 24:
        EncodeBgr(colour, bytes + 3 * std::size_t(column));
        break;
    case 32:
        EncodeBgr(colour, bytes + 4 * std::size_t(column));
        bytes[4 * std::size_t(column) + 3] = 0;
        break;
    default: {
        const std::uint32_t index = palette_->GetColourIndex(colour);
        // A table read from a file may hold more entries than the pixel bits can name.
        OSTREL_ASSERT(index < TableEntries(header_.bitCount));
        WriteIndex(bytes, column, header_.bitCount, index);
    }
    }
}

void DIB::Save(const std::string& path, bool overwrite) const {
    const auto file = Util::Create(path, overwrite);
    Save(*file);
}

void DIB::Save(Util::BinaryStream& stream) const {
    const std::uint32_t tableEntries = TableEntries(header_.bitCount);
    const std::vector<std::uint8_t> headers = EncodeHeaders(tableEntries);
    stream.Write(kHeadersSize, headers.data());
    if (tableEntries != 0) {
        const std::vector<std::uint8_t> table = EncodeColourTable(tableEntries);
        stream.Write(static_cast<std::uint32_t>(table.size()), table.data());
    }
    stream.Write(header_.imageSize, pixels_.data());
}

std::vector<std::uint8_t> DIB::EncodeHeaders(std::uint32_t tableEntries) const {
    const std::uint32_t pixelOffset = kHeadersSize + kTableEntrySize * tableEntries;
    std::vector<std::uint8_t> bytes(kHeadersSize, 0);
    Util::WriteU16(&bytes[kTypeOffset], kBitmapType);
    Util::WriteU32(&bytes[kFileSizeOffset], pixelOffset + header_.imageSize);
    Util::WriteU32(&bytes[kPixelOffsetOffset], pixelOffset);
    Util::WriteU32(&bytes[kHeaderSizeOffset], kInfoHeaderSize);
    WriteS32(&bytes[kWidthOffset], header_.width);
    WriteS32(&bytes[kHeightOffset], header_.height);
    Util::WriteU16(&bytes[kPlanesOffset], header_.planes);
    Util::WriteU16(&bytes[kBitCountOffset], header_.bitCount);
    Util::WriteU32(&bytes[kCompressionOffset], header_.compression);
    Util::WriteU32(&bytes[kImageSizeOffset], header_.imageSize);
    WriteS32(&bytes[kHorizontalResolutionOffset], header_.horizontalResolution);
    WriteS32(&bytes[kVerticalResolutionOffset], header_.verticalResolution);
    Util::WriteU32(&bytes[kColoursUsedOffset], header_.coloursUsed);
    Util::WriteU32(&bytes[kImportantColoursOffset], header_.importantColours);
    return bytes;
}

// The table always has the bit count's full length; entries the palette lacks are written black
// and reserved bytes zero.
std::vector<std::uint8_t> DIB::EncodeColourTable(std::uint32_t tableEntries) const {
    std::vector<std::uint8_t> table(std::size_t(tableEntries) * kTableEntrySize, 0);
    const std::uint32_t known = std::min(tableEntries, palette_->GetCount());
    for (std::uint32_t index = 0; index < known; ++index) {
        EncodeBgr(palette_->GetColour(index), &table[index * kTableEntrySize]);
    }
    return table;
}

} // namespace Ostrel::Trova
