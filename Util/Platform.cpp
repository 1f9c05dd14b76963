#include "Util/Platform.h"

#include "Util/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Ostrel::Util::Platform {

namespace {

// Splits an absolute path into its root ("/" or "C:\") and its components.
struct SplitPath {
    std::string root;
    std::vector<std::string> components;
};

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

SplitPath Split(const std::string& absolute) {
#ifdef _WIN32
    SplitPath split{absolute.substr(0, 3), {}};
#else
    SplitPath split{std::string(1, kPathSeparator), {}};
#endif
    std::string component;
    for (std::size_t i = split.root.size(); i <= absolute.size(); ++i) {
        if (i == absolute.size() || IsSeparator(absolute[i])) {
            if (!component.empty()) {
                split.components.push_back(component);
            }
            component.clear();
        } else {
            component += absolute[i];
        }
    }
    return split;
}

std::string Join(const std::string& root, const std::vector<std::string>& components) {
    std::string joined = root;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i != 0) {
            joined += kPathSeparator;
        }
        joined += components[i];
    }
    return joined;
}

std::string CurrentDirectory() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
#else
    std::vector<char> buffer(kMaxPath);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
#endif
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
    return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]);
#else
    return !path.empty() && path[0] == '/';
#endif
}

} // namespace

bool GetFullPath(const std::string& path, std::string& fullPath, std::size_t& lastComponent) {
    if (path.empty()) {
        return false;
    }
    std::string absolute = path;
    if (!IsAbsolute(path)) {
        const std::string current = CurrentDirectory();
        if (current.empty()) {
            return false;
        }
        absolute = current + kPathSeparator + path;
    }
    SplitPath split = Split(absolute);
    std::vector<std::string> normalised;
    for (const std::string& component : split.components) {
        if (component == ".") {
            continue;
        }
        if (component == "..") {
            if (!normalised.empty()) {
                normalised.pop_back();
            }
            continue;
        }
        normalised.push_back(component);
    }
    fullPath = Join(split.root, normalised);
    if (fullPath.size() >= kMaxPath) {
        return false;
    }
    lastComponent =
        normalised.empty() ? std::string::npos : fullPath.size() - normalised.back().size();
    return true;
}

std::string ResolveCase(const std::string& path) {
    std::string full;
    std::size_t last = 0;
    if (!GetFullPath(path, full, last) || IsFile(full) || IsDirectory(full)) {
        return path;
    }
    SplitPath split = Split(full);
    std::vector<std::string> resolved;
    for (const std::string& component : split.components) {
        const std::string parent = Join(split.root, resolved);
        resolved.push_back(component);
        const std::string exact = Join(split.root, resolved);
        if (IsFile(exact) || IsDirectory(exact)) {
            continue;
        }
        const std::vector<DirectoryEntry> entries = ListDirectory(parent);
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
            return CompareNoCase(entry.name, component) == 0;
        });
        if (match != entries.end()) {
            resolved.back() = match->name;
        }
    }
    return Join(split.root, resolved);
}

#ifdef _WIN32

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

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr);
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str());
}

bool RenameFile(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
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

#else

FileHandle OpenFile(const std::string& path, Access access, Disposition disposition,
                    std::string& errorText) {
    int flags = access == Access::Read ? O_RDONLY : O_RDWR;
    if (disposition == Disposition::CreateNew) {
        flags |= O_CREAT | O_EXCL;
    } else if (disposition == Disposition::CreateAlways) {
        flags |= O_CREAT | O_TRUNC;
    }
    const int descriptor = open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        errorText = LastErrorText();
        return kInvalidHandle;
    }
    // A directory opens for reading on POSIX but is no file to read.
    struct stat status;
    if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(descriptor);
        errno = EISDIR;
        errorText = LastErrorText();
        return kInvalidHandle;
    }
    return descriptor;
}

void CloseFile(FileHandle handle) {
    close(static_cast<int>(handle));
}

bool ReadExact(FileHandle handle, void* buffer, std::uint32_t count) {
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        const ssize_t done = read(static_cast<int>(handle), bytes, count);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes += done;
        count -= static_cast<std::uint32_t>(done);
    }
    return true;
}

bool WriteExact(FileHandle handle, const void* buffer, std::uint32_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t done = write(static_cast<int>(handle), bytes, count);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes += done;
        count -= static_cast<std::uint32_t>(done);
    }
    return true;
}

bool Seek(FileHandle handle, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    return lseek(static_cast<int>(handle), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool Tell(FileHandle handle, std::uint64_t& position) {
    const off_t offset = lseek(static_cast<int>(handle), 0, SEEK_CUR);
    if (offset < 0) {
        return false;
    }
    position = static_cast<std::uint64_t>(offset);
    return true;
}

bool Size(FileHandle handle, std::uint64_t& size) {
    struct stat status;
    if (fstat(static_cast<int>(handle), &status) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool TruncateAtPosition(FileHandle handle) {
    std::uint64_t position = 0;
    return Tell(handle, position) &&
           ftruncate(static_cast<int>(handle), static_cast<off_t>(position)) == 0;
}

std::string LastErrorText() {
    return std::string(std::strerror(errno)) + '\n';
}

bool IsFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool CreateDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& source, const std::string& target) {
    return rename(source.c_str(), target.c_str()) == 0;
}

std::uint64_t FileModificationTime(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(status.st_mtim.tv_nsec);
}

std::vector<DirectoryEntry> ListDirectory(const std::string& directory,
                                          const std::string& patterns) {
    std::vector<DirectoryEntry> entries;
    DIR* stream = opendir(directory.c_str());
    if (!stream) {
        return entries;
    }
    std::string prefix = directory;
    if (prefix.empty() || prefix.back() != kPathSeparator) {
        prefix += kPathSeparator;
    }
    while (const dirent* entry = readdir(stream)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchesAny(patterns, name)) {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            isDirectory = IsDirectory(prefix + name);
        }
        entries.push_back({name, isDirectory});
    }
    closedir(stream);
    return entries;
}

namespace {

std::uint32_t InotifyMask(std::uint32_t filter) {
    constexpr std::uint32_t kNames = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    std::uint32_t mask = 0;
    if (filter & (kNotifyFileName | kNotifyDirectoryName)) {
        mask |= kNames;
    }
    if (filter & kNotifyLastWrite) {
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    }
    if (filter & kNotifySize) {
        mask |= IN_MODIFY;
    }
    if (filter & (kNotifyAttributes | kNotifySecurity)) {
        mask |= IN_ATTRIB;
    }
    return mask;
}

} // namespace

// Each change handle is an inotify instance of its own with one watch, so that it can be waited
// on like any other handle.
FileHandle OpenChangeHandle(const std::string& directory, std::uint32_t filter) {
    const int instance = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (instance < 0) {
        return kInvalidHandle;
    }
    if (inotify_add_watch(instance, directory.c_str(), InotifyMask(filter) | IN_ONLYDIR) < 0) {
        close(instance);
        return kInvalidHandle;
    }
    return instance;
}

bool RearmChangeHandle(FileHandle handle) {
    alignas(inotify_event) char buffer[4096];
    while (read(static_cast<int>(handle), buffer, sizeof buffer) > 0) {
    }
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

void CloseChangeHandle(FileHandle handle) {
    close(static_cast<int>(handle));
}

FileHandle CreateEvent() {
    return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void SetEvent(FileHandle event) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(static_cast<int>(event), &one, sizeof one);
}

void ConsumeEvent(FileHandle event) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t done = read(static_cast<int>(event), &count, sizeof count);
}

void CloseEvent(FileHandle event) {
    close(static_cast<int>(event));
}

int WaitForAny(const std::vector<FileHandle>& handles, int timeoutMs) {
    std::vector<pollfd> descriptors;
    for (FileHandle handle : handles) {
        descriptors.push_back({static_cast<int>(handle), POLLIN, 0});
    }
    int ready;
    do {
        ready = poll(descriptors.data(), descriptors.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return kWaitTimeout;
    }
    for (std::size_t i = 0; ready > 0 && i < descriptors.size(); ++i) {
        if (descriptors[i].revents & (POLLERR | POLLNVAL)) {
            return kWaitFailed;
        }
        if (descriptors[i].revents & POLLIN) {
            return static_cast<int>(i);
        }
    }
    return kWaitFailed;
}

void SetIdlePriority() {
    sched_param parameters{};
    sched_setscheduler(0, SCHED_IDLE, &parameters);
}

std::string TempDirectory() {
    const char* variable = std::getenv("TMPDIR");
    std::string directory = variable && *variable ? variable : "/tmp";
    if (directory.back() != kPathSeparator) {
        directory += kPathSeparator;
    }
    return directory;
}

#endif

std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace Ostrel::Util::Platform
