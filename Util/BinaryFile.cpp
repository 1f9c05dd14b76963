#include "Util/BinaryFile.h"

#include "Util/Exception.h"
#include "Util/Platform.h"

namespace Ostrel::Util {

struct BinaryFile::Record {
    Platform::FileHandle handle = Platform::kInvalidHandle;
    std::string pathName;
};

namespace {

Platform::Disposition ToDisposition(std::uint32_t disposition) {
    switch (disposition) {
    case kCreateNew:
        return Platform::Disposition::CreateNew;
    case kCreateAlways:
        return Platform::Disposition::CreateAlways;
    default:
        return Platform::Disposition::OpenExisting;
    }
}

} // namespace

BinaryFile::BinaryFile(const std::string& pathName, std::uint32_t access, std::uint32_t,
                       std::uint32_t disposition)
    : record_(std::make_unique<Record>()) {
    std::size_t lastComponent = 0;
    if (!Platform::GetFullPath(pathName, record_->pathName, lastComponent)) {
        throw XFileOpen(pathName, "");
    }
    const auto mode = access == kGenericRead ? Platform::Access::Read : Platform::Access::ReadWrite;
    std::string errorText;
    record_->handle =
        Platform::OpenFile(record_->pathName, mode, ToDisposition(disposition), errorText);
    if (record_->handle == Platform::kInvalidHandle) {
        throw XFileOpen(record_->pathName, errorText);
    }
}

BinaryFile::~BinaryFile() {
    if (record_->handle != Platform::kInvalidHandle) {
        Platform::CloseFile(record_->handle);
    }
}

void BinaryFile::Read(std::uint32_t count, void* buffer) {
    if (!Platform::ReadExact(record_->handle, buffer, count)) {
        throw XFileRead(record_->pathName);
    }
}

void BinaryFile::Write(std::uint32_t count, const void* buffer) {
    if (!Platform::WriteExact(record_->handle, buffer, count)) {
        throw XFileWrite(record_->pathName);
    }
}

std::uint64_t BinaryFile::GetPosition() {
    std::uint64_t position = 0;
    if (!Platform::Tell(record_->handle, position)) {
        throw XFileSeek(record_->pathName);
    }
    return position;
}

void BinaryFile::SetPosition(std::uint64_t position) {
    if (!Platform::Seek(record_->handle, position)) {
        throw XFileSeek(record_->pathName);
    }
}

std::uint64_t BinaryFile::GetSize() {
    std::uint64_t size = 0;
    if (!Platform::Size(record_->handle, size)) {
        throw XFileSeek(record_->pathName);
    }
    return size;
}

bool BinaryFile::IsAtEnd() {
    return GetSize() == GetPosition();
}

std::string BinaryFile::GetName() const {
    return record_->pathName;
}

void BinaryFile::Truncate() {
    if (!Platform::TruncateAtPosition(record_->handle)) {
        throw XFileWrite(record_->pathName);
    }
}

void BinaryFile::Flush() {
    if (!Platform::FlushFile(record_->handle)) {
        throw XFileWrite(record_->pathName);
    }
}

CountedPtr<BinaryFile> OpenForRead(const std::string& name) {
    return CountedPtr<BinaryFile>(new BinaryFile(name, kGenericRead, kShareRead, kOpenExisting));
}

CountedPtr<BinaryFile> OpenForUpdate(const std::string& name) {
    return CountedPtr<BinaryFile>(
        new BinaryFile(name, kGenericReadWrite, kShareNone, kOpenExisting));
}

CountedPtr<BinaryFile> CreateNew(const std::string& name) {
    return CountedPtr<BinaryFile>(new BinaryFile(name, kGenericReadWrite, kShareNone, kCreateNew));
}

CountedPtr<BinaryFile> CreateAlways(const std::string& name) {
    return CountedPtr<BinaryFile>(
        new BinaryFile(name, kGenericReadWrite, kShareNone, kCreateAlways));
}

CountedPtr<BinaryFile> Create(const std::string& name, bool overwrite) {
    return overwrite ? CreateAlways(name) : CreateNew(name);
}

bool FileExists(const std::string& name) {
    return Platform::IsFile(name);
}

} // namespace Ostrel::Util
