// Compression and expansion in the implode stream format of the 1.11 data compression library.
//
// Stream: byte 0 is the literal coding (0 binary, 1 ASCII), byte 1 the dictionary bits (4, 5 or 6
// for 1024, 2048 or 4096 bytes), then a bit stream read from the least significant bit of each
// byte. Each token is a flag bit, then either a literal or a copy (length code, distance code and
// low distance bits). Length 519 ends the stream.
//
// The operations talk to the codec through read and write callbacks over a record of the buffers,
// so the codec sees its input and output as streams and never touches memory outside them. All
// working storage is on the stack: neither operation allocates.

#include "Trova/PkCompression.h"

#include "Util/Exception.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace Ostrel::Trova {
namespace {

constexpr char kSourceUnit[] = "PkCompression";
// The lines that the failures of the two operations name, whatever the layout of this file.
constexpr std::uint32_t kCompressLine = 79;
constexpr std::uint32_t kDecompressLine = 99;

void Check(bool holds, const char* expression, std::uint32_t line) {
    if (!holds) {
        Util::AssertionFailed(expression, kSourceUnit, line);
    }
}

// The codec's result codes.
enum ResultCode : int {
    CMP_NO_ERROR = 0,
    CMP_INVALID_DICTSIZE = 1,
    CMP_INVALID_MODE = 2,
    CMP_BAD_DATA = 3,
    CMP_ABORT = 4,
};

// What the operations hand to the callbacks: the input not yet given to the codec and the free
// part of the destination. Output beyond the destination is counted, not written.
struct DataParameters {
    const std::uint8_t* InBuffer;
    std::uint32_t InBytesRemaining;
    std::uint8_t* OutBuffer;
    std::uint32_t OutBytesRemaining;
    std::uint64_t OutBytesDropped;
};

using ReadFunction = std::uint32_t (*)(std::uint8_t* buffer, std::uint32_t* count, void* param);
using WriteFunction = void (*)(const std::uint8_t* buffer, std::uint32_t* count, void* param);

std::uint32_t ReadInput(std::uint8_t* buffer, std::uint32_t* count, void* param) {
    auto& dp = *static_cast<DataParameters*>(param);
    *count = std::min(*count, dp.InBytesRemaining);
    std::copy_n(dp.InBuffer, *count, buffer);
    dp.InBuffer += *count;
    dp.InBytesRemaining -= *count;
    return *count;
}

void WriteOutput(const std::uint8_t* buffer, std::uint32_t* count, void* param) {
    auto& dp = *static_cast<DataParameters*>(param);
    dp.OutBytesDropped += *count - std::min(*count, dp.OutBytesRemaining);
    *count = std::min(*count, dp.OutBytesRemaining);
    std::copy_n(buffer, *count, dp.OutBuffer);
    dp.OutBuffer += *count;
    dp.OutBytesRemaining -= *count;
}

// The encoder writes binary literals with a 4096-byte dictionary; the decoder takes any stream.
int Implode(ReadFunction read, WriteFunction write, void* param, PkParse parse);
int Explode(ReadFunction read, WriteFunction write, void* param);

// Encodes the whole source; a capacity of 0 only measures the stream. The encoder reads the whole
// source before it ends the stream, so input left over would be its own fault.
DataParameters Encode(const std::uint8_t* source, std::uint32_t sourceSize,
                      std::uint8_t* destination, std::uint32_t destinationCapacity, PkParse parse) {
    DataParameters dp{source, sourceSize, destination, destinationCapacity, 0};
    const int result = Implode(ReadInput, WriteOutput, &dp, parse);
    Check(result == CMP_NO_ERROR && dp.InBytesRemaining == 0,
          "result == CMP_NO_ERROR && dp.InBytesRemaining == 0", kCompressLine);
    return dp;
}

std::uint64_t StreamSize(const DataParameters& dp, std::uint32_t destinationCapacity) {
    return destinationCapacity - dp.OutBytesRemaining + dp.OutBytesDropped;
}

} // namespace

// The optimal parse is exact only within its blocks, so the fast parse is measured too and
// written instead when it comes out smaller. A stream cut off at the end of the destination would
// lose data, so that fails rather than go unnoticed.
std::uint32_t PkCompress(const std::uint8_t* source, std::uint32_t sourceSize,
                         std::uint8_t* destination, std::uint32_t destinationCapacity,
                         PkParse parse) {
    DataParameters dp = Encode(source, sourceSize, destination, destinationCapacity, parse);
    if (parse == PkParse::Optimal &&
        StreamSize(dp, destinationCapacity) >
            StreamSize(Encode(source, sourceSize, destination, 0, PkParse::Fast), 0)) {
        dp = Encode(source, sourceSize, destination, destinationCapacity, PkParse::Fast);
    }
    Check(dp.OutBytesDropped == 0, "dp.OutBytesDropped == 0", kCompressLine + 1);
    return destinationCapacity - dp.OutBytesRemaining;
}

// The decoder pulls its input in chunks of up to 2048 bytes and stops at the end code; input left
// over beyond the chunk that held the end code means the stored size does not fit the stream.
// The stream itself fails on:
// - fewer than 4 bytes, which cannot hold the header and the end code (the 4 bytes of an empty
//   input's stream are accepted);
// - a literal coding other than 0 or 1, or dictionary bits other than 4 to 6;
// - a copy that reaches before the first output byte;
// - input that ends before the end code.
// Each raises the same assertion, and the destination holds whatever was written before it.
// Output beyond the destination is dropped: the caller compares the returned count with the size
// it expects.
std::uint32_t PkDecompress(const std::uint8_t* source, std::uint32_t sourceSize,
                           std::uint8_t* destination, std::uint32_t destinationCapacity) {
    DataParameters dp{source, sourceSize, destination, destinationCapacity, 0};
    const int result = Explode(ReadInput, WriteOutput, &dp);
    Check(result == CMP_NO_ERROR && dp.InBytesRemaining == 0,
          "result == CMP_NO_ERROR && dp.InBytesRemaining == 0", kDecompressLine);
    return destinationCapacity - dp.OutBytesRemaining;
}

namespace {

// ---- Code tables of the format. Each code is written first bit first.

// Length codes: base length, extra bits and code.
struct LengthCode {
    std::uint16_t base;
    std::uint8_t extraBits;
    const char* bits;
};

constexpr std::array<LengthCode, 16> kLengthCodes{{
    {3, 0, "11"},
    {2, 0, "101"},
    {4, 0, "100"},
    {5, 0, "011"},
    {6, 0, "0101"},
    {7, 0, "0100"},
    {8, 0, "0011"},
    {9, 0, "00101"},
    {10, 1, "00100"},
    {12, 2, "00011"},
    {16, 3, "00010"},
    {24, 4, "000011"},
    {40, 5, "000010"},
    {72, 6, "000001"},
    {136, 7, "0000001"},
    {264, 8, "0000000"},
}};

// Codes of the high part of a distance, 0 to 63.
constexpr std::array<const char*, 64> kDistanceCodes{
    "11",       "1011",     "1010",     "10011",    "10010",    "10001",    "10000",    "011111",
    "011110",   "011101",   "011100",   "011011",   "011010",   "011001",   "011000",   "010111",
    "010110",   "010101",   "010100",   "010011",   "010010",   "010001",   "0100001",  "0100000",
    "0011111",  "0011110",  "0011101",  "0011100",  "0011011",  "0011010",  "0011001",  "0011000",
    "0010111",  "0010110",  "0010101",  "0010100",  "0010011",  "0010010",  "0010001",  "0010000",
    "0001111",  "0001110",  "0001101",  "0001100",  "0001011",  "0001010",  "0001001",  "0001000",
    "00001111", "00001110", "00001101", "00001100", "00001011", "00001010", "00001001", "00001000",
    "00000111", "00000110", "00000101", "00000100", "00000011", "00000010", "00000001", "00000000",
};

// Literal codes of the ASCII coding, by byte value.
constexpr std::array<const char*, 256> kLiteralCodes{
    "00001001001",   "000001111111",  "000001111110",  "000001111101",  "000001111100",
    "000001111011",  "000001111010",  "000001111001",  "000001111000",  "00011101",
    "0100011",       "000001110111",  "000001110110",  "0100010",       "000001110101",
    "000001110100",  "000001110011",  "000001110010",  "000001110001",  "000001110000",
    "000001101111",  "000001101110",  "000001101101",  "000001101100",  "000001101011",
    "000001101010",  "0000001001001", "000001101001",  "000001101000",  "000001100111",
    "000001100110",  "000001100101",  "1111",          "0000101001",    "00011100",
    "000001100100",  "0000101000",    "000001100011",  "0000100111",    "00011011",
    "0100001",       "0100000",       "00011010",      "000011011",     "0011111",
    "100101",        "0011110",       "00011001",      "0011101",       "100100",
    "0011100",       "0011011",       "0011010",       "0011001",       "00011000",
    "0011000",       "0010111",       "00010111",      "00010110",      "000001100010",
    "00001001000",   "0010110",       "000011010",     "00001000111",   "000001100001",
    "100011",        "0010101",       "100010",        "100001",        "11101",
    "0010100",       "00010101",      "00010100",      "100000",        "00001000110",
    "000011001",     "011111",        "0010011",       "011110",        "011101",
    "0010010",       "00001000101",   "011100",        "011011",        "011010",
    "0010001",       "000011000",     "00010011",      "000010111",     "000010110",
    "00001000100",   "00010010",      "00001000011",   "000010101",     "000001100000",
    "00010001",      "000001011111",  "11100",         "011001",        "011000",
    "010111",        "11011",         "010110",        "010101",        "010100",
    "11010",         "00001000010",   "0010000",       "11001",         "010011",
    "11000",         "10111",         "010010",        "0000100110",    "10110",
    "10101",         "10100",         "10011",         "00010000",      "0001111",
    "00001111",      "00001110",      "0000100101",    "00001000001",   "00001000000",
    "000001011110",  "000001011101",  "000001011100",  "0000001001000", "0000001000111",
    "0000001000110", "0000001000101", "0000001000100", "0000001000011", "0000001000010",
    "0000001000001", "0000001000000", "0000000111111", "0000000111110", "0000000111101",
    "0000000111100", "0000000111011", "0000000111010", "0000000111001", "0000000111000",
    "0000000110111", "0000000110110", "0000000110101", "0000000110100", "0000000110011",
    "0000000110010", "0000000110001", "0000000110000", "0000000101111", "0000000101110",
    "0000000101101", "0000000101100", "0000000101011", "0000000101010", "0000000101001",
    "0000000101000", "0000000100111", "0000000100110", "0000000100101", "0000000100100",
    "0000000100011", "0000000100010", "0000000100001", "0000000100000", "0000000011111",
    "0000000011110", "0000000011101", "0000000011100", "0000000011011", "0000000011010",
    "0000000011001", "000001011011",  "000001011010",  "000001011001",  "000001011000",
    "000001010111",  "000001010110",  "000001010101",  "000001010100",  "000001010011",
    "000001010010",  "000001010001",  "000001010000",  "000001001111",  "000001001110",
    "000001001101",  "000001001100",  "000001001011",  "000001001010",  "000001001001",
    "000001001000",  "000001000111",  "000001000110",  "000001000101",  "000001000100",
    "000001000011",  "000001000010",  "000001000001",  "000001000000",  "000000111111",
    "000000111110",  "000000111101",  "000000111100",  "000000111011",  "000000111010",
    "000000111001",  "000000111000",  "000000110111",  "000000110110",  "000000110101",
    "000000110100",  "000000110011",  "000000110010",  "000000110001",  "000000110000",
    "000000101111",  "000000101110",  "000000101101",  "000000101100",  "0000000011000",
    "000000101011",  "0000000010111", "0000000010110", "0000000010101", "000000101010",
    "0000000010100", "0000000010011", "0000000010010", "000000101001",  "0000000010001",
    "0000000010000", "0000000001111", "0000000001110", "000000101000",  "0000000001101",
    "0000000001100", "0000000001011", "000000100111",  "000000100110",  "000000100101",
    "0000000001010", "0000000001001", "0000000001000", "0000000000111", "0000000000110",
    "0000000000101", "0000000000100", "0000000000011", "0000000000010", "0000000000001",
    "0000000000000",
};

constexpr unsigned kEndLength = 519;
constexpr unsigned kMaxLength = 518;
constexpr unsigned kMaxShortDistance = 256; // a copy of length 2 has only 2 low distance bits

// A code as the stream holds it: its bits in reading order from bit 0 up, and their count.
struct Code {
    std::uint16_t value = 0;
    std::uint8_t length = 0;
};

constexpr Code ParseCode(const char* bits) {
    Code code;
    for (; bits[code.length] != '\0'; ++code.length) {
        code.value |= static_cast<std::uint16_t>((bits[code.length] - '0') << code.length);
    }
    return code;
}

// Decoding by table: every bit pattern of the table's width whose leading bits are a code maps
// to that code's symbol and length. The tables are complete codes, so every entry is set.
struct DecodeEntry {
    std::uint8_t symbol = 0;
    std::uint8_t length = 0;
};

template <unsigned Bits, std::size_t Count, typename CodeOf>
constexpr std::array<DecodeEntry, 1u << Bits> MakeDecodeTable(CodeOf codeOf) {
    std::array<DecodeEntry, 1u << Bits> table{};
    for (std::size_t symbol = 0; symbol < Count; ++symbol) {
        const Code code = ParseCode(codeOf(symbol));
        for (unsigned high = 0; high < (1u << (Bits - code.length)); ++high) {
            table[code.value | high << code.length] = {static_cast<std::uint8_t>(symbol),
                                                       code.length};
        }
    }
    return table;
}

constexpr auto kLengthDecode =
    MakeDecodeTable<7, 16>([](std::size_t i) { return kLengthCodes[i].bits; });
constexpr auto kDistanceDecode =
    MakeDecodeTable<8, 64>([](std::size_t i) { return kDistanceCodes[i]; });
constexpr auto kLiteralDecode =
    MakeDecodeTable<13, 256>([](std::size_t i) { return kLiteralCodes[i]; });

// ---- Decoder.

// Pulls input through the read callback in chunks and serves it bit by bit. It keeps as many bits
// as it can (up to 64) so that one token never waits for a chunk in its middle.
class BitReader {
public:
    BitReader(ReadFunction read, void* param) : read_(read), param_(param) {}

    // Reads the first chunk; false if it holds fewer than the header and the shortest stream.
    bool Start() { return ReadChunk() && end_ - next_ >= 4; }

    std::uint8_t TakeByte() { return *next_++; }

    void Fill() {
        while (count_ <= 56 && (next_ != end_ || ReadChunk())) {
            bits_ |= std::uint64_t(*next_++) << count_;
            count_ += 8;
        }
    }

    // Missing bits past the end of the input read as 0; Skip reports whether they were there.
    unsigned Peek(unsigned count) const {
        return static_cast<unsigned>(bits_ & ((std::uint64_t(1) << count) - 1));
    }
    bool Skip(unsigned count) {
        if (count > count_) {
            return false;
        }
        bits_ >>= count;
        count_ -= count;
        return true;
    }
    bool Take(unsigned count, unsigned& value) {
        value = Peek(count);
        return Skip(count);
    }
    bool Decode(const DecodeEntry* table, unsigned width, unsigned& symbol) {
        const DecodeEntry entry = table[Peek(width)];
        symbol = entry.symbol;
        return Skip(entry.length);
    }

private:
    bool ReadChunk() {
        std::uint32_t count = sizeof(chunk_);
        count = read_(chunk_, &count, param_);
        next_ = chunk_;
        end_ = chunk_ + count;
        return count != 0;
    }

    ReadFunction read_;
    void* param_;
    std::uint8_t chunk_[2048];
    const std::uint8_t* next_ = chunk_;
    const std::uint8_t* end_ = chunk_;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

// The output window: the last 4096 bytes (the largest dictionary) in front of the block being
// filled. Full blocks go to the write callback and the window slides down.
class OutputWindow {
public:
    OutputWindow(WriteFunction write, void* param) : write_(write), param_(param) {}

    void Put(std::uint8_t byte) {
        buffer_[next_++] = byte;
        FlushIfFull();
    }

    // A copy may overlap the bytes it produces. Reaching before the first output byte is bad data.
    bool Copy(unsigned distance, unsigned length) {
        if (distance > produced_ + (next_ - kDictionary)) {
            return false;
        }
        std::uint8_t* to = buffer_ + next_;
        const std::uint8_t* from = to - distance;
        if (distance == 1) {
            std::memset(to, *from, length);
        } else {
            // A copy longer than its distance repeats the distance's bytes: each pass copies
            // everything written so far that is a whole number of repeats, doubling each time.
            for (unsigned done = 0; done < length;) {
                const unsigned chunk = std::min(length - done, distance + done);
                std::memcpy(to + done, from, chunk);
                done += chunk;
            }
        }
        next_ += length;
        FlushIfFull();
        return true;
    }

    void Finish() { WriteBlock(next_ - kDictionary); }

private:
    static constexpr unsigned kDictionary = 4096;
    static constexpr unsigned kBlock = 4096;

    void FlushIfFull() {
        if (next_ >= kDictionary + kBlock) {
            WriteBlock(kBlock);
            std::memmove(buffer_, buffer_ + kBlock, next_ - kBlock);
            next_ -= kBlock;
            produced_ += kBlock;
        }
    }

    void WriteBlock(std::uint32_t count) { write_(buffer_ + kDictionary, &count, param_); }

    WriteFunction write_;
    void* param_;
    std::uint8_t buffer_[kDictionary + kBlock + kMaxLength];
    unsigned next_ = kDictionary;
    std::uint64_t produced_ = 0; // bytes that have left the window's block
};

// Decodes one copy after its flag bit into length and distance; false on a truncated stream.
bool DecodeCopy(BitReader& in, unsigned dictionaryBits, unsigned& length, unsigned& distance) {
    unsigned code = 0;
    unsigned extra = 0;
    if (!in.Decode(kLengthDecode.data(), 7, code) ||
        !in.Take(kLengthCodes[code].extraBits, extra)) {
        return false;
    }
    length = kLengthCodes[code].base + extra;
    if (length == kEndLength) {
        return true;
    }
    const unsigned lowBits = length == 2 ? 2 : dictionaryBits;
    unsigned high = 0;
    unsigned low = 0;
    if (!in.Decode(kDistanceDecode.data(), 8, high) || !in.Take(lowBits, low)) {
        return false;
    }
    distance = (high << lowBits) + low + 1;
    return true;
}

int Explode(ReadFunction read, WriteFunction write, void* param) {
    BitReader in(read, param);
    if (!in.Start()) {
        return CMP_BAD_DATA;
    }
    const unsigned literalCoding = in.TakeByte();
    const unsigned dictionaryBits = in.TakeByte();
    if (literalCoding > 1) {
        return CMP_INVALID_MODE;
    }
    if (dictionaryBits < 4 || dictionaryBits > 6) {
        return CMP_INVALID_DICTSIZE;
    }
    OutputWindow out(write, param);
    for (;;) {
        in.Fill();
        unsigned isCopy = 0;
        unsigned value = 0;
        if (!in.Take(1, isCopy)) {
            return CMP_ABORT;
        }
        if (!isCopy) {
            const bool ok = literalCoding == 0 ? in.Take(8, value)
                                               : in.Decode(kLiteralDecode.data(), 13, value);
            if (!ok) {
                return CMP_ABORT;
            }
            out.Put(static_cast<std::uint8_t>(value));
            continue;
        }
        unsigned length = 0;
        unsigned distance = 0;
        if (!DecodeCopy(in, dictionaryBits, length, distance)) {
            return CMP_ABORT;
        }
        if (length == kEndLength) {
            break;
        }
        if (!out.Copy(distance, length)) {
            return CMP_BAD_DATA;
        }
    }
    out.Finish();
    return CMP_NO_ERROR;
}

// ---- Encoder.

constexpr unsigned kBinaryLiterals = 0;
constexpr unsigned kDictionaryBits = 6;
constexpr unsigned kDictionarySize = 64u << kDictionaryBits;
// The optimal parse chooses its copies for this many positions at a time.
constexpr unsigned kOptimalBlock = 4096;

// The bits of a whole length (code and extra bits) and of a distance high part, for writing.
constexpr std::array<Code, kEndLength + 1> MakeLengthEncodeTable() {
    std::array<Code, kEndLength + 1> table{};
    for (const LengthCode& entry : kLengthCodes) {
        const Code code = ParseCode(entry.bits);
        for (unsigned extra = 0; extra < (1u << entry.extraBits); ++extra) {
            table[entry.base + extra] = {
                static_cast<std::uint16_t>(code.value | extra << code.length),
                static_cast<std::uint8_t>(code.length + entry.extraBits)};
        }
    }
    return table;
}

constexpr std::array<Code, 64> MakeDistanceEncodeTable() {
    std::array<Code, 64> table{};
    for (unsigned high = 0; high < 64; ++high) {
        table[high] = ParseCode(kDistanceCodes[high]);
    }
    return table;
}

constexpr auto kLengthEncode = MakeLengthEncodeTable();
constexpr auto kDistanceEncode = MakeDistanceEncodeTable();

struct Match {
    unsigned length = 0;
    unsigned distance = 0;
};

// The low distance bits of a copy: only 2 for length 2.
constexpr unsigned LowDistanceBits(unsigned length) {
    return length == 2 ? 2 : kDictionaryBits;
}

// Bits a match takes in the stream, and the bits it saves over writing its bytes as literals.
constexpr unsigned MatchBits(Match match) {
    const unsigned lowBits = LowDistanceBits(match.length);
    return 1 + kLengthEncode[match.length].length +
           kDistanceEncode[(match.distance - 1) >> lowBits].length + lowBits;
}

constexpr int Saving(Match match) {
    return match.length < 2 ? 0 : int(9 * match.length) - int(MatchBits(match));
}

// Collects bits from bit 0 up and hands whole blocks to the write callback.
class BitWriter {
public:
    BitWriter(WriteFunction write, void* param) : write_(write), param_(param) {}

    void Put(std::uint32_t value, unsigned count) {
        bits_ |= std::uint64_t(value) << count_;
        count_ += count;
        if (count_ >= 32) {
            for (unsigned i = 0; i < 4; ++i) {
                buffer_[next_++] = static_cast<std::uint8_t>(bits_ >> (8 * i));
            }
            bits_ >>= 32;
            count_ -= 32;
            if (next_ >= kBlock) {
                Flush();
            }
        }
    }

    // Writes the last partial byte padded with zero bits, then everything held.
    void Finish() {
        for (; count_ > 0; count_ -= std::min(count_, 8u)) {
            buffer_[next_++] = static_cast<std::uint8_t>(bits_);
            bits_ >>= 8;
        }
        Flush();
    }

private:
    static constexpr unsigned kBlock = 4096;

    void Flush() {
        std::uint32_t count = next_;
        write_(buffer_, &count, param_);
        next_ = 0;
    }

    WriteFunction write_;
    void* param_;
    std::uint8_t buffer_[kBlock + 8];
    unsigned next_ = 0;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

// The input seen through a sliding buffer: the dictionary behind the current position and enough
// ahead of it for the longest match at the next position. Positions are absolute offsets in the
// input, so the match finder's tables never need adjusting when the buffer slides.
class InputWindow {
public:
    InputWindow(ReadFunction read, void* param) : read_(read), param_(param) { Refill(0); }

    // Makes sure the bytes up to ahead past position are in the buffer, if the input has them;
    // by default those of the longest match at position + 1.
    void Refill(std::uint32_t position, std::uint32_t ahead = kLookahead) {
        if (exhausted_ || end_ - position > ahead) {
            return;
        }
        const std::uint32_t keep = position - std::min(position, kDictionarySize);
        std::memmove(buffer_, At(keep), end_ - keep);
        start_ = keep;
        while (!exhausted_ && end_ - start_ < kCapacity) {
            std::uint32_t count = kCapacity - (end_ - start_);
            count = read_(At(end_), &count, param_);
            end_ += count;
            exhausted_ = count == 0;
        }
    }

    const std::uint8_t* At(std::uint32_t position) const { return buffer_ + (position - start_); }
    std::uint8_t* At(std::uint32_t position) { return buffer_ + (position - start_); }
    std::uint32_t End() const { return end_; }
    bool IsDone(std::uint32_t position) const { return exhausted_ && position >= end_; }

    static constexpr std::uint32_t kLookahead = kMaxLength + 1;

private:
    static constexpr std::uint32_t kCapacity = 2 * kDictionarySize + kOptimalBlock + kLookahead;

    ReadFunction read_;
    void* param_;
    std::uint8_t buffer_[kCapacity];
    std::uint32_t start_ = 0;
    std::uint32_t end_ = 0;
    bool exhausted_ = false;
};

// Hash chains over the first two bytes of every position: the most recent position per hash and,
// per position, the previous one with the same hash. Entries hold position + 1; 0 is none.
class MatchFinder {
public:
    explicit MatchFinder(const InputWindow& input) : input_(input) {}

    // The longest match for position among the earlier positions (the nearest one when several
    // are equally long, as nearer distances take fewer bits).
    Match Find(std::uint32_t position) {
        Choices choices;
        const unsigned count = FindChoices(position, choices);
        const Match longest = count == 0 ? Match() : choices[count - 1];
        return longest.length > 2 || longest.distance <= kMaxShortDistance ? longest : Match();
    }

    static constexpr unsigned kMaxChain = 128;
    using Choices = std::array<Match, kMaxChain>;

    // The matches worth choosing between at position, by growing length: each the nearest one
    // of its length, as no copy costs fewer bits than one at a smaller distance. Returns their
    // count; a length of 2 at a distance beyond kMaxShortDistance cannot be written.
    unsigned FindChoices(std::uint32_t position, Choices& choices) {
        InsertUpTo(position);
        const std::uint32_t available = std::min(input_.End() - position, kMaxLength);
        if (available < 2) {
            return 0;
        }
        const std::uint8_t* here = input_.At(position);
        std::uint32_t entry = head_[Hash(here)];
        unsigned count = 0;
        unsigned longest = 1;
        for (unsigned depth = 0; entry != 0 && depth < kMaxChain; ++depth) {
            const std::uint32_t candidate = entry - 1;
            const std::uint32_t distance = position - candidate;
            if (distance > kDictionarySize) {
                break;
            }
            const std::uint8_t* there = input_.At(candidate);
            if (there[longest] == here[longest]) {
                const unsigned length = CommonLength(here, there, available);
                if (length > longest) {
                    choices[count++] = {length, distance};
                    longest = length;
                    if (length >= std::min(available, kGoodLength)) {
                        break;
                    }
                }
            }
            entry = previous_[candidate % kChainSlots];
        }
        return count;
    }

private:
    static constexpr unsigned kHashBits = 15;
    static constexpr unsigned kChainSlots = 2 * kDictionarySize;
    static constexpr unsigned kGoodLength = 258;

    static unsigned Hash(const std::uint8_t* bytes) {
        return (std::uint32_t(bytes[0] << 8 | bytes[1]) * 0x9E3779B1u) >> (32 - kHashBits);
    }

    static unsigned CommonLength(const std::uint8_t* a, const std::uint8_t* b, unsigned limit) {
        unsigned length = 0;
        while (length + 8 <= limit) {
            std::uint64_t wordA;
            std::uint64_t wordB;
            std::memcpy(&wordA, a + length, 8);
            std::memcpy(&wordB, b + length, 8);
            if (wordA != wordB) {
                return length + static_cast<unsigned>(std::countr_zero(wordA ^ wordB)) / 8;
            }
            length += 8;
        }
        while (length < limit && a[length] == b[length]) {
            ++length;
        }
        return length;
    }

    void InsertUpTo(std::uint32_t position) {
        const std::uint32_t last = std::min(position, input_.End() - std::min(input_.End(), 1u));
        for (; inserted_ < last; ++inserted_) {
            const unsigned hash = Hash(input_.At(inserted_));
            previous_[inserted_ % kChainSlots] = head_[hash];
            head_[hash] = inserted_ + 1;
        }
    }

    const InputWindow& input_;
    std::uint32_t head_[1u << kHashBits] = {};
    std::uint32_t previous_[kChainSlots] = {};
    std::uint32_t inserted_ = 0;
};

void PutLiteral(BitWriter& out, std::uint8_t byte) {
    out.Put(std::uint32_t(byte) << 1, 9);
}

void PutMatch(BitWriter& out, Match match) {
    const unsigned lowBits = LowDistanceBits(match.length);
    const Code length = kLengthEncode[match.length];
    const Code high = kDistanceEncode[(match.distance - 1) >> lowBits];
    out.Put(1u | std::uint32_t(length.value) << 1, 1 + length.length);
    out.Put(high.value | ((match.distance - 1) & ((1u << lowBits) - 1)) << high.length,
            high.length + lowBits);
}

constexpr unsigned kLazyLimit = 64;

// Lazy matching: a match is put off by one literal when the match at the next position saves
// more bits; long matches are taken at once.
void ParseFast(InputWindow& input, MatchFinder& finder, BitWriter& out) {
    std::uint32_t position = 0;
    Match match = finder.Find(position);
    while (!input.IsDone(position)) {
        if (match.length < 2) {
            PutLiteral(out, *input.At(position));
            input.Refill(++position);
            match = finder.Find(position);
            continue;
        }
        if (match.length < kLazyLimit) {
            input.Refill(position + 1);
            const Match next = finder.Find(position + 1);
            if (Saving(next) > Saving(match)) {
                PutLiteral(out, *input.At(position));
                ++position;
                match = next;
                continue;
            }
        }
        PutMatch(out, match);
        position += match.length;
        input.Refill(position);
        match = finder.Find(position);
    }
}

// The cheapest stream for a block of positions: every position is reached at the least number
// of bits from the block's start, by a literal or by any length of the copies found there, then
// the path is walked back. A copy of kNiceLength or more ends the block and is taken as it is,
// which keeps long runs from trying every length at every position.
class OptimalParser {
public:
    OptimalParser(InputWindow& input, MatchFinder& finder, BitWriter& out)
        : input_(input), finder_(finder), out_(out) {}

    // Writes the block at start; returns the position after it.
    std::uint32_t EncodeBlock(std::uint32_t start) {
        input_.Refill(start, kOptimalBlock + InputWindow::kLookahead);
        const std::uint32_t size = std::min(kOptimalBlock, input_.End() - start);
        std::fill_n(nodes_, size + kMaxLength + 1, Node());
        nodes_[0].bits = 0;
        MatchFinder::Choices choices;
        for (std::uint32_t offset = 0; offset < size; ++offset) {
            const std::uint32_t bits = nodes_[offset].bits;
            Reach(offset + 1, bits + 9, {1, 0});
            const unsigned count = finder_.FindChoices(start + offset, choices);
            if (count > 0 && choices[count - 1].length >= kNiceLength) {
                Write(start, offset);
                PutMatch(out_, choices[count - 1]);
                return start + offset + choices[count - 1].length;
            }
            unsigned length = 2;
            for (unsigned choice = 0; choice < count; ++choice) {
                for (; length <= choices[choice].length; ++length) {
                    const Match match{length, choices[choice].distance};
                    if (length > 2 || match.distance <= kMaxShortDistance) {
                        Reach(offset + length, bits + MatchBits(match), match);
                    }
                }
            }
        }
        Write(start, size);
        return start + size;
    }

private:
    static constexpr unsigned kNiceLength = 128;

    // The cheapest way found to a position: its bits from the block's start and the token that
    // ends there (a literal has length 1); next links the chosen path forwards.
    struct Node {
        std::uint32_t bits = std::numeric_limits<std::uint32_t>::max();
        Match last;
        std::uint32_t next = 0;
    };

    void Reach(std::uint32_t offset, std::uint32_t bits, Match last) {
        if (bits < nodes_[offset].bits) {
            nodes_[offset].bits = bits;
            nodes_[offset].last = last;
        }
    }

    void Write(std::uint32_t start, std::uint32_t end) {
        for (std::uint32_t offset = end; offset > 0; offset -= nodes_[offset].last.length) {
            nodes_[offset - nodes_[offset].last.length].next = offset;
        }
        for (std::uint32_t offset = 0; offset < end; offset = nodes_[offset].next) {
            const Match& token = nodes_[nodes_[offset].next].last;
            if (token.length == 1) {
                PutLiteral(out_, *input_.At(start + offset));
            } else {
                PutMatch(out_, token);
            }
        }
    }

    InputWindow& input_;
    MatchFinder& finder_;
    BitWriter& out_;
    Node nodes_[kOptimalBlock + kMaxLength + 1];
};

int Implode(ReadFunction read, WriteFunction write, void* param, PkParse parse) {
    InputWindow input(read, param);
    MatchFinder finder(input);
    BitWriter out(write, param);
    out.Put(kBinaryLiterals, 8);
    out.Put(kDictionaryBits, 8);
    if (parse == PkParse::Fast) {
        ParseFast(input, finder, out);
    } else {
        OptimalParser parser(input, finder, out);
        for (std::uint32_t position = 0; !input.IsDone(position);) {
            position = parser.EncodeBlock(position);
        }
    }
    const Code end = kLengthEncode[kEndLength];
    out.Put(1u | std::uint32_t(end.value) << 1, 1 + end.length);
    out.Finish();
    return CMP_NO_ERROR;
}

} // namespace
} // namespace Ostrel::Trova
