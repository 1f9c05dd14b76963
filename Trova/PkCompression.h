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
