#pragma once

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Ostrel::Util {

// Access, sharing and disposition values as the Windows file API defines them, so that callers
// say what they mean in the same terms on every platform.
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericReadWrite = 0xC0000000;
inline constexpr std::uint32_t kShareNone = 0;
inline constexpr std::uint32_t kShareRead = 1;
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;

class BinaryFile : public BinaryStream {
public:
    BinaryFile(const std::string& pathName, std::uint32_t access, std::uint32_t share,
               std::uint32_t disposition);
    ~BinaryFile() override;
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    void Read(std::uint32_t count, void* buffer) override;
    void Write(std::uint32_t count, const void* buffer) override;
    std::uint64_t GetPosition() override;
    void SetPosition(std::uint64_t position) override;
    std::uint64_t GetSize() override;
    bool IsAtEnd() override;
    std::string GetName() const override;
    // Ends the file at the current position.
    virtual void Truncate();
    // Forces what was written to the disk.
    void Flush();

private:
    struct Record;
    std::unique_ptr<Record> record_;
};

CountedPtr<BinaryFile> OpenForRead(const std::string& name);
CountedPtr<BinaryFile> OpenForUpdate(const std::string& name);
CountedPtr<BinaryFile> CreateNew(const std::string& name);
CountedPtr<BinaryFile> CreateAlways(const std::string& name);
CountedPtr<BinaryFile> Create(const std::string& name, bool overwrite);

// True when the path names an existing object that is not a directory.
bool FileExists(const std::string& name);

} // namespace Ostrel::Util
