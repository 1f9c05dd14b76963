#include "Trova/UncompressedSubFile.h"

#include "Util/Exception.h"

#include <algorithm>

namespace Ostrel::Trova {

namespace {

// A directory entry may claim more bytes than the archive holds; readers size their buffers by
// the stream, so the member ends where the archive's bytes do.
std::uint64_t HeldSize(Util::BinaryStream& archive, std::uint64_t start, std::uint64_t claimed) {
    const std::uint64_t length = archive.GetSize();
    return start >= length ? 0 : std::min(claimed, length - start);
}

} // namespace

using Util::XFileRead;
using Util::XFileSeek;
using Util::XFileWrite;

UncompressedSubFile::UncompressedSubFile(Util::CountedPtr<Util::BinaryStream> archive,
                                         std::string name, std::uint64_t start, std::uint64_t size)
    : archive_(std::move(archive)), name_(std::move(name)), size_(HeldSize(*archive_, start, size)),
      start_(start) {}

void UncompressedSubFile::Read(std::uint32_t count, void* buffer) {
    if (position_ + count > size_) {
        throw XFileRead(name_);
    }
    SetPosition(position_);
    try {
        archive_->Read(count, buffer);
    } catch (const XFileRead&) {
        throw XFileRead(name_);
    }
    position_ += count;
}

void UncompressedSubFile::Write(std::uint32_t count, const void* buffer) {
    // A member recorded beyond the archive's end is refused rather than written there: that
    // would stretch the archive with a gap up to the stored offset.
    if (position_ + count > size_ || start_ + position_ + count > archive_->GetSize()) {
        throw XFileWrite(name_);
    }
    SetPosition(position_);
    try {
        archive_->Write(count, buffer);
    } catch (const XFileWrite&) {
        throw XFileWrite(name_);
    }
    position_ += count;
}

void UncompressedSubFile::SetPosition(std::uint64_t position) {
    if (position > size_) {
        throw XFileSeek(name_);
    }
    try {
        archive_->SetPosition(start_ + position);
    } catch (const XFileSeek&) {
        throw XFileSeek(name_);
    }
    position_ = position;
}

} // namespace Ostrel::Trova
