#pragma once

#include "Util/BinaryStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Util {

// A stream over bytes in memory, with the same failure rules as a file: reading past the end
// throws XFileRead, seeking past the end is allowed and writing there extends the bytes.
class MemoryStream : public BinaryStream {
public:
    explicit MemoryStream(std::string name, std::vector<std::uint8_t> bytes = {})
        : name_(std::move(name)), bytes_(std::move(bytes)) {}

    void Read(std::uint32_t count, void* buffer) override;
    void Write(std::uint32_t count, const void* buffer) override;
    std::uint64_t GetPosition() override { return position_; }
    void SetPosition(std::uint64_t position) override { position_ = position; }
    std::uint64_t GetSize() override { return bytes_.size(); }
    bool IsAtEnd() override { return position_ == bytes_.size(); }
    std::string GetName() const override { return name_; }

    const std::vector<std::uint8_t>& GetBytes() const { return bytes_; }

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

} // namespace Ostrel::Util
