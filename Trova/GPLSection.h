#pragma once

#include "Util/BinaryStream.h"

#include <cstdint>

namespace Ostrel::Trova {

// Four characters as one id, first character in the high byte. Stored little-endian, so the
// characters appear in the file in reverse order ("BMAP" is written as P A M B).
constexpr std::uint32_t MakeSectionId(std::uint8_t c0, std::uint8_t c1, std::uint8_t c2,
                                      std::uint8_t c3) {
    return std::uint32_t(c0) << 24 | std::uint32_t(c1) << 16 | std::uint32_t(c2) << 8 | c3;
}

constexpr std::uint32_t kBMAPSectionId = MakeSectionId('B', 'M', 'A', 'P');
constexpr std::uint32_t kBMHDSectionId = MakeSectionId('B', 'M', 'H', 'D');
constexpr std::uint32_t kCMAPSectionId = MakeSectionId('C', 'M', 'A', 'P');
constexpr std::uint32_t kDATASectionId = MakeSectionId('D', 'A', 'T', 'A');

// The 12-byte header in front of every section of the GPL files. Size counts the payload that
// follows, without the payload's own filler; a section holding other sections counts everything
// after its header, nested fillers included.
struct GPLSectionHeader {
    static constexpr std::uint32_t kSize = 12;

    std::uint32_t id = 0;
    std::uint32_t version = 0;
    std::uint32_t size = 0;

    GPLSectionHeader() = default;
    GPLSectionHeader(std::uint32_t id, std::uint32_t version, std::uint32_t size)
        : id(id), version(version), size(size) {}

    // One whole-header read, so a short stream fails with the stream's XFileRead.
    void Read(Util::BinaryStream& stream);
    void Write(Util::BinaryStream& stream) const;
};

// The id of the section at the stream's position; the position is left unchanged.
std::uint32_t PeekSectionId(Util::BinaryStream& stream);

// Sections start on 4-byte boundaries: a payload is followed by this many blanks (0x20).
constexpr std::uint32_t GetFillerSize(std::uint32_t payloadSize) {
    return (4 - payloadSize % 4) % 4;
}
constexpr std::uint8_t kFillerByte = 0x20;

void WriteFiller(Util::BinaryStream& stream, std::uint32_t payloadSize);
// Reads the filler after a payload of payloadSize bytes; false when any of it is not a blank.
bool ReadFiller(Util::BinaryStream& stream, std::uint32_t payloadSize);

} // namespace Ostrel::Trova
