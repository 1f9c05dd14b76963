// The Windows realisation of the platform layer. Paths are UTF-8 inside the program and UTF-16 at
// the system's wide calls, so that names in any script work.

#include "Util/Platform.h"

#include "Util/Text.h"
#include "Util/WideText.h"

#include <windows.h>

#include <algorithm>

namespace Ostrel::Util::Platform {

namespace {

HANDLE Native(FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

FileHandle Portable(HANDLE handle) {
    return reinterpret_cast<FileHandle>(handle);
}

// Longer paths only reach the system with the "\\?\" prefix, which takes a full path as it is:
// the separators must be backslashes and "." and ".." are not resolved, so the system makes the
// full path first. Directories are limited to 12 characters fewer than files (room for an 8.3
// name).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

std::wstring FullWidePath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(length < size ? length : 0);
    return full.empty() ? path : full;
}

std::wstring SystemPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.size() < kPlainPathLimit || wide.starts_with(LR"(\\?\)")) {
        return wide;
    }
    const std::wstring full = FullWidePath(wide);
    return full.starts_with(LR"(\\)") ? LR"(\\?\UNC\)" + full.substr(2) : LR"(\\?\)" + full;
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesW(SystemPath(path).c_str());
}

} // namespace

std::string CurrentDirectory() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, buffer.data());
    return length == 0 || length >= size ? std::string() : Utf8FromWide(buffer.substr(0, length));
}

FileHandle OpenFile(const std::string& path, Access access, Disposition disposition,
                    std::string& errorText) {
    const DWORD desired = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    // As on POSIX, a file open for reading may be opened for update too (the same archive read
    // by one factory and edited through another), and a file being created may be removed while
    // open (by an interrupted process's clean-up).
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE |
                        (disposition == Disposition::CreateNew ? FILE_SHARE_DELETE : 0);
    const DWORD create = disposition == Disposition::OpenExisting ? OPEN_EXISTING
                         : disposition == Disposition::CreateNew  ? CREATE_NEW
                                                                  : CREATE_ALWAYS;
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), desired, share, nullptr, create,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errorText = LastErrorText();
        return kInvalidHandle;
    }
    // A device (CON, a named pipe) opens like a file, but reading it may wait for ever.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        errorText = "Not a regular file\n";
        return kInvalidHandle;
    }
    if (disposition != Disposition::OpenExisting) {
        NoteCreated(path);
    }
    return Portable(handle);
}

void CloseFile(FileHandle handle) {
    CloseHandle(Native(handle));
}

bool ReadExact(FileHandle handle, void* buffer, std::uint32_t count) {
    DWORD done = 0;
    return ReadFile(Native(handle), buffer, count, &done, nullptr) && done == count;
}

bool WriteExact(FileHandle handle, const void* buffer, std::uint32_t count) {
    DWORD done = 0;
    return WriteFile(Native(handle), buffer, count, &done, nullptr) && done == count;
}

bool Seek(FileHandle handle, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(Native(handle), distance, nullptr, FILE_BEGIN);
}

bool Tell(FileHandle handle, std::uint64_t& position) {
    LARGE_INTEGER zero{}, current{};
    if (!SetFilePointerEx(Native(handle), zero, &current, FILE_CURRENT)) {
        return false;
    }
    position = static_cast<std::uint64_t>(current.QuadPart);
    return true;
}

bool Size(FileHandle handle, std::uint64_t& size) {
    LARGE_INTEGER result{};
    if (!GetFileSizeEx(Native(handle), &result)) {
        return false;
    }
    size = static_cast<std::uint64_t>(result.QuadPart);
    return true;
}

bool TruncateAtPosition(FileHandle handle) {
    return SetEndOfFile(Native(handle)) != 0;
}

std::string LastErrorText() {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length == 0 ? std::string() : Utf8FromWide(std::wstring(buffer, length));
    LocalFree(buffer);
    // The system's texts end in a carriage return and a line feed; ours in a line feed alone.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text + '\n';
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string NameOnDisk(const std::string& path) {
    // A wildcard would find other names; no name on Windows holds one.
    if (path.find_first_of("*?") != std::string::npos) {
        return {};
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(SystemPath(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return {};
    }
    FindClose(find);
    return Utf8FromWide(data.cFileName);
}

bool MakeDirectory(const std::string& path) {
    const bool made = CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0;
    if (made) {
        NoteCreated(path);
    }
    return made;
}

bool RemoveFile(const std::string& path) {
    const bool removed = DeleteFileW(SystemPath(path).c_str()) != 0;
    if (removed) {
        NoteRemoved(path);
    }
    return removed;
}

namespace {

// A file that another writer is replacing at the same moment, or that a reader (a virus scanner,
// say) holds briefly, refuses to be replaced for a while: try again for up to a second.
bool MoveRetryingWhileBusy(const std::wstring& source, const std::wstring& target, DWORD flags) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), flags)) {
            return true;
        }
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!busy || !(flags & MOVEFILE_REPLACE_EXISTING) || attempt == 100) {
            return false;
        }
        Sleep(10);
    }
}

} // namespace

bool RenameFile(const std::string& source, const std::string& target, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    const bool renamed = MoveRetryingWhileBusy(SystemPath(source), SystemPath(target), flags);
    if (renamed) {
        NoteRemoved(source);
        NoteCreated(target);
    }
    return renamed;
}

bool MayWrite(const std::string& path, bool replace, std::string& errorText) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const bool readOnly =
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (replace && !readOnly) {
        return true;
    }
    SetLastError(replace ? ERROR_ACCESS_DENIED : ERROR_FILE_EXISTS);
    errorText = LastErrorText();
    return false;
}

bool FlushFile(FileHandle handle) {
    return FlushFileBuffers(Native(handle)) != 0;
}

// The rename was written through (MOVEFILE_WRITE_THROUGH): nothing is left to flush.
bool FlushDirectory(const std::string&) {
    return true;
}

// Windows keeps the rights in the directory's inheritable lists; what the user sets on a file
// are its attributes (read-only ones are refused before this).
void CopyPermissions(const std::string& original, const std::string& copy) {
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = Attributes(original);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD kept = attributes & kKept;
        SetFileAttributesW(SystemPath(copy).c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    }
}

namespace {

// The volume and index that identify a file whatever its name; false when it cannot be opened.
bool FileIdentity(const std::string& path, DWORD flags, BY_HANDLE_FILE_INFORMATION& identity) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(handle, &identity) != 0;
    CloseHandle(handle);
    return known;
}

} // namespace

bool IsSameFile(const std::string& path, const std::string& existing) {
    BY_HANDLE_FILE_INFORMATION named{}, file{};
    return FileIdentity(path, FILE_FLAG_OPEN_REPARSE_POINT, named) &&
           FileIdentity(existing, 0, file) &&
           named.dwVolumeSerialNumber == file.dwVolumeSerialNumber &&
           named.nFileIndexHigh == file.nFileIndexHigh && named.nFileIndexLow == file.nFileIndexLow;
}

std::uint32_t ProcessId() {
    return GetCurrentProcessId();
}

namespace {

void (*interruptionCleanup)() = nullptr;

// Runs on a thread of its own that the system starts; the process ends there and then, as it
// would on POSIX.
BOOL WINAPI OnConsoleControl(DWORD event) {
    interruptionCleanup();
    const bool interrupted = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    TerminateProcess(GetCurrentProcess(), interrupted ? 130 : 143);
    return TRUE;
}

} // namespace

void OnInterruption(void (*cleanup)()) {
    interruptionCleanup = cleanup;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

// The handler runs on an ordinary thread: the usual call will do. A temporary file still open
// is shared for deletion and goes when the process ends.
void RemoveFileUrgently(const char* path) {
    DeleteFileW(SystemPath(path).c_str());
}

std::uint64_t FileModificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

std::vector<DirectoryEntry> ListDirectory(const std::string& directory,
                                          const std::string& patterns) {
    std::vector<DirectoryEntry> entries;
    std::string search = directory;
    if (search.empty() || (search.back() != '\\' && search.back() != '/')) {
        search += kPathSeparator;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(SystemPath(search + '*').c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::string name = Utf8FromWide(data.cFileName);
        if (name != "." && name != ".." && MatchesAny(patterns, name)) {
            entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

FileHandle OpenChangeHandle(const std::string& directory, std::uint32_t filter) {
    HANDLE handle = FindFirstChangeNotificationW(SystemPath(directory).c_str(), FALSE, filter);
    return handle == INVALID_HANDLE_VALUE ? kInvalidHandle : Portable(handle);
}

bool RearmChangeHandle(FileHandle handle) {
    return FindNextChangeNotification(Native(handle)) != 0;
}

void CloseChangeHandle(FileHandle handle) {
    FindCloseChangeNotification(Native(handle));
}

// Unlike most handles, a failed event is a null handle, not INVALID_HANDLE_VALUE.
FileHandle NewEvent() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event == nullptr ? kInvalidHandle : Portable(event);
}

void SignalEvent(FileHandle event) {
    SetEvent(Native(event));
}

void ConsumeEvent(FileHandle) {}

void CloseEvent(FileHandle event) {
    CloseHandle(Native(event));
}

namespace {

// One wait of at most MAXIMUM_WAIT_OBJECTS handles: the leading handles (the stop and update
// events), then a chunk of the others. Returns the index in the whole list, or a wait result.
int WaitForChunk(const std::vector<FileHandle>& handles, std::size_t leading, std::size_t first,
                 DWORD timeoutMs) {
    constexpr std::size_t kChunk = MAXIMUM_WAIT_OBJECTS;
    std::vector<HANDLE> waitable;
    for (std::size_t index = 0; index < leading; ++index) {
        waitable.push_back(Native(handles[index]));
    }
    const std::size_t end = std::min(handles.size(), first + kChunk - leading);
    for (std::size_t index = first; index < end; ++index) {
        waitable.push_back(Native(handles[index]));
    }
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(waitable.size()),
                                                waitable.data(), FALSE, timeoutMs);
    if (result == WAIT_TIMEOUT) {
        return kWaitTimeout;
    }
    if (result < WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + waitable.size()) {
        return kWaitFailed;
    }
    const std::size_t ready = result - WAIT_OBJECT_0;
    return static_cast<int>(ready < leading ? ready : first + ready - leading);
}

} // namespace

// A wait takes at most MAXIMUM_WAIT_OBJECTS handles. With more, the handles after the first two
// are waited on in turns of one chunk each, every chunk together with the first two, so that the
// stop and update events are always heard; the turns are short so no chunk waits long unheard.
int WaitForAny(const std::vector<FileHandle>& handles, int timeoutMs) {
    constexpr std::size_t kLeading = 2;
    if (handles.size() <= MAXIMUM_WAIT_OBJECTS) {
        return WaitForChunk(handles, 0, 0, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    }
    constexpr DWORD kTurnMs = 50;
    const DWORD start = GetTickCount();
    while (true) {
        for (std::size_t first = kLeading; first < handles.size();
             first += MAXIMUM_WAIT_OBJECTS - kLeading) {
            const int result = WaitForChunk(handles, kLeading, first, 0);
            if (result != kWaitTimeout) {
                return result;
            }
        }
        if (timeoutMs >= 0 && GetTickCount() - start >= DWORD(timeoutMs)) {
            return kWaitTimeout;
        }
        const int result = WaitForChunk(handles, kLeading, kLeading, kTurnMs);
        if (result != kWaitTimeout) {
            return result;
        }
    }
}

void SetIdlePriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

std::string TempDirectory() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return length == 0 || length > MAX_PATH ? std::string(".\\")
                                            : Utf8FromWide(std::wstring(buffer, length));
}

} // namespace Ostrel::Util::Platform
