#pragma once

#include "Trova/GPLMipLevels.h"
#include "Trova/SrbFile.h"

#include <array>

namespace Ostrel::Trova {

// The SRB files of the GPL game family: an "SRB " section holding the SRHD geometry and the SRH2
// values, followed by a GPL MIP image.
class GPLSrbFile : public GPLMipLevels<SrbFile> {
public:
    static constexpr std::uint32_t kValueCount = 9;

    // Reads the whole stream from its start. Fails with XFileFormat (or the stream's XFileRead).
    explicit GPLSrbFile(const Util::CountedPtr<Util::BinaryStream>& stream);
    // The same reading and the same failures, without the levels' pixel data.
    static TextureSummary ReadSummary(Util::BinaryStream& stream);
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

    std::array<float, kGeometryFieldCount> geometry_{};
    std::array<std::uint32_t, kValueCount> values_{};
};

} // namespace Ostrel::Trova
