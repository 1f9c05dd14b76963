#pragma once

// Deterministic inputs for the compression tests and benchmarks, shaped like what the games
// compress: 16-bit and 32-bit pixels with smooth shading and grain, packed 4-bit palette indices,
// text, noise and runs.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace Ostrel::Test {

// A small xorshift generator, so that every run and platform sees the same bytes.
struct SampleRandom {
    explicit SampleRandom(std::uint32_t seed) : state(seed * 2654435761u + 1) {}
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    std::uint32_t state;
};

inline std::vector<std::uint8_t> RandomSample(std::size_t size, std::uint32_t seed = 1) {
    SampleRandom random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random.Next() >> 24);
    }
    return bytes;
}

inline std::vector<std::uint8_t> TextSample(std::size_t size) {
    static const char* const kWords[] = {"the ",  "track ",   "car ",    "texture ", "pit ",
                                         "lane ", "grass ",   "gravel ", "wall ",    "sky ",
                                         "tyre ", "barrier ", "kerb ",   "asphalt ", "\n"};
    SampleRandom random(7);
    std::string text;
    while (text.size() < size) {
        text += kWords[random.Next() % std::size(kWords)];
    }
    return {text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size)};
}

// 16-bit 5-6-5 pixels, 64 to a row: diagonal shading with a little grain, as in road and grass
// textures.
inline std::vector<std::uint8_t> Texture16Sample(std::size_t size) {
    SampleRandom random(3);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const unsigned x = (i / 2) % 64;
        const unsigned y = static_cast<unsigned>(i / 128);
        const unsigned grain = random.Next() % 8 == 0 ? 1 : 0;
        const unsigned red = ((x + y) / 8 + grain) & 31;
        const unsigned green = (20 + (x + 2 * y) / 16 + grain) & 63;
        const unsigned blue = (8 + y / 16) & 31;
        const unsigned pixel = red << 11 | green << 5 | blue;
        bytes[i] = static_cast<std::uint8_t>(pixel);
        bytes[i + 1] = static_cast<std::uint8_t>(pixel >> 8);
    }
    return bytes;
}

// Two 4-bit palette indices per byte, 128 pixels to a row, in patches of a few colours.
inline std::vector<std::uint8_t> Palette4Sample(std::size_t size) {
    SampleRandom random(5);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned patch = static_cast<unsigned>((i % 64) / 8 + (i / 64) / 8 * 3) % 16;
        const unsigned low = (patch + (random.Next() % 6 == 0)) & 15;
        const unsigned high = (patch + (random.Next() % 6 == 0)) & 15;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

// 32-bit BGRA pixels, 64 to a row: smooth colour with grain in every channel and opaque alpha.
inline std::vector<std::uint8_t> Photo32Sample(std::size_t size) {
    SampleRandom random(9);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned pixel = static_cast<unsigned>(i / 4);
        const unsigned x = pixel % 64;
        const unsigned y = pixel / 64;
        const unsigned channel = i % 4;
        const unsigned grain = random.Next() % 4;
        const unsigned value = channel == 3 ? 255 : (x * (channel + 1) + y * 2 + grain) & 255;
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return bytes;
}

// Runs of a few values, of lengths from 1 to several hundred.
inline std::vector<std::uint8_t> RunSample(std::size_t size) {
    SampleRandom random(11);
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < size) {
        const std::size_t run = 1 + random.Next() % 700;
        bytes.insert(bytes.end(), std::min(run, size - bytes.size()),
                     static_cast<std::uint8_t>(random.Next() % 4));
    }
    return bytes;
}

} // namespace Ostrel::Test
