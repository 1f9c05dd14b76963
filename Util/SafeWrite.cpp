#include "Util/SafeWrite.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

namespace Ostrel::Util {

namespace {

thread_local CommitGate commitGate;

// The temporary files being written, for removal when the process is interrupted. The handler
// may run at any moment on any thread: it takes a live slot over before reading its path, and a
// writer frees a path only after taking its slot back itself.
enum SlotState : int { kFree, kBusy, kLive, kTaken };

struct TemporarySlot {
    std::atomic<int> state{kFree};
    char* path = nullptr;
};

// More than the most files a batch writes at once.
constexpr std::size_t kSlotCount = 128;
TemporarySlot temporarySlots[kSlotCount];

std::atomic<bool> interrupted{false};

// Other threads go on writing while the handler runs. A writer that creates its file after the
// first pass removed the name sees the flag and removes the file itself; the pause and the second
// pass catch one that could not get to it, and files registered meanwhile.
void RemoveTemporaryFiles() {
    interrupted = true;
    for (int pass = 0; pass < 2; ++pass) {
        for (TemporarySlot& slot : temporarySlots) {
            int live = kLive;
            if (slot.state.compare_exchange_strong(live, kTaken) || live == kTaken) {
                Platform::RemoveFileUrgently(slot.path);
            }
        }
        if (pass == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

// A writer whose file came into being after the interruption removes it and waits for the end.
void StopIfInterrupted(const std::string& path) {
    if (interrupted) {
        Platform::RemoveFileUrgently(path.c_str());
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
}

// A short name of fixed length (so that a target's name of any length leaves room for it), unique
// across processes: the process, a count of this process's files, and a random part against a
// process of the same number that left its file behind when it was killed.
std::string TemporaryName() {
    static std::atomic<std::uint32_t> count{0};
    static const std::uint32_t salt = std::random_device{}();
    char name[40];
    std::snprintf(name, sizeof name, ".~vx%08x%08x%08x.tmp", Platform::ProcessId(), count++, salt);
    return name;
}

// A file written under a temporary name in its target's directory and removed again unless it
// was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target)
        : path_(PathName(target).GetParentDirectory() + TemporaryName()) {
        Register();
    }

    ~TemporaryFile() {
        if (!placed_) {
            Platform::RemoveFile(path_);
        }
        Unregister();
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& GetPath() const { return path_; }
    void Placed() { placed_ = true; }

private:
    // Known to the interruption handler before the file exists, so that it never outlives one.
    void Register() {
        for (TemporarySlot& slot : temporarySlots) {
            int free = kFree;
            if (slot.state.compare_exchange_strong(free, kBusy)) {
                slot.path = new char[path_.size() + 1];
                std::memcpy(slot.path, path_.c_str(), path_.size() + 1);
                slot.state = kLive;
                slot_ = &slot;
                return;
            }
        }
    }

    // A slot the handler took over is left to it: the process is ending.
    void Unregister() {
        int live = kLive;
        if (slot_ && slot_->state.compare_exchange_strong(live, kBusy)) {
            delete[] slot_->path;
            slot_->path = nullptr;
            slot_->state = kFree;
        }
    }

    std::string path_;
    TemporarySlot* slot_ = nullptr;
    bool placed_ = false;
};

// The complete content in the temporary file, on the disk. Failures of the temporary file are
// reported as failures of the target, the name the user knows.
void WriteComplete(const TemporaryFile& temporary, const std::string& target,
                   const ContentWriter& write) {
    CountedPtr<BinaryFile> file;
    try {
        file = CreateNew(temporary.GetPath());
    } catch (const XFileOpen& error) {
        throw XFileOpen(target, error.GetReason());
    }
    StopIfInterrupted(temporary.GetPath());
    try {
        write(file);
        file->Flush();
    } catch (const XFileAccess& error) {
        if (error.GetPathName() != file->GetName()) {
            throw;
        }
        throw XFileWrite(target);
    } catch (const XFileFormat& error) {
        if (error.GetPathName() != file->GetName()) {
            throw;
        }
        throw XFileFormat(target, error.GetDetail());
    }
}

} // namespace

std::string WriteSafely(const std::string& target, bool overwrite, const ContentWriter& write) {
    const std::string path = Platform::ResolveCase(target);
    std::string refusal;
    if (!Platform::MayWrite(path, overwrite, refusal)) {
        throw XFileOpen(path, refusal);
    }
    TemporaryFile temporary(path);
    WriteComplete(temporary, path, write); // the file is closed again
    PassCommitGate();
    if (overwrite) {
        Platform::CopyPermissions(path, temporary.GetPath());
    }
    if (!Platform::RenameFile(temporary.GetPath(), path, overwrite)) {
        throw XFileOpen(path, Platform::LastErrorText());
    }
    temporary.Placed();
    Platform::FlushDirectory(PathName(path).GetParentDirectory());
    return path;
}

void RemoveTemporaryFilesOnInterruption() {
    Platform::OnInterruption(RemoveTemporaryFiles);
}

void SetCommitGate(CommitGate gate) {
    commitGate = std::move(gate);
}

void PassCommitGate() {
    if (commitGate) {
        commitGate();
    }
}

} // namespace Ostrel::Util
