#pragma once

#include <cstdint>
#include <string>

namespace Ostrel::Util {

// A seekable byte stream with a name. Every format reader reads and writes through this, so an
// archive member, a file on disk and a buffer in memory are read the same way. Read and Write
// transfer exactly count bytes or throw.
class BinaryStream {
public:
    virtual ~BinaryStream() = default;
    virtual void Read(std::uint32_t count, void* buffer) = 0;
    virtual void Write(std::uint32_t count, const void* buffer) = 0;
    virtual std::uint64_t GetPosition() = 0;
    virtual void SetPosition(std::uint64_t position) = 0;
    virtual std::uint64_t GetSize() = 0;
    virtual bool IsAtEnd() = 0;
    virtual std::string GetName() const = 0;

    // Bytes between the position and the end: what a reader may still claim before allocating.
    std::uint64_t GetRemaining();
};

// Little-endian helpers for the fixed-layout headers of every format.
std::uint16_t ReadU16(const std::uint8_t* bytes);
std::uint32_t ReadU32(const std::uint8_t* bytes);
void WriteU16(std::uint8_t* bytes, std::uint16_t value);
void WriteU32(std::uint8_t* bytes, std::uint32_t value);

} // namespace Ostrel::Util
