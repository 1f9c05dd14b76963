#include "Trova/GPLMipFile.h"

#include "Trova/TextureSummary.h"

namespace Ostrel::Trova {

GPLMipFile::GPLMipFile(const Util::CountedPtr<Util::BinaryStream>& stream,
                       std::uint32_t expectedVersion) {
    stream->SetPosition(0);
    mip_ = Util::MakeCounted<GPLMIPSection>(*stream, expectedVersion);
}

TextureSummary GPLMipFile::ReadSummary(Util::BinaryStream& stream, std::uint32_t expectedVersion) {
    stream.SetPosition(0);
    return GPLMIPSection(stream, expectedVersion, StoredData::Skip).Summarise();
}

GPLMipFile::GPLMipFile(std::uint32_t height, std::uint32_t width, std::uint8_t redBits,
                       std::uint8_t greenBits, std::uint8_t blueBits, std::uint8_t alphaBits,
                       std::uint32_t transparency, bool usePalette, std::uint32_t colourCount,
                       bool individualPalettes, bool horizontalRepeat, bool verticalRepeat,
                       std::uint32_t levelCount, std::uint32_t firstFormat,
                       std::uint32_t formatCount, std::uint32_t version)
    : GPLMipLevels(Util::MakeCounted<GPLMIPSection>(
          height, width,
          MipFormatRequest{usePalette, colourCount, redBits, greenBits, blueBits, alphaBits,
                           transparency},
          individualPalettes, horizontalRepeat, verticalRepeat, levelCount, firstFormat,
          formatCount, version)) {}

GPLMipFile::GPLMipFile(const GPLMipFile& other) : GPLMipLevels(other) {}

void GPLMipFile::Write(const Util::CountedPtr<Util::BinaryStream>& stream) const {
    mip_->Write(*stream);
}

Util::CountedPtr<MipFile> GPLMipFile::Clone() const {
    return Util::MakeCounted<GPLMipFile>(*this);
}

} // namespace Ostrel::Trova
