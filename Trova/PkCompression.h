#pragma once

// Memory-to-memory compression in the implode stream format of the 1.11 data compression
// library, used for the compressed pixel data of the GPL bitmap sections.

#include <cstdint>

namespace Ostrel::Trova {

// A destination this large always holds the compressed form of sourceSize bytes: the two header
// bytes, nine bits per literal and the end code. Twice the source size is not enough below five
// bytes, so callers that compress should reserve at least this much.
constexpr std::uint64_t PkCompressBound(std::uint64_t sourceSize) {
    return 2 + (9 * sourceSize + 16 + 7) / 8;
}

// How the encoder chooses its copies. Optimal finds the cheapest stream for the copies its search
// sees, block by block, and is never larger than Fast, which looks one position ahead.
enum class PkParse { Fast, Optimal };

// The most bytes a stream of sourceSize bytes can expand to. The cheapest token per byte is a
// copy of the longest length, 518 bytes for 22 bits (flag, 7-bit length code, 8 extra length
// bits, 2-bit distance code, 4 low distance bits with the smallest dictionary), so no stream
// expands more than about 188 times; a claim beyond this is refused before allocating for it.
constexpr std::uint64_t PkExpandBound(std::uint64_t sourceSize) {
    return sourceSize * 8 / 22 * 518;
}

// Compresses sourceSize bytes with binary literals and a 4096-byte dictionary; returns the number
// of bytes written. Fails with XAssertion if the stream does not fit in the destination (a
// truncated stream would lose the data; see PkCompressBound).
std::uint32_t PkCompress(const std::uint8_t* source, std::uint32_t sourceSize,
                         std::uint8_t* destination, std::uint32_t destinationCapacity,
                         PkParse parse = PkParse::Optimal);

// Expands a compressed stream (either literal coding, any of the three dictionary sizes); returns
// the number of bytes written. Output beyond the capacity is dropped, so a caller that knows the
// expanded size compares it with the result. Fails with XAssertion on a broken or truncated
// stream, or when input is left over after the end code.
std::uint32_t PkDecompress(const std::uint8_t* source, std::uint32_t sourceSize,
                           std::uint8_t* destination, std::uint32_t destinationCapacity);

} // namespace Ostrel::Trova
