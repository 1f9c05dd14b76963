#pragma once

// Builds GPL texture files byte by byte, so that readers meet exactly the bytes a test names.
// Every builder starts from a valid file; tests change one field to break it.

#include "Trova/GPLBMAPSection.h"
#include "Util/BinaryStream.h"
#include "Util/MemoryStream.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Ostrel::Test {

using Bytes = std::vector<std::uint8_t>;

// Section ids as the file stores them: the characters in reverse order.
constexpr std::uint32_t Id(const char (&text)[5]) {
    return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
           std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint8_t(text[3]);
}

inline void PutU32(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline void PutHeader(Bytes& bytes, std::uint32_t id, std::uint32_t version, std::uint32_t size) {
    PutU32(bytes, id);
    PutU32(bytes, version);
    PutU32(bytes, size);
}

inline void Append(Bytes& bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

// Entries as blue, green, red, alpha.
inline Bytes Cmap(const std::vector<std::array<std::uint8_t, 4>>& entries) {
    Bytes bytes;
    PutHeader(bytes, Id("CMAP"), 0, static_cast<std::uint32_t>(4 * entries.size()));
    for (const auto& entry : entries) {
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    return bytes;
}

// Sixteen distinct opaque colours.
inline Bytes SixteenColourCmap() {
    std::vector<std::array<std::uint8_t, 4>> entries;
    for (std::uint8_t i = 0; i < 16; ++i) {
        entries.push_back(
            {std::uint8_t(i * 16), std::uint8_t(255 - i * 16), std::uint8_t(i * 3), 255});
    }
    return Cmap(entries);
}

// One BMAP section with uncompressed data of the right size; the data bytes follow a pattern
// from seed, row padding included.
struct BmapSpec {
    std::uint8_t format = 3;
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::optional<Bytes> cmap;
    std::uint8_t seed = 1;
    std::uint8_t compression = 0;

    static BmapSpec Of(std::uint8_t format, std::uint32_t width, std::uint32_t height) {
        BmapSpec spec;
        spec.format = format;
        spec.width = width;
        spec.height = height;
        return spec;
    }

    Bytes Build() const {
        const auto dataSize =
            static_cast<std::uint32_t>(Trova::GPLBMAPSection::GetDataSize(format, width, height));
        Bytes body;
        PutHeader(body, Id("BMHD"), 0, 14);
        body.push_back(format);
        PutU32(body, width);
        PutU32(body, height);
        PutU32(body, static_cast<std::uint32_t>(Trova::GPLBMAPSection::GetRowBytes(format, width)));
        body.push_back(compression);
        body.push_back(0x20);
        body.push_back(0x20);
        if (cmap) {
            Append(body, *cmap);
        }
        PutHeader(body, Id("DATA"), 0, dataSize);
        for (std::uint32_t i = 0; i < dataSize; ++i) {
            body.push_back(static_cast<std::uint8_t>(seed + i * 37));
        }
        body.insert(body.end(), (4 - dataSize % 4) % 4, 0x20);
        Bytes bytes;
        PutHeader(bytes, Id("BMAP"), 0, static_cast<std::uint32_t>(body.size()));
        Append(bytes, body);
        return bytes;
    }
};

// A MIP file: " MIP", MPHD, filler, optional shared CMAP, levels. Level i of the standard levels
// is 2^(log2 size - i) on each side, never below 1.
struct MipSpec {
    std::uint32_t mipId = Id(" MIP");
    std::uint32_t mipVersion = 0;
    std::int64_t mipSizeDelta = 0;
    std::uint32_t headerId = Id("MPHD");
    std::uint32_t headerVersion = 0;
    std::optional<std::uint32_t> headerSize; // 18 or 38 by version when not set
    std::uint8_t format = 3;
    std::uint32_t log2Width = 2;
    std::uint32_t log2Height = 2;
    std::array<std::uint8_t, 4> meanBgra{10, 20, 30, 255};
    std::uint8_t repeat = 0;
    std::optional<std::uint32_t> levelCount; // the number of levels when not set
    std::uint32_t n4Value = 0;
    std::array<std::uint8_t, 16> n4Name{};
    std::array<std::uint8_t, 2> filler{0x20, 0x20};
    std::optional<Bytes> sharedCmap;
    std::vector<Bytes> levels;

    // Adds the next count levels of the standard sizes in levelFormat (the MIP format by default).
    MipSpec& StandardLevels(std::uint32_t count, std::optional<std::uint8_t> levelFormat = {},
                            std::optional<Bytes> cmap = {}) {
        const auto first = static_cast<std::uint32_t>(levels.size());
        for (std::uint32_t i = first; i < first + count; ++i) {
            BmapSpec level;
            level.format = levelFormat.value_or(format);
            level.width = LevelSide(log2Width, i);
            level.height = LevelSide(log2Height, i);
            level.cmap = cmap;
            level.seed = static_cast<std::uint8_t>(i * 11 + 3);
            levels.push_back(level.Build());
        }
        return *this;
    }

    static std::uint32_t LevelSide(std::uint32_t log2Size, std::uint32_t level) {
        return 1u << (log2Size > level ? log2Size - level : 0);
    }

    Bytes Build() const {
        const bool n4 = headerVersion == 1;
        Bytes body;
        PutHeader(body, headerId, headerVersion, headerSize.value_or(n4 ? 38 : 18));
        body.push_back(format);
        PutU32(body, log2Width);
        PutU32(body, log2Height);
        body.insert(body.end(), meanBgra.begin(), meanBgra.end());
        body.push_back(repeat);
        PutU32(body, levelCount.value_or(static_cast<std::uint32_t>(levels.size())));
        if (n4) {
            PutU32(body, n4Value);
            body.insert(body.end(), n4Name.begin(), n4Name.end());
        }
        body.insert(body.end(), filler.begin(), filler.end());
        if (sharedCmap) {
            Append(body, *sharedCmap);
        }
        for (const auto& level : levels) {
            Append(body, level);
        }
        Bytes bytes;
        PutHeader(bytes, mipId, mipVersion, static_cast<std::uint32_t>(body.size() + mipSizeDelta));
        Append(bytes, body);
        return bytes;
    }
};

// File offsets of the MPHD fields in a MIP image that starts at offset 0.
constexpr std::size_t kMeanColourOffset = 12 + 12 + 9;
constexpr std::size_t kRepeatOffset = 12 + 12 + 13;
constexpr std::size_t kN4NameOffset = 12 + 12 + 22;

inline Util::CountedPtr<Util::BinaryStream> StreamOf(const Bytes& bytes,
                                                     const std::string& name = "test.bin") {
    return Util::MakeCounted<Util::MemoryStream>(name, bytes);
}

inline Util::CountedPtr<Util::MemoryStream> NewStream(const std::string& name = "out.bin") {
    return Util::MakeCounted<Util::MemoryStream>(name);
}

} // namespace Ostrel::Test
