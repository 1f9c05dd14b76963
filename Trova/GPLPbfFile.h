#pragma once

#include "Trova/GPLBMAPSection.h"
#include "Trova/PbfFile.h"

namespace Ostrel::Trova {

// The PBF and STP files of the GPL game family: one BMAP section from the start of the file.
// Bytes after the section are not looked at.
class GPLPbfFile : public PbfFile {
public:
    // Reads the bitmap section at the start of the stream; only uncompressed data is accepted.
    explicit GPLPbfFile(const Util::CountedPtr<Util::BinaryStream>& stream);
    // The same reading and the same failures, without the pixel data.
    static TextureSummary ReadSummary(Util::BinaryStream& stream);
    // An empty 0 x 0 picture in a 4-bit palettised format (with usePalette; its own palette of
    // colourCount entries, at most 16) or a 16-bit one. SetBitmap gives it its size and pixels.
    GPLPbfFile(std::uint8_t redBits, std::uint8_t greenBits, std::uint8_t blueBits,
               std::uint8_t alphaBits, std::uint32_t transparency, bool usePalette,
               std::uint32_t colourCount);
    // A deep copy.
    GPLPbfFile(const GPLPbfFile& other);
    GPLPbfFile& operator=(const GPLPbfFile&) = delete;

    Util::CountedPtr<Bitmap> GetBitmap() const override { return section_; }
    void SetBitmap(const Util::CountedPtr<Bitmap>& source) override;
    std::uint32_t GetWidth() const override { return section_->GetWidth(); }
    std::uint32_t GetHeight() const override { return section_->GetHeight(); }
    bool IsPalettised() const override { return section_->IsPalettised(); }
    Util::CountedPtr<Palette> GetPalette() const override { return section_->GetPalette(); }
    std::uint8_t GetRedBits() const override { return section_->GetRedBits(); }
    std::uint8_t GetGreenBits() const override { return section_->GetGreenBits(); }
    std::uint8_t GetBlueBits() const override { return section_->GetBlueBits(); }
    std::uint8_t GetAlphaBits() const override { return section_->GetAlphaBits(); }
    std::uint32_t GetTransparency() const override { return section_->GetTransparency(); }
    // Writes the section at the stream's position.
    void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const override;
    Util::CountedPtr<PbfFile> Clone() const override;

private:
    Util::CountedPtr<GPLBMAPSection> section_;
};

} // namespace Ostrel::Trova
