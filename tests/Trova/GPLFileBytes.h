#pragma once

// Builds GPL texture files byte by byte, so that readers meet exactly the bytes a test names.
// Every builder starts from a valid file; tests change one field to break it.

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
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

inline void Append(Bytes& bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

// A section header claiming size bytes, then the payload.
inline Bytes Section(std::uint32_t id, std::uint32_t version, std::uint64_t size,
                     const Bytes& payload = {}) {
    Bytes bytes;
    PutU32(bytes, id);
    PutU32(bytes, version);
    PutU32(bytes, static_cast<std::uint32_t>(size));
    Append(bytes, payload);
    return bytes;
}

// Entries as blue, green, red, alpha.
inline Bytes Cmap(const std::vector<std::array<std::uint8_t, 4>>& entries) {
    Bytes payload;
    for (const auto& entry : entries) {
        payload.insert(payload.end(), entry.begin(), entry.end());
    }
    return Section(Id("CMAP"), 0, payload.size(), payload);
}

// Stored sizes written out here rather than asked of the reader, so that a wrong size rule in the
// reader cannot agree with itself: 4-bit indices (0-2), 16-bit (3-5), 24-bit (6), 32-bit (7),
// 8-bit (8); rows padded to 4 bytes. Formats 10 and 11 store 4 x 4 blocks of 8 and 16 bytes.
inline std::uint64_t StoredRowBytes(std::uint8_t format, std::uint64_t width) {
    if (format >= 10) {
        return (width + 3) / 4 * (format == 10 ? 2 : 4);
    }
    constexpr std::uint64_t kBitsPerPixel[] = {4, 4, 4, 16, 16, 16, 24, 32, 8, 8};
    return (width * kBitsPerPixel[format] + 31) / 32 * 4;
}

inline std::uint64_t StoredDataSize(std::uint8_t format, std::uint64_t width,
                                    std::uint64_t height) {
    const std::uint64_t rows = format >= 10 ? (height + 3) / 4 * 4 : height;
    return rows * StoredRowBytes(format, width);
}

// One BMAP section, field by field, so that each test can break one of them. Unless given, the
// row size and data are right: uncompressed, a pattern from seed, padded with blanks.
struct BmapSpec {
    std::uint32_t id = Id("BMAP");
    std::uint32_t version = 0;
    std::int64_t sizeError = 0;
    std::uint32_t headerId = Id("BMHD");
    std::uint32_t headerVersion = 0;
    std::uint32_t headerSize = 14;
    std::uint8_t format = 3;
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::optional<std::uint32_t> rowBytes{};
    std::uint8_t compression = 0;
    std::uint8_t fill0 = 0x20;
    std::uint8_t fill1 = 0x20;
    std::optional<Bytes> cmap{}; // a whole CMAP section
    std::uint32_t dataId = Id("DATA");
    std::uint32_t dataVersion = 0;
    std::optional<Bytes> data{};
    std::optional<std::uint32_t> dataSize{};
    std::optional<Bytes> filler{};
    std::uint8_t seed = 1;

    static BmapSpec Of(std::uint8_t format, std::uint32_t width, std::uint32_t height) {
        BmapSpec spec;
        spec.format = format;
        spec.width = width;
        spec.height = height;
        return spec;
    }

    Bytes Build() const {
        // Not value_or: the default would be made, at the claimed size, even when data is given.
        Bytes stored = data ? *data : Bytes(StoredDataSize(format, width, height));
        for (std::size_t i = 0; !data && i < stored.size(); ++i) {
            stored[i] = static_cast<std::uint8_t>(seed + i * 37);
        }
        Bytes body = Section(headerId, headerVersion, headerSize);
        body.push_back(format);
        PutU32(body, width);
        PutU32(body, height);
        PutU32(body, rowBytes.value_or(std::uint32_t(StoredRowBytes(format, width))));
        body.insert(body.end(), {compression, fill0, fill1});
        if (cmap) {
            Append(body, *cmap);
        }
        Append(body, Section(dataId, dataVersion, dataSize.value_or(stored.size()), stored));
        Append(body, filler.value_or(Bytes((4 - stored.size() % 4) % 4, 0x20)));
        return Section(id, version, body.size() + sizeError, body);
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
    std::optional<std::uint32_t> headerSize{}; // 18 or 38 by version when not set
    std::uint8_t format = 3;
    std::uint32_t log2Width = 2;
    std::uint32_t log2Height = 2;
    std::array<std::uint8_t, 4> meanBgra{10, 20, 30, 255};
    std::uint8_t repeat = 0;
    std::optional<std::uint32_t> levelCount{}; // the number of levels when not set
    std::uint32_t n4Value = 0;
    std::array<std::uint8_t, 16> n4Name{};
    std::array<std::uint8_t, 2> filler{0x20, 0x20};
    std::optional<Bytes> sharedCmap{};
    std::vector<Bytes> levels{};

    // Adds the next count levels of the standard sizes in levelFormat (the MIP format by default).
    MipSpec& StandardLevels(std::uint32_t count, std::optional<std::uint8_t> levelFormat = {},
                            std::optional<Bytes> cmap = {}) {
        const auto first = static_cast<std::uint32_t>(levels.size());
        for (std::uint32_t i = first; i < first + count; ++i) {
            BmapSpec level;
            level.format = levelFormat.value_or(format);
            level.width = 1u << (std::max(log2Width, i) - i);
            level.height = 1u << (std::max(log2Height, i) - i);
            level.cmap = cmap;
            level.seed = static_cast<std::uint8_t>(i * 11 + 3);
            levels.push_back(level.Build());
        }
        return *this;
    }

    Bytes Build() const {
        const bool n4 = headerVersion == 1;
        Bytes body = Section(headerId, headerVersion, headerSize.value_or(n4 ? 38 : 18));
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
        return Section(mipId, mipVersion, body.size() + mipSizeDelta, body);
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

// Files write to a shared stream, sections to a stream they are lent; both leave it at the end
// of what they wrote, where whatever follows them is written.
template <typename FileT> Bytes Written(const FileT& file) {
    auto stream = Util::MakeCounted<Util::MemoryStream>("out.bin");
    if constexpr (requires { file.Write(*stream); }) {
        file.Write(*stream);
    } else {
        file.Write(stream);
    }
    EXPECT_EQ(stream->GetPosition(), stream->GetSize());
    return stream->GetBytes();
}

// A MIP image's bytes (at mipStart) with the mean colour blanked: writers recompute it.
inline Bytes WithoutMeanColour(Bytes bytes, std::size_t mipStart = 0) {
    std::fill_n(bytes.begin() + mipStart + kMeanColourOffset, 4, 0);
    return bytes;
}

// The detail of the XFileFormat (naming the file at path) that reading raises, the message of any
// other library exception, or "no failure".
inline std::string FailureOf(const std::function<void()>& read, const std::string& path) {
    try {
        read();
    } catch (const Util::XFileFormat& e) {
        EXPECT_EQ(e.GetPathName(), path);
        return e.GetDetail();
    } catch (const Util::Exception& e) {
        return e.Message();
    }
    return "no failure";
}

} // namespace Ostrel::Test
