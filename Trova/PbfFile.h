#pragma once

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

class Bitmap;
class Palette;

// A single, unmipped picture (PBF and STP files).
class PbfFile {
public:
    virtual ~PbfFile() = default;

    // The picture itself, shared: setting its pixels changes the file's content.
    virtual Util::CountedPtr<Bitmap> GetBitmap() const = 0;
    // Gives the picture the source's size and copies every pixel. A palettised picture accepts
    // only colours of its palette, so the caller fills the palette first.
    virtual void SetBitmap(const Util::CountedPtr<Bitmap>& source) = 0;
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    virtual bool IsPalettised() const = 0;
    virtual Util::CountedPtr<Palette> GetPalette() const = 0;
    virtual std::uint8_t GetRedBits() const = 0;
    virtual std::uint8_t GetGreenBits() const = 0;
    virtual std::uint8_t GetBlueBits() const = 0;
    virtual std::uint8_t GetAlphaBits() const = 0;
    virtual std::uint32_t GetTransparency() const = 0;
    virtual void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const = 0;
    virtual Util::CountedPtr<PbfFile> Clone() const = 0;
};

} // namespace Ostrel::Trova
