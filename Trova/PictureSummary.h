#pragma once

#include "Trova/Palette.h"
#include "Util/CountedPtr.h"

#include <cstdint>

namespace Ostrel::Trova {

// What a picture file's headers tell without decoding its pixels, for listings.
struct PictureSummary {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Bits per pixel as stored.
    std::uint16_t bitCount = 0;
    // The file's colour table; empty when it has none.
    Util::CountedPtr<Palette> palette;
    bool hasAlpha = false;
};

} // namespace Ostrel::Trova
