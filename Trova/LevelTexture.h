#pragma once

#include "Trova/Colour.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

class Bitmap;
class Palette;

// A mip-mapped picture: one picture at several sizes, level 0 the largest, all levels in one
// pixel format. MIP and SRB files both are one, so conversions and views work on either alike.
class LevelTexture {
public:
    virtual ~LevelTexture() = default;

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
    // Whether the picture repeats across the surface it is drawn on, as the MIP image's flags say.
    virtual bool GetHorizontalRepeat() const = 0;
    virtual bool GetVerticalRepeat() const = 0;

    // The whole file.
    virtual void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const = 0;
};

} // namespace Ostrel::Trova
