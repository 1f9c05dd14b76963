#include "Trova/GPLSection.h"

#include <array>

namespace Ostrel::Trova {

void GPLSectionHeader::Read(Util::BinaryStream& stream) {
    std::array<std::uint8_t, kSize> bytes;
    stream.Read(kSize, bytes.data());
    id = Util::ReadU32(&bytes[0]);
    version = Util::ReadU32(&bytes[4]);
    size = Util::ReadU32(&bytes[8]);
}

void GPLSectionHeader::Write(Util::BinaryStream& stream) const {
    std::array<std::uint8_t, kSize> bytes;
    Util::WriteU32(&bytes[0], id);
    Util::WriteU32(&bytes[4], version);
    Util::WriteU32(&bytes[8], size);
    stream.Write(kSize, bytes.data());
}

std::uint32_t PeekSectionId(Util::BinaryStream& stream) {
    const std::uint64_t position = stream.GetPosition();
    std::array<std::uint8_t, 4> bytes;
    stream.Read(4, bytes.data());
    stream.SetPosition(position);
    return Util::ReadU32(bytes.data());
}

void WriteFiller(Util::BinaryStream& stream, std::uint32_t payloadSize) {
    const std::array<std::uint8_t, 3> blanks{kFillerByte, kFillerByte, kFillerByte};
    stream.Write(GetFillerSize(payloadSize), blanks.data());
}

bool ReadFiller(Util::BinaryStream& stream, std::uint32_t payloadSize) {
    const std::uint32_t count = GetFillerSize(payloadSize);
    std::array<std::uint8_t, 3> filler{};
    stream.Read(count, filler.data());
    for (std::uint32_t i = 0; i < count; ++i) {
        if (filler[i] != kFillerByte) {
            return false;
        }
    }
    return true;
}

} // namespace Ostrel::Trova
