#pragma once

#include "Trova/Colour.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>

namespace Ostrel::Trova {

class Bitmap;
class Palette;

// A mip-mapped texture: one picture at several sizes, level 0 the largest, all levels in one
// pixel format. The application sees every game family's MIP files through this interface.
class MipFile {
public:
    virtual ~MipFile() = default;

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
    virtual bool GetHorizontalRepeat() const = 0;
    virtual bool GetVerticalRepeat() const = 0;

    // Values that only some variants carry: a caller asks the query before the getter, so the
    // getters here fail as broken invariants.
    virtual bool HasN4Value() const { return false; }
    virtual std::uint32_t GetN4Value(std::uint32_t index) const;
    virtual bool HasN4Name() const { return false; }
    virtual std::string GetN4Name(std::uint32_t index) const;

    virtual void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const = 0;
    virtual Util::CountedPtr<MipFile> Clone() const = 0;
};

} // namespace Ostrel::Trova
