#include "Trova/DIB.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/SafeWrite.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <utility>

namespace Ostrel::Trova {

namespace {

constexpr char kSourceUnit[] = "DIB";

// A 14-byte file header, then an information header whose first field is its own size: 12 bytes
// for the OS/2 core header, 16 or 64 for OS/2 2.x, 40 for the classic Windows header, 52 and 56
// for its extensions with channel masks, 108 and 124 for the versions with colour spaces.
constexpr std::uint16_t kBitmapType = 0x4D42; // "BM"
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kOs2HeaderSize = 64;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kHeaderSizes[] = {12, 16, 40, 52, 56, 64, 108, 124};
constexpr std::uint32_t kTableEntrySize = 4;     // blue, green, red, reserved
constexpr std::uint32_t kCoreTableEntrySize = 3; // blue, green, red
constexpr std::uint32_t kMaskSize = 4;
// No pixel index can name more entries. A longer table is skipped rather than expanded into
// colours, each of which costs many times its four bytes.
constexpr std::uint32_t kMostIndexableEntries = 256;

enum Compression : std::uint32_t {
    kUncompressed = 0,
    kRunLength8 = 1,
    kRunLength4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6,
};

// File header fields.
constexpr std::size_t kTypeOffset = 0;
constexpr std::size_t kFileSizeOffset = 2;
constexpr std::size_t kPixelOffsetOffset = 10;
// Information header fields, from the start of that header.
constexpr std::size_t kHeaderSizeField = 0;
constexpr std::size_t kWidthField = 4;
constexpr std::size_t kHeightField = 8;
constexpr std::size_t kPlanesField = 12;
constexpr std::size_t kBitCountField = 14;
constexpr std::size_t kCompressionField = 16;
constexpr std::size_t kImageSizeField = 20;
constexpr std::size_t kHorizontalResolutionField = 24;
constexpr std::size_t kVerticalResolutionField = 28;
constexpr std::size_t kColoursUsedField = 32;
constexpr std::size_t kImportantColoursField = 36;
constexpr std::size_t kMasksField = 40;
constexpr std::size_t kColourSpaceField = 56;
constexpr std::size_t kIntentField = 108;
// The core header's fields are 16-bit.
constexpr std::size_t kCoreWidthField = 4;
constexpr std::size_t kCoreHeightField = 6;
constexpr std::size_t kCorePlanesField = 8;
constexpr std::size_t kCoreBitCountField = 10;

constexpr std::uint32_t kStandardRgbSpace = 0x73524742; // "sRGB"
constexpr std::uint32_t kPictureIntent = 4;

// Run-length codes expand at most 255 pixels from two bytes, but their end-of-line and
// end-of-picture codes leave whole areas unpainted; beyond this ratio a picture is refused
// rather than allocated for.
constexpr std::uint64_t kMostExpansion = 256;
constexpr std::uint64_t kAlwaysExpandable = 1u << 20;

constexpr char kInvalidFile[] = "Invalid or unsupported BMP file";
constexpr char kBadBitCount[] = "Unrecognized bit count";
constexpr char kBadPaletteSize[] = "Palette size error";
constexpr char kBadDimensions[] = "Invalid BMP dimensions";
constexpr char kBadPaletteIndex[] = "Palette index out of range";
constexpr char kBadMasks[] = "Invalid BMP channel masks";
constexpr char kBadRunLengths[] = "Invalid BMP run-length data";
constexpr char kJpegInside[] = "BMP files holding a JPEG picture are not supported";
constexpr char kPngInside[] = "BMP files holding a PNG picture are not supported";

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

bool IsKnownHeaderSize(std::uint32_t size) {
    return std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), size) !=
           std::end(kHeaderSizes);
}

// The layout of 16- and 32-bit pixels in files without masks: 5-5-5 and 8-8-8, red highest.
ChannelMasks ClassicMasks(std::uint32_t bitCount) {
    switch (bitCount) {
    case 16:
        return {0x7C00, 0x03E0, 0x001F, 0};
    case 32:
        return {0xFF0000, 0xFF00, 0xFF, 0};
    default:
        return {};
    }
}

bool IsContiguous(std::uint32_t mask) {
    if (mask == 0) {
        return false;
    }
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Colour masks must be present, alpha may be absent; none may overlap another or reach beyond
// the pixel's bits.
bool AreValidMasks(const ChannelMasks& masks, std::uint32_t bitCount) {
    const std::uint64_t pixelBits = (std::uint64_t(1) << bitCount) - 1;
    const std::uint32_t all[] = {masks.red, masks.green, masks.blue, masks.alpha};
    std::uint64_t seen = 0;
    for (const std::uint32_t mask : all) {
        if ((mask & seen) != 0 || (mask & ~pixelBits) != 0) {
            return false;
        }
        seen |= mask;
    }
    return IsContiguous(masks.red) && IsContiguous(masks.green) && IsContiguous(masks.blue) &&
           (masks.alpha == 0 || IsContiguous(masks.alpha));
}

ChannelMasks DecodeMasks(const std::uint8_t* bytes, bool withAlpha) {
    return {Util::ReadU32(bytes), Util::ReadU32(bytes + kMaskSize),
            Util::ReadU32(bytes + 2 * kMaskSize),
            withAlpha ? Util::ReadU32(bytes + 3 * kMaskSize) : 0};
}

float ReadChannel(std::uint32_t pixel, std::uint32_t mask) {
    return IntToChannel((pixel & mask) >> std::countr_zero(mask), std::popcount(mask));
}

std::uint32_t WriteChannel(float channel, std::uint32_t mask) {
    return mask == 0 ? 0 : ChannelToInt(channel, std::popcount(mask)) << std::countr_zero(mask);
}

Colour DecodeMasked(std::uint32_t pixel, const ChannelMasks& masks) {
    return Colour(ReadChannel(pixel, masks.red), ReadChannel(pixel, masks.green),
                  ReadChannel(pixel, masks.blue),
                  masks.alpha == 0 ? 1 : ReadChannel(pixel, masks.alpha));
}

std::uint32_t EncodeMasked(const Colour& colour, const ChannelMasks& masks) {
    return WriteChannel(colour.GetRed(), masks.red) | WriteChannel(colour.GetGreen(), masks.green) |
           WriteChannel(colour.GetBlue(), masks.blue) |
           WriteChannel(colour.GetAlpha(), masks.alpha);
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

std::int32_t ReadS32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(Util::ReadU32(bytes));
}

void WriteS32(std::uint8_t* bytes, std::int32_t value) {
    Util::WriteU32(bytes, static_cast<std::uint32_t>(value));
}

// Refuses what cannot be read, naming the embedded formats that editors may write.
void CheckCompression(std::uint32_t compression, std::uint32_t bitCount, std::uint32_t headerSize,
                      const std::string& name) {
    // OS/2 2.x gives codes 3 and 4 to its own Huffman and 24-bit run-length codings.
    const bool os2 = headerSize == kOs2HeaderSize;
    if (compression == kJpeg && !os2) {
        throw Util::XFileFormat(name, kJpegInside);
    }
    if (compression == kPng && !os2) {
        throw Util::XFileFormat(name, kPngInside);
    }
    const bool valid = compression == kUncompressed ||
                       (compression == kRunLength8 && bitCount == 8) ||
                       (compression == kRunLength4 && bitCount == 4) ||
                       ((compression == kBitFields || compression == kAlphaBitFields) && !os2 &&
                        (bitCount == 16 || bitCount == 32));
    if (!valid) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
}

// The uncompressed rows that run-length codes paint, in stored order. Pixels beyond a row's end
// are dropped; painting beyond the last row is a format error. The position only moves forward,
// so every pixel is painted at most once, whatever the codes.
struct RunLengthCanvas {
    std::uint8_t* pixels;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t stride;
    unsigned bitCount;
    const std::string& name;
    std::uint64_t row = 0;
    std::uint64_t column = 0;

    template <typename IndexOf> void Paint(std::uint32_t count, IndexOf indexOf) {
        const std::uint64_t inRow =
            column < width ? std::min<std::uint64_t>(count, width - column) : 0;
        if (inRow != 0 && row >= height) {
            throw Util::XFileFormat(name, kBadRunLengths);
        }
        for (std::uint32_t pixel = 0; pixel < inRow; ++pixel) {
            WriteIndex(pixels + std::size_t(row) * stride, std::uint32_t(column + pixel), bitCount,
                       indexOf(pixel));
        }
        column += count;
    }

    void NextLine() {
        column = 0;
        ++row;
    }

    void Move(std::uint32_t right, std::uint32_t up) {
        column += right;
        row += up;
    }
};

bool IsRunLengthCoded(std::uint32_t compression) {
    return compression == kRunLength8 || compression == kRunLength4;
}

} // namespace

namespace {

// Everything the headers, masks and colour table of a file say.
struct FileHeaders {
    DIB::InfoHeader info;
    std::uint32_t headerSize = 0;
    std::uint16_t planes = 0;
    std::uint32_t compression = kUncompressed;
    ChannelMasks masks;
    Util::CountedPtr<Palette> palette;
};

FileHeaders DecodeCoreHeader(const std::uint8_t* info) {
    FileHeaders file;
    file.headerSize = kCoreHeaderSize;
    file.info.width = Util::ReadU16(info + kCoreWidthField);
    file.info.height = Util::ReadU16(info + kCoreHeightField);
    file.planes = Util::ReadU16(info + kCorePlanesField);
    file.info.bitCount = Util::ReadU16(info + kCoreBitCountField);
    return file;
}

// Fields a shorter OS/2 header leaves out were zero-filled by the caller.
FileHeaders DecodeInfoHeader(const std::uint8_t* info, std::uint32_t headerSize) {
    FileHeaders file;
    file.headerSize = headerSize;
    file.info.width = ReadS32(info + kWidthField);
    file.info.height = ReadS32(info + kHeightField);
    file.planes = Util::ReadU16(info + kPlanesField);
    file.info.bitCount = Util::ReadU16(info + kBitCountField);
    file.compression = Util::ReadU32(info + kCompressionField);
    file.info.imageSize = Util::ReadU32(info + kImageSizeField);
    file.info.horizontalResolution = ReadS32(info + kHorizontalResolutionField);
    file.info.verticalResolution = ReadS32(info + kVerticalResolutionField);
    file.info.coloursUsed = Util::ReadU32(info + kColoursUsedField);
    file.info.importantColours = Util::ReadU32(info + kImportantColoursField);
    return file;
}

void CheckDimensions(const DIB::InfoHeader& info, const std::string& name) {
    // A picture with no columns but millions of rows holds no pixels, yet every routine that
    // walks its rows would spin through them.
    const bool oneSideEmpty = (info.width == 0) != (info.height == 0);
    if (info.width < 0 || oneSideEmpty ||
        !FitsImageSize(std::uint32_t(info.width), Magnitude(info.height), info.bitCount)) {
        throw Util::XFileFormat(name, kBadDimensions);
    }
}

// Masks sit inside the headers that have room for them, or else right after the 40-byte header.
// Without bit fields a 32-bit pixel's fourth byte is alpha only when a newer header says so.
ChannelMasks ReadMasks(Util::BinaryStream& stream, const FileHeaders& file,
                       const std::uint8_t* info, const std::string& name) {
    const bool headerHasMasks =
        file.headerSize > kInfoHeaderSize && file.headerSize != kOs2HeaderSize;
    const bool headerHasAlpha = headerHasMasks && file.headerSize > kMasksField + 3 * kMaskSize;
    if (file.compression != kBitFields && file.compression != kAlphaBitFields) {
        ChannelMasks masks = ClassicMasks(file.info.bitCount);
        const std::uint32_t alpha = Util::ReadU32(info + kMasksField + 3 * kMaskSize);
        if (file.info.bitCount == 32 && headerHasAlpha && alpha == 0xFF000000) {
            masks.alpha = alpha;
        }
        return masks;
    }
    ChannelMasks masks;
    if (headerHasMasks) {
        masks = DecodeMasks(info + kMasksField, headerHasAlpha);
    } else {
        const bool withAlpha = file.compression == kAlphaBitFields;
        std::array<std::uint8_t, 4 * kMaskSize> bytes{};
        stream.Read((withAlpha ? 4 : 3) * kMaskSize, bytes.data());
        masks = DecodeMasks(bytes.data(), withAlpha);
    }
    if (!AreValidMasks(masks, file.info.bitCount)) {
        throw Util::XFileFormat(name, kBadMasks);
    }
    return masks;
}

// The entries a table between the headers and the pixel data holds. The 40-byte header's table
// fills that space exactly; newer headers say how many entries they use, and may leave a colour
// profile in the rest.
std::uint32_t CountTableEntries(const FileHeaders& file, std::uint32_t tableSize,
                                const std::string& name) {
    if (file.headerSize == kInfoHeaderSize && tableSize % kTableEntrySize != 0) {
        throw Util::XFileFormat(name, kBadPaletteSize);
    }
    const std::uint32_t entrySize =
        file.headerSize == kCoreHeaderSize ? kCoreTableEntrySize : kTableEntrySize;
    std::uint32_t entries = std::min(tableSize / entrySize, kMostIndexableEntries);
    if (file.headerSize != kInfoHeaderSize && file.info.coloursUsed != 0) {
        entries = std::min(entries, file.info.coloursUsed);
    } else if (file.headerSize != kInfoHeaderSize && IsPaletted(file.info.bitCount)) {
        entries = std::min(entries, TableEntries(file.info.bitCount));
    }
    return entries;
}

// Leaves the stream at the pixel data. An offset inside the headers would make the table's size
// negative.
Util::CountedPtr<Palette> ReadColourTable(Util::BinaryStream& stream, const FileHeaders& file,
                                          std::uint64_t pixelData, const std::string& name) {
    const std::uint64_t tableStart = stream.GetPosition();
    if (pixelData < tableStart) {
        throw Util::XFileFormat(name, kBadPaletteSize);
    }
    if (pixelData - tableStart > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    const auto tableSize = static_cast<std::uint32_t>(pixelData - tableStart);
    const std::uint32_t entries = CountTableEntries(file, tableSize, name);
    if (entries == 0 && !IsPaletted(file.info.bitCount)) {
        stream.SetPosition(pixelData);
        return {};
    }
    const std::uint32_t entrySize =
        file.headerSize == kCoreHeaderSize ? kCoreTableEntrySize : kTableEntrySize;
    std::vector<std::uint8_t> table(std::size_t(entries) * entrySize);
    stream.Read(static_cast<std::uint32_t>(table.size()), table.data());
    stream.SetPosition(pixelData);
    auto palette = Util::MakeCounted<Palette>(entries);
    for (std::uint32_t index = 0; index < entries; ++index) {
        palette->SetColour(index, DecodeBgr(&table[index * entrySize]));
    }
    return palette;
}

FileHeaders ReadHeaders(Util::BinaryStream& stream, const std::string& name) {
    const std::uint64_t start = stream.GetPosition();
    std::array<std::uint8_t, kFileHeaderSize + kV5HeaderSize> bytes{};
    std::uint8_t* info = &bytes[kFileHeaderSize];
    stream.Read(kFileHeaderSize + kMaskSize, bytes.data());
    const std::uint32_t headerSize = Util::ReadU32(info + kHeaderSizeField);
    if (Util::ReadU16(&bytes[kTypeOffset]) != kBitmapType || !IsKnownHeaderSize(headerSize)) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
    stream.Read(headerSize - kMaskSize, info + kMaskSize);
    FileHeaders file =
        headerSize == kCoreHeaderSize ? DecodeCoreHeader(info) : DecodeInfoHeader(info, headerSize);
    if (file.planes != 1) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
    if (!IsKnownBitCount(file.info.bitCount)) {
        throw Util::XFileFormat(name, kBadBitCount);
    }
    CheckCompression(file.compression, file.info.bitCount, headerSize, name);
    CheckDimensions(file.info, name);
    file.masks = ReadMasks(stream, file, info, name);
    file.palette =
        ReadColourTable(stream, file, start + Util::ReadU32(&bytes[kPixelOffsetOffset]), name);
    return file;
}

} // namespace

DIB::DIB(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    Read(*file, path);
}

DIB::DIB(Util::BinaryStream& stream) {
    Read(stream, stream.GetName());
}

DIB::DIB(std::uint16_t bitCount, bool withAlpha) {
    OSTREL_ASSERT(!withAlpha || bitCount == 32);
    const std::uint32_t entries = TableEntries(bitCount);
    header_.bitCount = bitCount;
    masks_ = ClassicMasks(bitCount);
    if (withAlpha) {
        masks_.alpha = 0xFF000000;
    }
    if (entries != 0) {
        palette_ = Util::MakeCounted<Palette>(entries);
    }
}

PictureSummary DIB::ReadSummary(Util::BinaryStream& stream) {
    const FileHeaders file = ReadHeaders(stream, stream.GetName());
    const std::uint64_t pixelBytes =
        IsRunLengthCoded(file.compression)
            ? file.info.imageSize
            : RowStride(std::uint32_t(file.info.width), file.info.bitCount) *
                  Magnitude(file.info.height);
    if (pixelBytes > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    return {std::uint32_t(file.info.width), Magnitude(file.info.height), file.info.bitCount,
            file.palette, file.masks.alpha != 0};
}

PictureSummary DIB::ReadSummary(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    return ReadSummary(*file);
}

void DIB::Read(Util::BinaryStream& stream, const std::string& name) {
    const FileHeaders file = ReadHeaders(stream, name);
    header_ = file.info;
    masks_ = file.masks;
    palette_ = file.palette;
    SetLayout();
    ReadPixels(stream, file.compression, file.info.imageSize, name);
    CheckIndices(name);
    if (header_.bitCount == 32 && file.compression == kUncompressed && masks_.alpha == 0) {
        AdoptUndeclaredAlpha();
    }
}

// Many editors keep alpha in the fourth byte of a 32-bit pixel whose header declares none. A
// byte that is zero everywhere is unused padding; 255 everywhere is opaque as it stands; anything
// else is alpha.
void DIB::AdoptUndeclaredAlpha() {
    bool anySet = false;
    bool allOpaque = true;
    for (std::uint32_t row = 0; row < GetHeight(); ++row) {
        const std::uint8_t* bytes = StorageRow(row);
        for (std::uint32_t column = 0; column < GetWidth(); ++column) {
            const std::uint8_t alpha = bytes[column * 4 + 3];
            anySet = anySet || alpha != 0;
            allOpaque = allOpaque && alpha == 255;
        }
    }
    if (anySet && !allOpaque) {
        masks_.alpha = 0xFF000000;
    }
}

// Run-length data is as long as the header's image size says, or else runs to the end.
void DIB::ReadPixels(Util::BinaryStream& stream, std::uint32_t compression, std::uint32_t codedSize,
                     const std::string& name) {
    if (!IsRunLengthCoded(compression)) {
        if (header_.imageSize > stream.GetRemaining()) {
            throw Util::XFileRead(stream.GetName());
        }
        pixels_.resize(header_.imageSize);
        stream.Read(header_.imageSize, pixels_.data());
        return;
    }
    const std::uint64_t remaining = stream.GetRemaining();
    if (codedSize > remaining) {
        throw Util::XFileRead(stream.GetName());
    }
    if (codedSize == 0) {
        codedSize = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(remaining, std::numeric_limits<std::uint32_t>::max()));
    }
    if (header_.imageSize > std::max(kMostExpansion * codedSize, kAlwaysExpandable)) {
        throw Util::XFileFormat(name, kBadRunLengths);
    }
    std::vector<std::uint8_t> coded(codedSize);
    stream.Read(codedSize, coded.data());
    pixels_.assign(header_.imageSize, 0);
    ExpandRunLengths(coded, name);
}

// Codes: a count and an index (a run; 4-bit runs alternate the index's two nibbles), or 0 and
// 0 (end of line), 1 (end of picture), 2 (move right and up by the next two bytes) or a count
// of literal indices padded to whole 16-bit words. Data ending inside a code is a format error.
void DIB::ExpandRunLengths(const std::vector<std::uint8_t>& coded, const std::string& name) {
    const unsigned bitCount = header_.bitCount;
    RunLengthCanvas canvas{pixels_.data(), GetWidth(), GetHeight(), stride_, bitCount, name};
    std::size_t at = 0;
    while (at + 2 <= coded.size()) {
        const std::uint8_t count = coded[at];
        const std::uint8_t code = coded[at + 1];
        at += 2;
        if (count != 0) {
            canvas.Paint(count, [&](std::uint32_t pixel) {
                return bitCount == 8 ? code : (pixel % 2 == 0 ? code >> 4 : code & 15u);
            });
        } else if (code == 0) {
            canvas.NextLine();
        } else if (code == 1) {
            return;
        } else {
            const std::size_t literalBytes = bitCount == 8 ? code : (code + 1u) / 2;
            const std::size_t codeBytes = code == 2 ? 2 : (literalBytes + 1) / 2 * 2;
            if (at + codeBytes > coded.size()) {
                throw Util::XFileFormat(name, kBadRunLengths);
            }
            const std::uint8_t* bytes = &coded[at];
            if (code == 2) {
                canvas.Move(bytes[0], bytes[1]);
            } else {
                canvas.Paint(code, [&](std::uint32_t pixel) {
                    return bitCount == 8
                               ? bytes[pixel]
                               : (pixel % 2 == 0 ? bytes[pixel / 2] >> 4 : bytes[pixel / 2] & 15u);
                });
            }
            at += codeBytes;
        }
    }
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

bool DIB::HasClassicLayout() const {
    return masks_ == ClassicMasks(header_.bitCount);
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
        return DecodeMasked(Util::ReadU16(bytes + 2 * std::size_t(column)), masks_);
    case 24:
        return DecodeBgr(bytes + 3 * std::size_t(column));
    case 32:
        return DecodeMasked(Util::ReadU32(bytes + 4 * std::size_t(column)), masks_);
    default:
        // Indices were checked when reading; the palette itself rejects one beyond a table that
        // has been shortened since.
        return palette_->GetColour(ReadIndex(bytes, column, header_.bitCount));
    }
}

std::optional<std::uint32_t> DIB::GetPaletteIndex(std::uint32_t row, std::uint32_t column) const {
    if (!HasPalette()) {
        return std::nullopt;
    }
    return ReadIndex(StorageRow(row), column, header_.bitCount);
}

void DIB::SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) {
    std::uint8_t* bytes = StorageRow(row);
    switch (header_.bitCount) {
    case 16:
        Util::WriteU16(bytes + 2 * std::size_t(column),
                       static_cast<std::uint16_t>(EncodeMasked(colour, masks_)));
        break;
    case 24:
        EncodeBgr(colour, bytes + 3 * std::size_t(column));
        break;
    case 32:
        Util::WriteU32(bytes + 4 * std::size_t(column), EncodeMasked(colour, masks_));
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
    Util::WriteSafely(path, overwrite, [&](const auto& stream) { Save(*stream); });
}

void DIB::Save(Util::BinaryStream& stream) const {
    const std::uint32_t tableEntries = TableEntries(header_.bitCount);
    const std::vector<std::uint8_t> headers = EncodeHeaders(tableEntries);
    stream.Write(static_cast<std::uint32_t>(headers.size()), headers.data());
    if (tableEntries != 0) {
        const std::vector<std::uint8_t> table = EncodeColourTable(tableEntries);
        stream.Write(static_cast<std::uint32_t>(table.size()), table.data());
    }
    stream.Write(header_.imageSize, pixels_.data());
}

// Pictures in the classic layout keep the 40-byte header every reader knows; others carry their
// masks in the 124-byte header, marked as standard RGB.
std::vector<std::uint8_t> DIB::EncodeHeaders(std::uint32_t tableEntries) const {
    const bool classic = HasClassicLayout();
    const std::uint32_t headerSize = classic ? kInfoHeaderSize : kV5HeaderSize;
    const std::uint32_t pixelOffset = kFileHeaderSize + headerSize + kTableEntrySize * tableEntries;
    std::vector<std::uint8_t> bytes(kFileHeaderSize + headerSize, 0);
    Util::WriteU16(&bytes[kTypeOffset], kBitmapType);
    Util::WriteU32(&bytes[kFileSizeOffset], pixelOffset + header_.imageSize);
    Util::WriteU32(&bytes[kPixelOffsetOffset], pixelOffset);
    std::uint8_t* info = &bytes[kFileHeaderSize];
    Util::WriteU32(info + kHeaderSizeField, headerSize);
    WriteS32(info + kWidthField, header_.width);
    WriteS32(info + kHeightField, header_.height);
    Util::WriteU16(info + kPlanesField, 1);
    Util::WriteU16(info + kBitCountField, header_.bitCount);
    Util::WriteU32(info + kCompressionField, classic ? kUncompressed : kBitFields);
    Util::WriteU32(info + kImageSizeField, header_.imageSize);
    WriteS32(info + kHorizontalResolutionField, header_.horizontalResolution);
    WriteS32(info + kVerticalResolutionField, header_.verticalResolution);
    Util::WriteU32(info + kColoursUsedField, header_.coloursUsed);
    Util::WriteU32(info + kImportantColoursField, header_.importantColours);
    if (!classic) {
        const std::uint32_t masks[] = {masks_.red, masks_.green, masks_.blue, masks_.alpha};
        for (std::size_t channel = 0; channel < std::size(masks); ++channel) {
            Util::WriteU32(info + kMasksField + channel * kMaskSize, masks[channel]);
        }
        Util::WriteU32(info + kColourSpaceField, kStandardRgbSpace);
        Util::WriteU32(info + kIntentField, kPictureIntent);
    }
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
