// The POSIX realisation of the platform layer.

#include "Util/Platform.h"

#include "Util/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Ostrel::Util::Platform {

namespace {
constexpr char kNotRegular[] = "Not a regular file\n";
} // namespace

std::string CurrentDirectory() {
    std::vector<char> buffer(kMaxPath);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
}

FileHandle OpenFile(const std::string& path, Access access, Disposition disposition,
                    std::string& errorText) {
    int flags = access == Access::Read ? O_RDONLY : O_RDWR;
    if (disposition == Disposition::CreateNew) {
        flags |= O_CREAT | O_EXCL;
    } else if (disposition == Disposition::CreateAlways) {
        flags |= O_CREAT | O_TRUNC;
    }
    // Without waiting: opening a named pipe would otherwise block until a writer comes.
    const int descriptor = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor < 0) {
        errorText = LastErrorText();
        return kInvalidHandle;
    }
    // A directory, pipe or device opens on POSIX but is no file to read: reading it may never end.
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        errorText = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) + std::string("\n")
                                            : std::string(kNotRegular);
        return kInvalidHandle;
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (disposition != Disposition::OpenExisting) {
        NoteCreated(path);
    }
    return descriptor;
}

void CloseFile(FileHandle handle) {
    close(static_cast<int>(handle));
}

namespace {

// Moves exactly count bytes with transfer (read or write), retrying when a signal interrupts it;
// a short count at the end of a file is a failure.
template <typename ByteT, typename TransferT>
bool TransferExact(FileHandle handle, ByteT* bytes, std::uint32_t count, TransferT transfer) {
    while (count > 0) {
        const ssize_t done = transfer(static_cast<int>(handle), bytes, count);
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

} // namespace

bool ReadExact(FileHandle handle, void* buffer, std::uint32_t count) {
    return TransferExact(handle, static_cast<char*>(buffer), count, read);
}

bool WriteExact(FileHandle handle, const void* buffer, std::uint32_t count) {
    return TransferExact(handle, static_cast<const char*>(buffer), count, write);
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

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool IsFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string NameOnDisk(const std::string& path) {
    return IsFile(path) || IsDirectory(path) ? path.substr(path.rfind('/') + 1) : std::string();
}

bool MakeDirectory(const std::string& path) {
    const bool made = mkdir(path.c_str(), 0777) == 0;
    if (made) {
        NoteCreated(path);
    }
    return made;
}

bool RemoveFile(const std::string& path) {
    const bool removed = unlink(path.c_str()) == 0;
    if (removed) {
        NoteRemoved(path);
    }
    return removed;
}

namespace {

// Never replaces: renameat2 where the file system has it, else a second name and the first
// removed (link fails on an existing name too).
bool RenameWithoutReplacing(const std::string& source, const std::string& target) {
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return false;
    }
    if (link(source.c_str(), target.c_str()) != 0) {
        return false;
    }
    unlink(source.c_str());
    return true;
}

} // namespace

bool RenameFile(const std::string& source, const std::string& target, bool replace) {
    const bool renamed = replace ? rename(source.c_str(), target.c_str()) == 0
                                 : RenameWithoutReplacing(source, target);
    if (renamed) {
        NoteRemoved(source);
        NoteCreated(target);
    }
    return renamed;
}

bool MayWrite(const std::string& path, bool replace, std::string& errorText) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        return true;
    }
    // The user, even with the rights to override it, marked the file as not to be changed.
    const bool readOnly = S_ISREG(status.st_mode) &&
                          ((status.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0);
    if (replace && !readOnly) {
        return true;
    }
    errorText = std::strerror(replace ? EACCES : EEXIST) + std::string("\n");
    return false;
}

bool FlushFile(FileHandle handle) {
    return fsync(static_cast<int>(handle)) == 0;
}

bool FlushDirectory(const std::string& directory) {
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool flushed = fsync(descriptor) == 0;
    close(descriptor);
    return flushed;
}

void CopyPermissions(const std::string& original, const std::string& copy) {
    struct stat status;
    if (lstat(original.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return;
    }
    // Only a privileged process may give the file away; the others keep it as theirs. The owner
    // goes first: changing it clears some mode bits.
    [[maybe_unused]] const int owned = chown(copy.c_str(), status.st_uid, status.st_gid);
    chmod(copy.c_str(), status.st_mode & 0777);
}

bool IsSameFile(const std::string& path, const std::string& existing) {
    struct stat named, file;
    return lstat(path.c_str(), &named) == 0 && stat(existing.c_str(), &file) == 0 &&
           named.st_dev == file.st_dev && named.st_ino == file.st_ino;
}

std::uint32_t ProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

namespace {

void (*interruptionCleanup)() = nullptr;

void OnInterruptionSignal(int signal) {
    interruptionCleanup();
    _exit(128 + signal);
}

} // namespace

void OnInterruption(void (*cleanup)()) {
    interruptionCleanup = cleanup;
    struct sigaction action {};
    action.sa_handler = OnInterruptionSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

void RemoveFileUrgently(const char* path) {
    unlink(path);
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

namespace {

struct ChangeWatch {
    int watch; // -1 once the directory is gone
    std::uint32_t mask;
};

// Change handles are eventfds over watches of one inotify instance: instances are few per user
// and shared with every program the user runs, watches are many. The waits read the instance and
// signal the handles its events concern. Guarded by changeWatchesMutex.
std::mutex changeWatchesMutex;
int sharedInstance = -1;
std::map<int, ChangeWatch> changeWatches; // by handle

bool WatchInUse(int watch) {
    return std::any_of(changeWatches.begin(), changeWatches.end(),
                       [&](const auto& entry) { return entry.second.watch == watch; });
}

void CloseInstanceWhenUnused() {
    if (changeWatches.empty() && sharedInstance >= 0) {
        close(sharedInstance);
        sharedInstance = -1;
    }
}

// A lost queue may have held anything for anyone; a removed directory's owner must look again.
bool Concerns(const ChangeWatch& watch, const inotify_event& event) {
    return (event.mask & IN_Q_OVERFLOW) ||
           (event.wd == watch.watch && (event.mask & (watch.mask | IN_IGNORED)));
}

void Dispatch(const inotify_event& event) {
    for (auto& [handle, watch] : changeWatches) {
        if (Concerns(watch, event)) {
            SignalEvent(handle);
        }
        if ((event.mask & IN_IGNORED) && event.wd == watch.watch) {
            watch.watch = -1; // the number may come back for another directory
        }
    }
}

void DispatchPendingEvents() {
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while (sharedInstance >= 0 && (length = read(sharedInstance, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            Dispatch(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

// The instance when one of the handles is a change handle, else -1.
int SharedInstanceAmong(const std::vector<FileHandle>& handles) {
    std::lock_guard guard(changeWatchesMutex);
    const bool any = std::any_of(handles.begin(), handles.end(), [](FileHandle handle) {
        return changeWatches.contains(static_cast<int>(handle));
    });
    return any ? sharedInstance : -1;
}

} // namespace

FileHandle OpenChangeHandle(const std::string& directory, std::uint32_t filter) {
    std::lock_guard guard(changeWatchesMutex);
    if (sharedInstance < 0) {
        sharedInstance = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }
    const std::uint32_t mask = InotifyMask(filter);
    // Added to, not replacing, the mask of another handle on the same directory.
    const int watch = sharedInstance < 0 ? -1
                                         : inotify_add_watch(sharedInstance, directory.c_str(),
                                                             mask | IN_ONLYDIR | IN_MASK_ADD);
    const int handle = watch < 0 ? -1 : eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (handle < 0) {
        if (watch >= 0 && !WatchInUse(watch)) {
            inotify_rm_watch(sharedInstance, watch);
        }
        CloseInstanceWhenUnused();
        return kInvalidHandle;
    }
    changeWatches[handle] = {watch, mask};
    return handle;
}

bool RearmChangeHandle(FileHandle handle) {
    std::lock_guard guard(changeWatchesMutex);
    // Changes already queued are among those being taken off; the others' go to their handles.
    DispatchPendingEvents();
    std::uint64_t count = 0;
    const ssize_t done = read(static_cast<int>(handle), &count, sizeof count);
    return done == static_cast<ssize_t>(sizeof count) || errno == EAGAIN;
}

void CloseChangeHandle(FileHandle handle) {
    std::lock_guard guard(changeWatchesMutex);
    const auto found = changeWatches.find(static_cast<int>(handle));
    if (found == changeWatches.end()) {
        return;
    }
    const int watch = found->second.watch;
    changeWatches.erase(found);
    close(static_cast<int>(handle));
    if (watch >= 0 && !WatchInUse(watch)) {
        inotify_rm_watch(sharedInstance, watch);
    }
    CloseInstanceWhenUnused();
}

FileHandle NewEvent() {
    return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void SignalEvent(FileHandle event) {
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

namespace {

int RemainingMs(int timeoutMs, std::chrono::steady_clock::time_point deadline) {
    if (timeoutMs < 0) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

// The index of the first ready handle among the first count descriptors, kWaitFailed, or
// kWaitTimeout when only the shared instance after them is ready.
int FirstReady(const std::vector<pollfd>& descriptors, std::size_t count) {
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        if (descriptors[i].revents & (POLLERR | POLLNVAL)) {
            return kWaitFailed;
        }
        if (i < count && (descriptors[i].revents & POLLIN)) {
            return static_cast<int>(i);
        }
    }
    return kWaitTimeout;
}

} // namespace

int WaitForAny(const std::vector<FileHandle>& handles, int timeoutMs) {
    std::vector<pollfd> descriptors;
    for (FileHandle handle : handles) {
        descriptors.push_back({static_cast<int>(handle), POLLIN, 0});
    }
    if (const int instance = SharedInstanceAmong(handles); instance >= 0) {
        descriptors.push_back({instance, POLLIN, 0});
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const int ready =
            poll(descriptors.data(), descriptors.size(), RemainingMs(timeoutMs, deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return ready == 0 ? kWaitTimeout : kWaitFailed;
        }
        if (const int index = FirstReady(descriptors, handles.size()); index != kWaitTimeout) {
            return index;
        }
        // Only the instance: its events may concern none of these handles, so wait on.
        std::lock_guard guard(changeWatchesMutex);
        DispatchPendingEvents();
    }
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

} // namespace Ostrel::Util::Platform
