#pragma once

#include "Trova/Colour.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

class Bitmap;
class Palette;

// A corner of the textured rectangle in the world: x to the right, z upwards.
struct WorldPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The texture coordinate of a corner, as fractions of level 0's width and height.
struct TexturePoint {
    double u = 0;
    double v = 0;
};

// A mip-mapped texture drawn on a flat rectangle in the game world. Corners are numbered top
// left, top right, bottom right, bottom left.
class SrbFile {
public:
    virtual ~SrbFile() = default;

    virtual std::uint32_t GetBitmapCount() const = 0;
    // The level itself, shared: setting its pixels changes the file's content.
    virtual Util::CountedPtr<Bitmap> GetBitmap(std::uint32_t index) const = 0;
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    virtual bool IsPalettised() const = 0;
    virtual bool HasIndividualPalettes() const = 0;
    virtual Util::CountedPtr<Palette> GetBitmapPalette(std::uint32_t index) const = 0;
    virtual Util::CountedPtr<Palette> GetPalette() const = 0;
    virtual Colour GetMeanColour() const = 0;
    virtual std::uint8_t GetRedBits() const = 0;
    virtual std::uint8_t GetGreenBits() const = 0;
    virtual std::uint8_t GetBlueBits() const = 0;
    virtual std::uint8_t GetAlphaBits() const = 0;
    virtual std::uint32_t GetTransparency() const = 0;
    // Whether the picture repeats along the rectangle, as the MIP image's flags say.
    virtual bool GetHorizontalRepeat() const = 0;
    virtual bool GetVerticalRepeat() const = 0;

    // Any index other than 1, 2 or 3 gives corner 0.
    virtual WorldPoint GetCorner(std::uint32_t index) const = 0;
    virtual TexturePoint GetTextureCorner(std::uint32_t index) const = 0;

    // Opaque values a variant carries through unchanged; none by default.
    virtual std::uint32_t GetValueCount() const { return 0; }
    virtual std::uint32_t GetValue(std::uint32_t) const { return 0; }

    virtual void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const = 0;
    virtual Util::CountedPtr<SrbFile> Clone() const = 0;
};

} // namespace Ostrel::Trova
