#pragma once

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Util {

// Reads another stream through a window of bytes, for readers that take many small headers and
// skip what lies between them: each small read or seek would otherwise be a call to the system.
// Read-only; the stream underneath must not change size while this one is read.
class ReadAheadStream : public BinaryStream {
public:
    static constexpr std::uint32_t kWindowSize = 4096;

    explicit ReadAheadStream(CountedPtr<BinaryStream> source);

    void Read(std::uint32_t count, void* buffer) override;
    // Always fails with XFileWrite.
    void Write(std::uint32_t count, const void* buffer) override;
    std::uint64_t GetPosition() override { return position_; }
    void SetPosition(std::uint64_t position) override { position_ = position; }
    std::uint64_t GetSize() override { return size_; }
    bool IsAtEnd() override { return position_ == size_; }
    std::string GetName() const override { return source_->GetName(); }

private:
    bool WindowHolds(std::uint32_t count) const;

    CountedPtr<BinaryStream> source_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    std::uint64_t windowStart_ = 0;
    std::vector<std::uint8_t> window_;
};

} // namespace Ostrel::Util
