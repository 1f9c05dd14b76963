#include "Util/ReadAheadStream.h"

#include "Util/Exception.h"

#include <algorithm>
#include <cstring>

namespace Ostrel::Util {

ReadAheadStream::ReadAheadStream(CountedPtr<BinaryStream> source)
    : source_(std::move(source)), size_(source_->GetSize()), position_(source_->GetPosition()) {}

bool ReadAheadStream::WindowHolds(std::uint32_t count) const {
    return position_ >= windowStart_ && position_ + count <= windowStart_ + window_.size();
}

void ReadAheadStream::Read(std::uint32_t count, void* buffer) {
    if (position_ > size_ || size_ - position_ < count) {
        throw XFileRead(GetName());
    }
    if (count > kWindowSize) {
        source_->SetPosition(position_);
        source_->Read(count, buffer);
        position_ += count;
        return;
    }
    if (!WindowHolds(count)) {
        window_.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, size_ - position_)));
        windowStart_ = position_;
        source_->SetPosition(position_);
        source_->Read(static_cast<std::uint32_t>(window_.size()), window_.data());
    }
    if (count != 0) {
        std::memcpy(buffer, window_.data() + (position_ - windowStart_), count);
    }
    position_ += count;
}

void ReadAheadStream::Write(std::uint32_t, const void*) {
    throw XFileWrite(GetName());
}

} // namespace Ostrel::Util
