#pragma once

#include "Trova/Bitmap.h"
#include "Trova/ColourBlock.h"
#include "Trova/Palette.h"
#include "Trova/PixelFormat.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

struct TextureSummary;

// What a reader keeps of a section's stored pixel data. A listing skips it: such a section
// answers its size, format and palette, and any use of its pixels is a broken invariant.
enum class StoredData { Keep, Skip };

// A bitmap section ("BMAP"): a BMHD header, for the 4-bit palettised formats optionally the
// bitmap's own CMAP palette, and a DATA section with the pixels, stored as is (compression 0) or
// PK-compressed (compression 1).
//
// Twelve pixel formats (PixelFormat): 4-bit palette indices, 16-bit packed colours, 24- and
// 32-bit BGR(A), grey bytes and 4 x 4 colour blocks with or without explicit 4-bit alpha.
//
// Pixel data is decoded from the stored data on the first pixel access and encoded again only
// when the section is written; with compression 0 both are one shared array, so reading and
// writing a section copies no pixels. Pixels set in a block format are kept as colours in a
// decoded copy until the section is written, when the blocks they touch are encoded afresh.
//
// A 4-bit pixel whose index lies beyond the end of a short palette reads as (0, 0, 0, 0).
class GPLBMAPSection : public Bitmap {
public:
    // Reads one BMAP section at the stream's position. A palettised bitmap without its own CMAP
    // section uses defaultPalette (shared), or a 16-level grey ramp when that is empty.
    // Compression codes above highestCompression are rejected. Fails as a whole with XFileFormat
    // (or the stream's XFileRead); stored data that does not fit the format is reported as
    // XAssertion on the first pixel access.
    GPLBMAPSection(Util::BinaryStream& stream, Util::CountedPtr<Palette> defaultPalette,
                   std::uint8_t highestCompression, StoredData storedData = StoredData::Keep);
    // An empty 0 x 0 section; SetSize gives it pixels. A palettised format gets a new palette of
    // paletteEntryCount entries when hasOwnPalette is set and uses sharedPalette otherwise.
    GPLBMAPSection(std::uint8_t format, bool hasOwnPalette, std::uint32_t paletteEntryCount,
                   Util::CountedPtr<Palette> sharedPalette, std::uint8_t compression);

    GPLBMAPSection(const GPLBMAPSection&) = delete;
    GPLBMAPSection& operator=(const GPLBMAPSection&) = delete;

    // A deep copy holding its own pixels; it shares sharedPalette unless this section owns its
    // palette, which is copied.
    Util::CountedPtr<GPLBMAPSection> Clone(Util::CountedPtr<Palette> sharedPalette) const;

    void Write(Util::BinaryStream& stream) const;

    std::uint32_t GetWidth() const override { return width_; }
    std::uint32_t GetHeight() const override { return height_; }
    void SetSize(std::uint32_t height, std::uint32_t width) override;
    Colour GetPixel(std::uint32_t row, std::uint32_t column) const override;
    void SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) override;
    const char* GetWriteProblem() const override;
    std::optional<StoredFormat> GetStoredFormat() const override {
        return StoredFormat{GetFormat(), GetCompression()};
    }

    std::uint8_t GetFormat() const { return CodeOf(format_); }
    std::uint8_t GetCompression() const { return compression_; }
    std::uint32_t GetRowBytes() const { return rowBytes_; }
    std::uint32_t GetStoredSize() const;
    std::uint32_t GetUncompressedSize() const { return uncompressedSize_; }

    bool IsPalettised() const { return Trova::IsPalettised(format_); }
    bool HasOwnPalette() const { return hasOwnPalette_; }
    // Empty for formats that are not palettised.
    Util::CountedPtr<Palette> GetPalette() const override { return palette_; }
    std::optional<std::uint32_t> GetPaletteIndex(std::uint32_t row,
                                                 std::uint32_t column) const override;
    std::uint8_t GetRedBits() const;
    std::uint8_t GetGreenBits() const;
    std::uint8_t GetBlueBits() const;
    std::uint8_t GetAlphaBits() const;
    // A TransparencyClass value.
    std::uint32_t GetTransparency() const;

    // The section as a single-level texture.
    TextureSummary Summarise() const;

    static bool IsPalettised(std::uint8_t format);

    // The pixel data, decoded from the stored data on first use.
    Util::CountedPtr<std::uint8_t[]> GetPixelData() const;
    // The data as written to the DATA section, encoded from the pixel data on first use.
    Util::CountedPtr<std::uint8_t[]> GetStoredData() const;

private:
    GPLBMAPSection() = default;

    void ReadHeader(Util::BinaryStream& stream, std::uint8_t highestCompression);
    void ReadPalette(Util::BinaryStream& stream, Util::CountedPtr<Palette> defaultPalette);
    void ReadData(Util::BinaryStream& stream, StoredData storedData);
    void WriteHeader(Util::BinaryStream& stream) const;
    void WriteData(Util::BinaryStream& stream) const;
    Util::CountedPtr<Palette> ClonePalette(Util::CountedPtr<Palette> shared) const;

    std::uint8_t* PixelBytes() const;
    void CheckDataKept() const;
    void Decode() const;
    void Expand() const;
    void Encode() const;
    void Compress() const;
    void EncodeDecodedCopy() const;
    bool BlockHolds(const std::uint8_t* block, std::uint32_t row, std::uint32_t column,
                    ColourBlockPixels& wanted) const;
    bool HasMismatchedStoredData() const;
    void MakeDecodedCopy();

    bool IsBlockFormat() const { return Trova::IsBlockFormat(format_); }
    bool HasExplicitAlpha() const { return format_ == PixelFormat::BlocksExplicitAlpha; }
    std::uint8_t* BlockAt(std::uint8_t* pixels, std::uint32_t row, std::uint32_t column) const;
    Colour DecodePixel(std::uint8_t* pixels, std::uint32_t row, std::uint32_t column) const;
    void EncodePixel(std::uint8_t* bytes, std::uint32_t column, const Colour& colour);
    Colour DecodePalettePixel(const std::uint8_t* bytes, std::uint32_t column) const;
    void EncodePalettePixel(std::uint8_t* bytes, std::uint32_t column, const Colour& colour);

    PixelFormat format_ = PixelFormat::Index4Opaque;
    std::uint32_t height_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t rowBytes_ = 0;
    std::uint8_t compression_ = 0;
    bool hasOwnPalette_ = false;
    bool dataSkipped_ = false;
    Util::CountedPtr<Palette> palette_;
    mutable std::uint32_t storedSize_ = 0;
    mutable Util::CountedPtr<std::uint8_t[]> storedData_;
    std::uint32_t uncompressedSize_ = 0;
    mutable Util::CountedPtr<std::uint8_t[]> pixelData_;
    Util::CountedPtr<Bitmap> decodedCopy_;
};

} // namespace Ostrel::Trova
