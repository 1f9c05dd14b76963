#pragma once

#include "Trova/GPLMIPSection.h"
#include "Trova/MipFile.h"

namespace Ostrel::Trova {

// The MIP files of the GPL game family (and their N4 variant).
class GPLMipFile : public MipFile {
public:
    // Reads the whole stream from its start; a header version other than expectedVersion is
    // refused. Fails with XFileFormat (or the stream's XFileRead).
    GPLMipFile(const Util::CountedPtr<Util::BinaryStream>& stream, std::uint32_t expectedVersion);
    // A new file in memory; see GPLMIPSection and ChooseMipFormat.
    GPLMipFile(std::uint32_t height, std::uint32_t width, std::uint8_t redBits,
               std::uint8_t greenBits, std::uint8_t blueBits, std::uint8_t alphaBits,
               std::uint32_t transparency, bool usePalette, std::uint32_t colourCount,
               bool individualPalettes, bool horizontalRepeat, bool verticalRepeat,
               std::uint32_t levelCount, std::uint32_t firstFormat, std::uint32_t formatCount,
               std::uint32_t version);
    // A deep copy.
    GPLMipFile(const GPLMipFile& other);
    GPLMipFile& operator=(const GPLMipFile&) = delete;

    std::uint32_t GetBitmapCount() const override { return mip_->GetBitmapCount(); }
    Util::CountedPtr<Bitmap> GetBitmap(std::uint32_t index) const override {
        return mip_->GetBitmap(index);
    }
    std::uint32_t GetWidth() const override { return mip_->GetWidth(); }
    std::uint32_t GetHeight() const override { return mip_->GetHeight(); }
    bool IsPalettised() const override { return mip_->IsPalettised(); }
    bool HasIndividualPalettes() const override { return mip_->HasIndividualPalettes(); }
    Util::CountedPtr<Palette> GetBitmapPalette(std::uint32_t index) const override {
        return mip_->GetBitmapPalette(index);
    }
    Util::CountedPtr<Palette> GetPalette() const override { return mip_->GetPalette(); }
    Colour GetMeanColour() const override { return mip_->GetMeanColour(); }
    std::uint8_t GetRedBits() const override { return mip_->GetRedBits(); }
    std::uint8_t GetGreenBits() const override { return mip_->GetGreenBits(); }
    std::uint8_t GetBlueBits() const override { return mip_->GetBlueBits(); }
    std::uint8_t GetAlphaBits() const override { return mip_->GetAlphaBits(); }
    std::uint32_t GetTransparency() const override { return mip_->GetTransparency(); }
    bool GetHorizontalRepeat() const override { return mip_->GetHorizontalRepeat(); }
    bool GetVerticalRepeat() const override { return mip_->GetVerticalRepeat(); }

    bool HasN4Value() const override { return mip_->GetVersion() == kN4MipVersion; }
    std::uint32_t GetN4Value(std::uint32_t) const override { return mip_->GetN4Value(); }
    bool HasN4Name() const override { return mip_->GetVersion() == kN4MipVersion; }
    std::string GetN4Name(std::uint32_t) const override { return mip_->GetN4Name(); }

    void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const override;
    Util::CountedPtr<MipFile> Clone() const override;

private:
    Util::CountedPtr<GPLMIPSection> mip_;
};

} // namespace Ostrel::Trova
