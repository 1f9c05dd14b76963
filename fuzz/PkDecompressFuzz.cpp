// Expands arbitrary bytes. The first two bytes choose the destination capacity (so that short and
// exact destinations are both explored); the rest is the stream. Any outcome but a crash, a hang,
// a sanitizer report or an exception other than the codec's assertion is a fault.

#include "Trova/PkCompression.h"
#include "Util/Exception.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint32_t capacity = std::uint32_t(data[0]) << 8 | data[1];
    std::vector<std::uint8_t> destination(capacity);
    try {
        const std::uint32_t written = Ostrel::Trova::PkDecompress(
            data + 2, static_cast<std::uint32_t>(size - 2), destination.data(), capacity);
        if (written > capacity) {
            __builtin_trap();
        }
    } catch (const Ostrel::Util::XAssertion&) {
    }
    return 0;
}
