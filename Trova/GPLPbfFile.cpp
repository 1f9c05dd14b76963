#include "Trova/GPLPbfFile.h"

#include "Trova/GPLMIPSection.h"
#include "Trova/TextureSummary.h"

namespace Ostrel::Trova {

namespace {
// New pictures are 4-bit palettised (one format per transparency class) or 16 bits per pixel:
// R5 G6 B5 when opaque, A1 R5 G5 B5 when five bits suffice, A4 R4 G4 B4 otherwise.
PixelFormat ChoosePbfFormat(std::uint8_t redBits, std::uint8_t greenBits, std::uint8_t blueBits,
                            std::uint32_t transparency, bool usePalette,
                            std::uint32_t colourCount) {
    CheckPaletteColourCount(usePalette, colourCount);
    const auto transparencyClass = static_cast<TransparencyClass>(transparency);
    if (usePalette) {
        return PalettisedFormatFor(transparencyClass);
    }
    if (transparencyClass == TransparencyClass::Opaque) {
        return redBits <= 5 && greenBits <= 5 && blueBits <= 5 ? PixelFormat::A1R5G5B5
                                                               : PixelFormat::R5G6B5;
    }
    return PixelFormat::A4R4G4B4;
}
} // namespace

GPLPbfFile::GPLPbfFile(const Util::CountedPtr<Util::BinaryStream>& stream) {
    stream->SetPosition(0);
    section_ = Util::MakeCounted<GPLBMAPSection>(*stream, Util::CountedPtr<Palette>(), 0);
}

TextureSummary GPLPbfFile::ReadSummary(Util::BinaryStream& stream) {
    stream.SetPosition(0);
    return GPLBMAPSection(stream, Util::CountedPtr<Palette>(), 0, StoredData::Skip).Summarise();
}

GPLPbfFile::GPLPbfFile(std::uint8_t redBits, std::uint8_t greenBits, std::uint8_t blueBits,
                       std::uint8_t, std::uint32_t transparency, bool usePalette,
                       std::uint32_t colourCount)
    : section_(Util::MakeCounted<GPLBMAPSection>(
          CodeOf(
              ChoosePbfFormat(redBits, greenBits, blueBits, transparency, usePalette, colourCount)),
          true, colourCount, Util::CountedPtr<Palette>(), 0)) {}

GPLPbfFile::GPLPbfFile(const GPLPbfFile& other)
    : PbfFile(other), section_(other.section_->Clone(Util::CountedPtr<Palette>())) {}

void GPLPbfFile::SetBitmap(const Util::CountedPtr<Bitmap>& source) {
    CopyBitmap(*source, *section_);
}

void GPLPbfFile::Write(const Util::CountedPtr<Util::BinaryStream>& stream) const {
    section_->Write(*stream);
}

Util::CountedPtr<PbfFile> GPLPbfFile::Clone() const {
    return Util::MakeCounted<GPLPbfFile>(*this);
}

} // namespace Ostrel::Trova
