// The Windows realisation of the platform layer.

#include "Util/Platform.h"

#include "Util/Text.h"

#include <windows.h>

namespace Ostrel::Util::Platform {

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}

FileHandle OpenFile(const std::string& path, Access access, Disposition disposition,
                    std::string& errorText) {
    const DWORD desired = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = access == Access::Read ? FILE_SHARE_READ : 0;
    const DWORD create = disposition == Disposition::OpenExisting ? OPEN_EXISTING
                         : disposition == Disposition::CreateNew  ? CREATE_NEW
                                                                  : CREATE_ALWAYS;
    HANDLE handle = CreateFileA(path.c_str(), desired, share, nullptr, create, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errorText = LastErrorText();
        return kInvalidHandle;
    }
    if (disposition != Disposition::OpenExisting) {
        NoteCreated(path);
    }
    return reinterpret_cast<FileHandle>(handle);
}

void CloseFile(FileHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool ReadExact(FileHandle handle, void* buffer, std::uint32_t count) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(handle), buffer, count, &done, nullptr) &&
           done == count;
}

bool WriteExact(FileHandle handle, const void* buffer, std::uint32_t count) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(handle), buffer, count, &done, nullptr) &&
           done == count;
}

bool Seek(FileHandle handle, std::uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(reinterpret_cast<HANDLE>(handle), distance, nullptr, FILE_BEGIN);
}

bool Tell(FileHandle handle, std::uint64_t& position) {
    LARGE_INTEGER zero{}, current{};
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(handle), zero, &current, FILE_CURRENT)) {
        return false;
    }
    position = static_cast<std::uint64_t>(current.QuadPart);
    return true;
}

bool Size(FileHandle handle, std::uint64_t& size) {
    LARGE_INTEGER result{};
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &result)) {
        return false;
    }
    size = static_cast<std::uint64_t>(result.QuadPart);
    return true;
}

bool TruncateAtPosition(FileHandle handle) {
    return SetEndOfFile(reinterpret_cast<HANDLE>(handle)) != 0;
}

std::string LastErrorText() {
    char buffer[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer,
                   nullptr);
    return buffer;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
    const bool made = CreateDirectoryA(path.c_str(), nullptr);
    if (made) {
        NoteCreated(path);
    }
    return made;
}

bool RemoveFile(const std::string& path) {
    const bool removed = DeleteFileA(path.c_str());
    if (removed) {
        NoteRemoved(path);
    }
    return removed;
}

bool RenameFile(const std::string& source, const std::string& target) {
    const bool renamed = MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (renamed) {
        NoteRemoved(source);
        NoteCreated(target);
    }
    return renamed;
}

std::uint64_t FileModificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

std::vector<DirectoryEntry> ListDirectory(const std::string& directory,
                                          const std::string& patterns) {
    std::vector<DirectoryEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != ".." && MatchesAny(patterns, name)) {
            entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

FileHandle OpenChangeHandle(const std::string& directory, std::uint32_t filter) {
    HANDLE handle = FindFirstChangeNotificationA(directory.c_str(), FALSE, filter);
    return handle == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<FileHandle>(handle);
}

bool RearmChangeHandle(FileHandle handle) {
    return FindNextChangeNotification(reinterpret_cast<HANDLE>(handle));
}

void CloseChangeHandle(FileHandle handle) {
    FindCloseChangeNotification(reinterpret_cast<HANDLE>(handle));
}

FileHandle CreateEvent() {
    return reinterpret_cast<FileHandle>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

void SetEvent(FileHandle event) {
    ::SetEvent(reinterpret_cast<HANDLE>(event));
}

void ConsumeEvent(FileHandle) {}

void CloseEvent(FileHandle event) {
    CloseHandle(reinterpret_cast<HANDLE>(event));
}

int WaitForAny(const std::vector<FileHandle>& handles, int timeoutMs) {
    std::vector<HANDLE> waitable;
    for (FileHandle handle : handles) {
        waitable.push_back(reinterpret_cast<HANDLE>(handle));
    }
    const DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), FALSE,
                               timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (result == WAIT_TIMEOUT) {
        return kWaitTimeout;
    }
    return result < WAIT_OBJECT_0 + waitable.size() ? static_cast<int>(result - WAIT_OBJECT_0)
                                                    : kWaitFailed;
}

void SetIdlePriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

std::string TempDirectory() {
    char buffer[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    return length == 0 || length >= MAX_PATH ? std::string(".\\") : std::string(buffer, length);
}

} // namespace Ostrel::Util::Platform
