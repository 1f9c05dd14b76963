#pragma once

// The one layer of the system that talks to the operating system: files, directories, paths,
// time and the temporary directory. Nothing above it includes a system header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Util {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// The file system itself compares names without regard to case.
inline constexpr bool kNamesIgnoreCase = true;
// The wide calls take paths this long when they carry the \\?\ prefix.
inline constexpr std::size_t kMaxPath = 32767;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kNamesIgnoreCase = false;
inline constexpr std::size_t kMaxPath = 4096;
#endif

namespace Platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidHandle = -1;

enum class Access { Read, ReadWrite };
enum class Disposition { OpenExisting, CreateNew, CreateAlways };

// Opens a regular file, never waiting (a named pipe or a device is refused, as a directory is);
// on failure returns kInvalidHandle and the platform's text for the error.
FileHandle OpenFile(const std::string& path, Access access, Disposition disposition,
                    std::string& errorText);
void CloseFile(FileHandle handle);
// Each transfers exactly count bytes or reports failure.
bool ReadExact(FileHandle handle, void* buffer, std::uint32_t count);
bool WriteExact(FileHandle handle, const void* buffer, std::uint32_t count);
bool Seek(FileHandle handle, std::uint64_t position);
bool Tell(FileHandle handle, std::uint64_t& position);
bool Size(FileHandle handle, std::uint64_t& size);
bool TruncateAtPosition(FileHandle handle);

// An absolute, lexically normalised path (no links followed). lastComponent is the offset of
// the last component, or npos when the path is a root. Fails on paths of kMaxPath or more.
bool GetFullPath(const std::string& path, std::string& fullPath, std::size_t& lastComponent);

// The process's working directory, or an empty string when it cannot be had.
std::string CurrentDirectory();

// The platform's text for its last error, ending in a line feed as the system texts do.
std::string LastErrorText();

// An existing regular file: not a directory, pipe or device.
bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path);
// Creates the directory and those above it that are missing; true when it exists afterwards.
bool CreateDirectories(const std::string& path);
bool RemoveFile(const std::string& path);
// Gives source the name target in one step. With replace an existing target is replaced (a link
// itself, never the file it points to); without, an existing target fails with the platform's
// "file exists" error and stays as it was. On Windows the move is written through to the disk.
bool RenameFile(const std::string& source, const std::string& target, bool replace);

// ---- Safe writing ----
// Whether a file may be written at path: without replace, nothing may exist there; with replace,
// an existing regular file must be writable by the user and not marked read-only. When not, the
// platform's text for why.
bool MayWrite(const std::string& path, bool replace, std::string& errorText);
// Forces the file's content to the disk.
bool FlushFile(FileHandle handle);
// Forces a directory's entries (a file just renamed into it) to the disk.
bool FlushDirectory(const std::string& directory);
// Gives copy the permission bits (and the owner, where the process may) of the regular file
// original; nothing when original is no regular file.
void CopyPermissions(const std::string& original, const std::string& copy);
// Whether the name path (a link itself, not what it points to) is another name of the file
// existing.
bool IsSameFile(const std::string& path, const std::string& existing);
std::uint32_t ProcessId();
// When the user interrupts or ends the process (SIGINT or SIGTERM, Ctrl+C or closing the console
// on Windows), calls cleanup and ends the process at once with 128 + the signal's number (130,
// 143). cleanup runs in a signal handler: it may only read atomics and call RemoveFileUrgently.
// A signal the process was started ignoring stays ignored.
void OnInterruption(void (*cleanup)());
// Removes a file from within cleanup.
void RemoveFileUrgently(const char* path);
std::uint64_t FileModificationTime(const std::string& path);

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
};

// The entries of a directory in the order the file system delivers them, without "." and "..".
// patterns is a list of '|'-separated wildcards ('*' and '?') matched without regard to case.
std::vector<DirectoryEntry> ListDirectory(const std::string& directory,
                                          const std::string& patterns = "*");

// Game files come from a file system that ignores case. Returns the path as it exists on disk:
// each component that does not exist as written is replaced by the one entry of its directory
// that matches it without regard to case. Components with no match stay as written (so a file
// still to be created keeps its name under a directory found by case).
std::string ResolveCase(const std::string& path);
// The name the last component of an existing path has on disk; empty when nothing is there.
// Where the file system ignores case it may be spelt otherwise than asked for.
std::string NameOnDisk(const std::string& path);

// While one of these lives, ResolveCase reads each directory once and answers from an index of
// its names, so a batch or a listing costs time in proportion to its files. The program's own
// creations, removals and renames keep the index up to date; changes by others made meanwhile
// are not seen until the last scope ends. Scopes nest and may be used from several threads.
class CaseIndexScope {
public:
    CaseIndexScope();
    ~CaseIndexScope();
    CaseIndexScope(const CaseIndexScope&) = delete;
    CaseIndexScope& operator=(const CaseIndexScope&) = delete;
};

// The platform layer reports every name it creates or removes, for the case index.
void NoteCreated(const std::string& path);
void NoteRemoved(const std::string& path);

// Directory-change notification. A change handle becomes ready when the directory it watches
// changes in one of the ways its filter names (the Windows FILE_NOTIFY_CHANGE_* bits).
inline constexpr std::uint32_t kNotifyFileName = 0x1;
inline constexpr std::uint32_t kNotifyDirectoryName = 0x2;
inline constexpr std::uint32_t kNotifyAttributes = 0x4;
inline constexpr std::uint32_t kNotifySize = 0x8;
inline constexpr std::uint32_t kNotifyLastWrite = 0x10;
inline constexpr std::uint32_t kNotifySecurity = 0x100;

FileHandle OpenChangeHandle(const std::string& directory, std::uint32_t filter);
// Takes the pending reports off the handle so that it waits for the next change.
bool RearmChangeHandle(FileHandle handle);
void CloseChangeHandle(FileHandle handle);

// An event that a wait can include among its handles. A waiter that was woken by it calls
// ConsumeEvent, which resets it (Windows events reset themselves).
FileHandle NewEvent();
void SignalEvent(FileHandle event);
void ConsumeEvent(FileHandle event);
void CloseEvent(FileHandle event);

inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitFailed = -2;
// Waits until one of the handles is ready and returns its index,
// kWaitTimeout after timeoutMs milliseconds (a negative time-out waits for ever), or kWaitFailed.
int WaitForAny(const std::vector<FileHandle>& handles, int timeoutMs);

// Lets the calling thread run only when nothing else wants the processor.
void SetIdlePriority();

// Whether the process's standard error goes to a terminal (where a progress line makes sense).
bool StandardErrorIsTerminal();

// The temporary directory with a trailing separator.
std::string TempDirectory();
// A monotonic millisecond clock.
std::uint32_t TickCount();

} // namespace Platform

} // namespace Ostrel::Util
