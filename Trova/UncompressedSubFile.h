#pragma once

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>

namespace Ostrel::Trova {

// One stored member of an archive as a stream of its own. All members of an archive share the
// archive's stream; each transfer first moves that stream to this member's own position, so
// several members may be read in any interleaving. Failures name the member, not the archive. A
// member that claims bytes beyond the archive's end is cut to the bytes that exist.
class UncompressedSubFile : public Util::BinaryStream {
public:
    UncompressedSubFile(Util::CountedPtr<Util::BinaryStream> archive, std::string name,
                        std::uint64_t start, std::uint64_t size);

    void Read(std::uint32_t count, void* buffer) override;
    void Write(std::uint32_t count, const void* buffer) override;
    std::uint64_t GetPosition() override { return position_; }
    void SetPosition(std::uint64_t position) override;
    std::uint64_t GetSize() override { return size_; }
    bool IsAtEnd() override { return position_ == size_; }
    std::string GetName() const override { return name_; }

private:
    Util::CountedPtr<Util::BinaryStream> archive_;
    std::string name_;
    std::uint64_t size_;
    std::uint64_t start_;
    std::uint64_t position_ = 0;
};

} // namespace Ostrel::Trova
