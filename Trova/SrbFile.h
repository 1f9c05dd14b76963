#pragma once

#include "Trova/LevelTexture.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

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
class SrbFile : public LevelTexture {
public:
    // Any index other than 1, 2 or 3 gives corner 0.
    virtual WorldPoint GetCorner(std::uint32_t index) const = 0;
    virtual TexturePoint GetTextureCorner(std::uint32_t index) const = 0;

    // Opaque values a variant carries through unchanged; none by default.
    virtual std::uint32_t GetValueCount() const { return 0; }
    virtual std::uint32_t GetValue(std::uint32_t) const { return 0; }

    virtual Util::CountedPtr<SrbFile> Clone() const = 0;
};

} // namespace Ostrel::Trova
