#include "Util/MemoryStream.h"

#include "Util/Exception.h"

#include <cstring>

namespace Ostrel::Util {

void MemoryStream::Read(std::uint32_t count, void* buffer) {
    if (position_ > bytes_.size() || bytes_.size() - position_ < count) {
        throw XFileRead(name_);
    }
    if (count != 0) {
        std::memcpy(buffer, bytes_.data() + position_, count);
    }
    position_ += count;
}

void MemoryStream::Write(std::uint32_t count, const void* buffer) {
    const std::uint64_t end = position_ + count;
    if (end > bytes_.max_size()) {
        throw XFileWrite(name_);
    }
    if (end > bytes_.size()) {
        bytes_.resize(end);
    }
    if (count != 0) {
        std::memcpy(bytes_.data() + position_, buffer, count);
    }
    position_ = end;
}

} // namespace Ostrel::Util
