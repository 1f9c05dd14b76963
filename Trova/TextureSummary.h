#pragma once

#include <cstdint>
#include <vector>

namespace Ostrel::Trova {

// What a game texture's headers and section headers tell, read without its pixel data: what a
// listing shows of a MIP, PBF/STP or SRB file.
struct TextureSummary {
    struct Level {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        bool operator==(const Level&) const = default;
    };

    std::vector<Level> levels; // level 0 first; empty for an image without levels
    std::uint8_t redBits = 0;
    std::uint8_t greenBits = 0;
    std::uint8_t blueBits = 0;
    std::uint8_t alphaBits = 0;
    std::uint32_t transparency = 0; // a TransparencyClass value
    bool palettised = false;
    bool individualPalettes = false;
    std::uint32_t paletteSize = 0; // entries of level 0's palette; 0 when not palettised
    // How level 0 is stored.
    std::uint8_t storedFormat = 0;
    std::uint8_t storedCompression = 0;

    bool operator==(const TextureSummary&) const = default;
};

} // namespace Ostrel::Trova
