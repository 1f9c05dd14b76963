#pragma once

#include "Trova/GPLMIPSection.h"
#include "Util/CountedPtr.h"

#include <utility>

namespace Ostrel::Trova {

// The operations that MIP files and SRB files share, answered by the GPL MIP image they hold.
template <typename InterfaceT> class GPLMipLevels : public InterfaceT {
public:
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

protected:
    GPLMipLevels() = default;
    explicit GPLMipLevels(Util::CountedPtr<GPLMIPSection> mip) : mip_(std::move(mip)) {}
    // A deep copy of the image.
    GPLMipLevels(const GPLMipLevels& other)
        : InterfaceT(other), mip_(Util::MakeCounted<GPLMIPSection>(*other.mip_)) {}

    Util::CountedPtr<GPLMIPSection> mip_;
};

} // namespace Ostrel::Trova
