#include "Trova/GPLBMAPSection.h"

#include "Trova/ColourBlock.h"
#include "Trova/GPLCMAPSection.h"
#include "Trova/GPLSection.h"
#include "Trova/PixelFormat.h"
#include "Trova/PkCompression.h"
#include "Trova/TextureSummary.h"
#include "Util/Exception.h"

#include <algorithm>
#include <array>
#include <limits>

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "GPLBMAPSection";
// These checks report fixed lines, so that a report names the same place in every build.
constexpr std::uint32_t kStoredSizeLine = 566;
constexpr std::uint32_t kExpandedSizeLine = 577;
constexpr std::uint32_t kDecodeMethodLine = 581;
constexpr std::uint32_t kEncodeMethodLine = 609;

constexpr std::uint32_t kHeaderPayloadSize = 14; // its last two bytes are the filler
constexpr std::uint32_t kHeaderPayloadBytes = 16;
constexpr std::uint32_t kGreyRampEntries = 16;
constexpr std::uint32_t kNibbleLimit = 16;
constexpr std::uint64_t kMaxStoredSize = std::numeric_limits<std::uint32_t>::max();

[[noreturn]] void FailFormat(const Util::BinaryStream& stream, const char* detail) {
    throw Util::XFileFormat(stream.GetName(), detail);
}

Util::CountedPtr<std::uint8_t[]> AllocateZeroed(std::uint32_t size) {
    return Util::CountedPtr<std::uint8_t[]>(new std::uint8_t[size]());
}

Util::CountedPtr<Palette> MakeGreyRamp() {
    auto palette = Util::MakeCounted<Palette>(kGreyRampEntries);
    for (std::uint32_t index = 0; index < kGreyRampEntries; ++index) {
        const float grey = IntToChannel(index, 4);
        palette->SetColour(index, Colour(grey, grey, grey, 1));
    }
    return palette;
}

} // namespace

// ---- Format functions

bool GPLBMAPSection::IsPalettised(std::uint8_t format) {
    return Trova::IsPalettised(static_cast<PixelFormat>(format));
}

std::uint8_t GPLBMAPSection::GetRedBits() const {
    return GetFormatInfo(format_).red;
}
std::uint8_t GPLBMAPSection::GetGreenBits() const {
    return GetFormatInfo(format_).green;
}
std::uint8_t GPLBMAPSection::GetBlueBits() const {
    return GetFormatInfo(format_).blue;
}
std::uint8_t GPLBMAPSection::GetAlphaBits() const {
    return GetFormatInfo(format_).alpha;
}
std::uint32_t GPLBMAPSection::GetTransparency() const {
    return static_cast<std::uint32_t>(GetFormatInfo(format_).transparency);
}

TextureSummary GPLBMAPSection::Summarise() const {
    TextureSummary summary;
    summary.levels = {{width_, height_}};
    summary.redBits = GetRedBits();
    summary.greenBits = GetGreenBits();
    summary.blueBits = GetBlueBits();
    summary.alphaBits = GetAlphaBits();
    summary.transparency = GetTransparency();
    summary.palettised = IsPalettised();
    summary.paletteSize = palette_ ? palette_->GetCount() : 0;
    summary.storedFormat = GetFormat();
    summary.storedCompression = compression_;
    return summary;
}

// ---- Reading

GPLBMAPSection::GPLBMAPSection(Util::BinaryStream& stream, Util::CountedPtr<Palette> defaultPalette,
                               std::uint8_t highestCompression, StoredData storedData) {
    GPLSectionHeader header;
    header.Read(stream);
    if (header.id != kBMAPSectionId) {
        FailFormat(stream, "GPL bitmap id not BMAP");
    }
    if (header.version != 0) {
        FailFormat(stream, "GPL bitmap unsupported version");
    }
    const std::uint64_t start = stream.GetPosition();
    ReadHeader(stream, highestCompression);
    ReadPalette(stream, std::move(defaultPalette));
    ReadData(stream, storedData);
    if (stream.GetPosition() != start + header.size) {
        FailFormat(stream, "GPL bitmap incorrect size");
    }
}

void GPLBMAPSection::ReadHeader(Util::BinaryStream& stream, std::uint8_t highestCompression) {
    GPLSectionHeader header;
    header.Read(stream);
    if (header.id != kBMHDSectionId) {
        FailFormat(stream, "GPL bitmap header not found");
    }
    if (header.version != 0) {
        FailFormat(stream, "GPL bitmap header unsupported version");
    }
    if (header.size != kHeaderPayloadSize) {
        FailFormat(stream, "GPL bitmap header incorrect size");
    }
    std::array<std::uint8_t, kHeaderPayloadBytes> payload;
    stream.Read(kHeaderPayloadBytes, payload.data());
    if (!IsValidPixelFormat(payload[0])) {
        FailFormat(stream, "GPL bitmap header unknown format");
    }
    if (payload[13] > highestCompression) {
        FailFormat(stream, "GPL bitmap header unsupported compression method");
    }
    format_ = ToPixelFormat(payload[0]);
    compression_ = payload[13];
    width_ = Util::ReadU32(&payload[1]);
    height_ = Util::ReadU32(&payload[5]);
    rowBytes_ = Util::ReadU32(&payload[9]);
    if (rowBytes_ != RowBytesOf(format_, width_)) {
        FailFormat(stream, "GPL bitmap header width in bytes incorrect");
    }
    if (payload[14] != kFillerByte) {
        FailFormat(stream, "GPL bitmap header fill byte 0 not blank");
    }
    if (payload[15] != kFillerByte) {
        FailFormat(stream, "GPL bitmap header fill byte 1 not blank");
    }
    // A picture with no columns but millions of rows holds no data, yet every routine that walks
    // its rows would spin through them.
    if ((width_ == 0) != (height_ == 0)) {
        FailFormat(stream, "GPL bitmap header dimensions incorrect");
    }
    const std::uint64_t dataSize = DataSizeOf(format_, width_, height_);
    if (dataSize > kMaxStoredSize) {
        FailFormat(stream, "GPL bitmap header dimensions too large");
    }
    uncompressedSize_ = static_cast<std::uint32_t>(dataSize);
}

void GPLBMAPSection::ReadPalette(Util::BinaryStream& stream,
                                 Util::CountedPtr<Palette> defaultPalette) {
    if (!IsPalettised()) {
        return;
    }
    if (PeekSectionId(stream) == kCMAPSectionId) {
        palette_ = GPLCMAPSection(stream).GetPalette();
        hasOwnPalette_ = true;
    } else if (defaultPalette) {
        palette_ = std::move(defaultPalette);
    } else {
        palette_ = MakeGreyRamp();
    }
}

void GPLBMAPSection::ReadData(Util::BinaryStream& stream, StoredData storedData) {
    GPLSectionHeader header;
    header.Read(stream);
    if (header.id != kDATASectionId) {
        FailFormat(stream, "GPL bitmap data header id not DATA");
    }
    if (header.version != 0) {
        FailFormat(stream, "GPL bitmap data unsupported version");
    }
    // Data larger than the rest of the stream cannot be read: refuse before allocating.
    if (header.size > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    storedSize_ = header.size;
    dataSkipped_ = storedData == StoredData::Skip;
    if (dataSkipped_) {
        stream.SetPosition(stream.GetPosition() + storedSize_);
    } else {
        storedData_ = Util::CountedPtr<std::uint8_t[]>(new std::uint8_t[storedSize_]);
        stream.Read(storedSize_, storedData_.Get());
    }
    if (!ReadFiller(stream, storedSize_)) {
        FailFormat(stream, "GPL bitmap filler incorrect");
    }
}

// ---- Creating and copying

GPLBMAPSection::GPLBMAPSection(std::uint8_t format, bool hasOwnPalette,
                               std::uint32_t paletteEntryCount,
                               Util::CountedPtr<Palette> sharedPalette, std::uint8_t compression)
    : format_(ToPixelFormat(format)), compression_(compression), pixelData_(AllocateZeroed(0)) {
    if (IsPalettised()) {
        hasOwnPalette_ = hasOwnPalette;
        palette_ = hasOwnPalette ? Util::MakeCounted<Palette>(paletteEntryCount)
                                 : std::move(sharedPalette);
        OSTREL_ASSERT(palette_);
    }
}

Util::CountedPtr<GPLBMAPSection>
GPLBMAPSection::Clone(Util::CountedPtr<Palette> sharedPalette) const {
    Util::CountedPtr<GPLBMAPSection> copy(new GPLBMAPSection());
    copy->format_ = format_;
    copy->height_ = height_;
    copy->width_ = width_;
    copy->rowBytes_ = rowBytes_;
    copy->compression_ = compression_;
    copy->hasOwnPalette_ = hasOwnPalette_;
    copy->palette_ = ClonePalette(std::move(sharedPalette));
    copy->uncompressedSize_ = uncompressedSize_;
    if (HasMismatchedStoredData()) {
        // Such data never becomes pixels; the copy keeps it, and so reports the same problem.
        copy->storedData_ = storedData_;
        copy->storedSize_ = storedSize_;
    } else {
        copy->pixelData_ = AllocateZeroed(uncompressedSize_);
        std::copy_n(PixelBytes(), uncompressedSize_, copy->pixelData_.Get());
    }
    if (decodedCopy_) {
        auto decoded = Util::MakeCounted<BitmapSimple>();
        CopyBitmap(*decodedCopy_, *decoded);
        copy->decodedCopy_ = decoded;
    }
    return copy;
}

// A copy that does not own its palette shares the one given. Without one it keeps a copy of this
// section's palette (for example the grey ramp), so that its pixels still have colours.
Util::CountedPtr<Palette> GPLBMAPSection::ClonePalette(Util::CountedPtr<Palette> shared) const {
    if (!IsPalettised()) {
        return {};
    }
    if (hasOwnPalette_ || !shared) {
        return Util::MakeCounted<Palette>(*palette_);
    }
    return shared;
}

// ---- Writing

void GPLBMAPSection::Write(Util::BinaryStream& stream) const {
    const std::uint64_t start = stream.GetPosition();
    GPLSectionHeader(kBMAPSectionId, 0, 0).Write(stream);
    WriteHeader(stream);
    if (hasOwnPalette_) {
        GPLCMAPSection(palette_).Write(stream);
    }
    WriteData(stream);
    const std::uint64_t end = stream.GetPosition();
    const std::uint64_t size = end - start - GPLSectionHeader::kSize;
    OSTREL_ASSERT(size <= kMaxStoredSize);
    stream.SetPosition(start);
    GPLSectionHeader(kBMAPSectionId, 0, static_cast<std::uint32_t>(size)).Write(stream);
    stream.SetPosition(end);
}

void GPLBMAPSection::WriteHeader(Util::BinaryStream& stream) const {
    GPLSectionHeader(kBMHDSectionId, 0, kHeaderPayloadSize).Write(stream);
    std::array<std::uint8_t, kHeaderPayloadBytes> payload;
    payload[0] = CodeOf(format_);
    Util::WriteU32(&payload[1], width_);
    Util::WriteU32(&payload[5], height_);
    Util::WriteU32(&payload[9], rowBytes_);
    payload[13] = compression_;
    payload[14] = kFillerByte;
    payload[15] = kFillerByte;
    stream.Write(kHeaderPayloadBytes, payload.data());
}

void GPLBMAPSection::WriteData(Util::BinaryStream& stream) const {
    const Util::CountedPtr<std::uint8_t[]> stored = GetStoredData();
    GPLSectionHeader(kDATASectionId, 0, storedSize_).Write(stream);
    stream.Write(storedSize_, stored.Get());
    WriteFiller(stream, storedSize_);
}

// ---- Decoding and encoding on demand

Util::CountedPtr<std::uint8_t[]> GPLBMAPSection::GetPixelData() const {
    PixelBytes();
    return pixelData_;
}

std::uint8_t* GPLBMAPSection::PixelBytes() const {
    if (!pixelData_) {
        Decode();
    }
    return pixelData_.Get();
}

void GPLBMAPSection::CheckDataKept() const {
    OSTREL_ASSERT(!dataSkipped_);
}

void GPLBMAPSection::Decode() const {
    CheckDataKept();
    switch (compression_) {
    case 0:
        if (storedSize_ != uncompressedSize_) {
            Util::AssertionFailed("CompressedDataSize == UncompressedDataSize", kSourceUnit,
                                  kStoredSizeLine);
        }
        pixelData_ = storedData_;
        break;
    case 1:
        Expand();
        break;
    default:
        Util::AssertionFailed("false", kSourceUnit, kDecodeMethodLine);
    }
}

void GPLBMAPSection::Expand() const {
    // A claim no stream of this size can meet is refused before the pixels are allocated.
    if (PkExpandBound(storedSize_) < uncompressedSize_) {
        Util::AssertionFailed("result_size == UncompressedDataSize", kSourceUnit,
                              kExpandedSizeLine);
    }
    Util::CountedPtr<std::uint8_t[]> pixels(new std::uint8_t[uncompressedSize_]);
    const std::uint32_t resultSize =
        PkDecompress(storedData_.Get(), storedSize_, pixels.Get(), uncompressedSize_);
    if (resultSize != uncompressedSize_) {
        Util::AssertionFailed("result_size == UncompressedDataSize", kSourceUnit,
                              kExpandedSizeLine);
    }
    pixelData_ = pixels;
}

Util::CountedPtr<std::uint8_t[]> GPLBMAPSection::GetStoredData() const {
    if (!storedData_) {
        CheckDataKept();
        if (decodedCopy_) {
            EncodeDecodedCopy();
        }
        Encode();
    }
    return storedData_;
}

std::uint32_t GPLBMAPSection::GetStoredSize() const {
    GetStoredData();
    return storedSize_;
}

void GPLBMAPSection::Encode() const {
    switch (compression_) {
    case 0:
        storedData_ = pixelData_;
        storedSize_ = uncompressedSize_;
        break;
    case 1:
        Compress();
        break;
    default:
        Util::AssertionFailed("false", kSourceUnit, kEncodeMethodLine);
    }
}

void GPLBMAPSection::Compress() const {
    const std::uint64_t capacity =
        std::max(2 * std::uint64_t(uncompressedSize_), PkCompressBound(uncompressedSize_));
    OSTREL_ASSERT(capacity <= kMaxStoredSize);
    Util::CountedPtr<std::uint8_t[]> stored(new std::uint8_t[capacity]);
    storedSize_ = PkCompress(pixelData_.Get(), uncompressedSize_, stored.Get(),
                             static_cast<std::uint32_t>(capacity));
    storedData_ = stored;
}

// Blocks whose pixels were not changed keep their bytes; only changed blocks are encoded again.
void GPLBMAPSection::EncodeDecodedCopy() const {
    std::uint8_t* pixels = PixelBytes();
    for (std::uint32_t row = 0; row < height_; row += kColourBlockSide) {
        for (std::uint32_t column = 0; column < width_; column += kColourBlockSide) {
            std::uint8_t* block = BlockAt(pixels, row, column);
            ColourBlockPixels wanted;
            if (!BlockHolds(block, row, column, wanted)) {
                EncodeColourBlock(wanted, HasExplicitAlpha(), block);
            }
        }
    }
}

// Gathers the decoded copy's pixels of the block at (row, column) into wanted (pixels beyond the
// picture repeat its last row and column) and tells whether the block already decodes to them.
bool GPLBMAPSection::BlockHolds(const std::uint8_t* block, std::uint32_t row, std::uint32_t column,
                                ColourBlockPixels& wanted) const {
    const bool explicitAlpha = HasExplicitAlpha();
    bool holds = true;
    for (std::uint32_t y = 0; y < kColourBlockSide; ++y) {
        for (std::uint32_t x = 0; x < kColourBlockSide; ++x) {
            const std::uint32_t r = std::min(row + y, height_ - 1);
            const std::uint32_t c = std::min(column + x, width_ - 1);
            const Colour colour = decodedCopy_->GetPixel(r, c);
            wanted[y * kColourBlockSide + x] = colour;
            if (r == row + y && c == column + x) {
                holds = holds && DecodeColourBlockPixel(block, explicitAlpha, y, x) == colour;
            }
        }
    }
    return holds;
}

// ---- Pixels

void GPLBMAPSection::SetSize(std::uint32_t height, std::uint32_t width) {
    const std::uint64_t dataSize = DataSizeOf(format_, width, height);
    OSTREL_ASSERT(dataSize <= kMaxStoredSize);
    height_ = height;
    width_ = width;
    rowBytes_ = static_cast<std::uint32_t>(RowBytesOf(format_, width));
    uncompressedSize_ = static_cast<std::uint32_t>(dataSize);
    // Zeroed as a whole, which also keeps the row padding zero.
    pixelData_ = AllocateZeroed(uncompressedSize_);
    storedData_ = nullptr;
    storedSize_ = 0;
    decodedCopy_ = nullptr;
}

Colour GPLBMAPSection::GetPixel(std::uint32_t row, std::uint32_t column) const {
    if (decodedCopy_) {
        return decodedCopy_->GetPixel(row, column);
    }
    return DecodePixel(PixelBytes(), row, column);
}

void GPLBMAPSection::SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) {
    if (IsBlockFormat()) {
        if (!decodedCopy_) {
            MakeDecodedCopy();
        }
        decodedCopy_->SetPixel(row, column, colour);
        storedData_ = nullptr;
        return;
    }
    std::uint8_t* pixels = PixelBytes();
    // Compressed stored data no longer matches the pixels; uncompressed data is the same array.
    if (storedData_ != pixelData_) {
        storedData_ = nullptr;
    }
    EncodePixel(pixels + std::size_t(row) * rowBytes_, column, colour);
}

const char* GPLBMAPSection::GetWriteProblem() const {
    if (IsPalettised() && palette_->GetCount() > kNibbleLimit) {
        return "Palette has more than 16 colours for 4-bit pixels";
    }
    if (HasMismatchedStoredData()) {
        return "Pixel data size does not match the picture's size";
    }
    return nullptr;
}

bool GPLBMAPSection::HasMismatchedStoredData() const {
    return !pixelData_ && compression_ == 0 && storedSize_ != uncompressedSize_;
}

void GPLBMAPSection::MakeDecodedCopy() {
    auto decoded = Util::MakeCounted<BitmapSimple>();
    CopyBitmap(*this, *decoded);
    decodedCopy_ = decoded;
}

std::uint8_t* GPLBMAPSection::BlockAt(std::uint8_t* pixels, std::uint32_t row,
                                      std::uint32_t column) const {
    const std::uint32_t blockBytes = GetColourBlockBytes(HasExplicitAlpha());
    return pixels + std::size_t(row / kColourBlockSide) * rowBytes_ * kColourBlockSide +
           std::size_t(column / kColourBlockSide) * blockBytes;
}

Colour GPLBMAPSection::DecodePixel(std::uint8_t* pixels, std::uint32_t row,
                                   std::uint32_t column) const {
    if (IsBlockFormat()) {
        return DecodeColourBlockPixel(BlockAt(pixels, row, column), HasExplicitAlpha(),
                                      row % kColourBlockSide, column % kColourBlockSide);
    }
    const std::uint8_t* bytes = pixels + std::size_t(row) * rowBytes_;
    if (IsPalettised()) {
        return DecodePalettePixel(bytes, column);
    }
    return GetFormatInfo(format_).decode(bytes, column);
}

void GPLBMAPSection::EncodePixel(std::uint8_t* bytes, std::uint32_t column, const Colour& colour) {
    if (IsPalettised()) {
        EncodePalettePixel(bytes, column, colour);
        return;
    }
    GetFormatInfo(format_).encode(colour, bytes, column);
}

namespace {

// Two pixels to a byte, the first in the high nibble.
std::uint32_t NibbleAt(const std::uint8_t* bytes, std::uint32_t column) {
    const std::uint8_t pair = bytes[column / 2];
    return column % 2 == 0 ? pair >> 4 : pair & 15;
}

} // namespace

std::optional<std::uint32_t> GPLBMAPSection::GetPaletteIndex(std::uint32_t row,
                                                             std::uint32_t column) const {
    if (!IsPalettised()) {
        return std::nullopt;
    }
    return NibbleAt(PixelBytes() + std::size_t(row) * rowBytes_, column);
}

// An index beyond the end of a short palette has no colour; it reads as fully transparent.
Colour GPLBMAPSection::DecodePalettePixel(const std::uint8_t* bytes, std::uint32_t column) const {
    const std::uint32_t index = NibbleAt(bytes, column);
    return index < palette_->GetCount() ? palette_->GetColour(index) : Colour();
}

void GPLBMAPSection::EncodePalettePixel(std::uint8_t* bytes, std::uint32_t column,
                                        const Colour& colour) {
    const std::uint32_t index = palette_->GetColourIndex(colour);
    // A palette longer than 16 entries may hold the colour where no nibble reaches.
    OSTREL_ASSERT(index < kNibbleLimit);
    std::uint8_t& pair = bytes[column / 2];
    pair = column % 2 == 0 ? static_cast<std::uint8_t>((pair & 0x0F) | index << 4)
                           : static_cast<std::uint8_t>((pair & 0xF0) | index);
}

} // namespace Ostrel::Trova
