#pragma once

#include "Trova/GPLMIPSection.h"
#include "Trova/SrbFile.h"

#include <array>

namespace Ostrel::Trova {

// The SRB files of the GPL game family: an "SRB " section holding the SRHD geometry and the SRH2
// values, followed by a GPL MIP image.
class GPLSrbFile : public SrbFile {
public:
    static constexpr std::uint32_t kValueCount = 9;

    // Reads the whole stream from its start. Fails with XFileFormat (or the stream's XFileRead).
    explicit GPLSrbFile(const Util::CountedPtr<Util::BinaryStream>& stream);
    // A new texture in memory whose MIP image repeats in neither direction; the geometry is taken
    // from the corners (see GetCorner and GetTextureCorner), the values are all 0.
    GPLSrbFile(std::uint32_t height, std::uint32_t width, std::uint8_t redBits,
               std::uint8_t greenBits, std::uint8_t blueBits, std::uint8_t alphaBits,
               std::uint32_t transparency, bool usePalette, std::uint32_t colourCount,
               bool individualPalettes, std::uint32_t levelCount,
               const std::array<WorldPoint, 4>& worldCorners,
               const std::array<TexturePoint, 4>& textureCorners, std::uint32_t firstFormat,
               std::uint32_t formatCount);
    // A deep copy.
    GPLSrbFile(const GPLSrbFile& other);
    GPLSrbFile& operator=(const GPLSrbFile&) = delete;

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

    WorldPoint GetCorner(std::uint32_t index) const override;
    TexturePoint GetTextureCorner(std::uint32_t index) const override;
    std::uint32_t GetValueCount() const override { return kValueCount; }
    // The index must be below kValueCount (XAssertion otherwise).
    std::uint32_t GetValue(std::uint32_t index) const override;

    void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const override;
    Util::CountedPtr<SrbFile> Clone() const override;

private:
    // The SRHD fields, in file order: the rectangle in world units, the used part of level 0 in
    // pixels from its top left, and the origin within the used part in pixels from its top left.
    enum GeometryField {
        kRectangleWidth,
        kRectangleHeight,
        kUsedWidth,
        kUsedHeight,
        kHorizontalCentre,
        kVerticalCentre,
        kGeometryFieldCount
    };

    void SetGeometry(const std::array<WorldPoint, 4>& worldCorners,
                     const std::array<TexturePoint, 4>& textureCorners, double pixelWidth,
                     double pixelHeight);

    Util::CountedPtr<GPLMIPSection> mip_;
    std::array<float, kGeometryFieldCount> geometry_{};
    std::array<std::uint32_t, kValueCount> values_{};
};

} // namespace Ostrel::Trova
