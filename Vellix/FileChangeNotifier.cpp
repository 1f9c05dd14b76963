#include "Vellix/FileChangeNotifier.h"

#include "Util/Platform.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

namespace Ostrel::Vellix {

namespace Platform = Util::Platform;

namespace {

struct Registration {
    FileChangeNotifier* notifier;
    bool addPending;
    bool removePending;
    std::uint32_t filter;
    Platform::FileHandle handle;
};

// Guards the registration list, the dirty flag, the wait arrays and the receiver.
std::mutex lock;
DirectoryChangeReceiver* receiver = nullptr;

class WatchService {
public:
    WatchService()
        : stopEvent_(Platform::NewEvent()), updateEvent_(Platform::NewEvent()),
          worker_([this] { Run(); }) {}

    ~WatchService() {
        Platform::SignalEvent(stopEvent_);
        worker_.join();
        for (const Registration& registration : registrations_) {
            if (registration.handle != Platform::kInvalidHandle) {
                Platform::CloseChangeHandle(registration.handle);
            }
        }
        Platform::CloseEvent(stopEvent_);
        Platform::CloseEvent(updateEvent_);
    }

    // Both under the lock.
    void Add(FileChangeNotifier* notifier, std::uint32_t filter) {
        registrations_.push_back({notifier, true, false, filter, Platform::kInvalidHandle});
        MarkDirty();
    }

    // Returns how many registrations stay.
    std::size_t Remove(FileChangeNotifier* notifier) {
        std::size_t remaining = 0;
        for (Registration& registration : registrations_) {
            if (registration.notifier == notifier) {
                registration.removePending = true;
            }
            remaining += registration.removePending ? 0 : 1;
        }
        MarkDirty();
        return remaining;
    }

private:
    void MarkDirty() {
        dirty_ = true;
        Platform::SignalEvent(updateEvent_);
    }

    void Run() {
        Platform::SetIdlePriority();
        {
            std::lock_guard guard(lock);
            Rebuild();
        }
        while (true) {
            const int index = Platform::WaitForAny(waitHandles_, -1);
            if (index == Platform::kWaitFailed || index == 0) {
                return;
            }
            if (index == 1) {
                Platform::ConsumeEvent(updateEvent_);
            }
            std::lock_guard guard(lock);
            if (index >= 2) {
                Report(static_cast<std::size_t>(index));
            }
            if (dirty_) {
                Rebuild();
            }
        }
    }

    void Report(std::size_t index) {
        Platform::RearmChangeHandle(waitHandles_[index]);
        FileChangeNotifier* notifier = waitNotifiers_[index - 2];
        const bool active = std::any_of(
            registrations_.begin(), registrations_.end(), [&](const Registration& registration) {
                return registration.notifier == notifier && !registration.addPending &&
                       !registration.removePending;
            });
        if (active) {
            notifier->OnChange();
        }
    }

    // Opens the handles of new registrations, closes those of withdrawn ones, and lays out the
    // wait arrays: the stop event, the update event, then one change handle per registration.
    void Rebuild() {
        std::erase_if(registrations_, [](Registration& registration) {
            if (registration.removePending) {
                if (registration.handle != Platform::kInvalidHandle) {
                    Platform::CloseChangeHandle(registration.handle);
                }
                return true;
            }
            if (registration.addPending) {
                registration.handle = Platform::OpenChangeHandle(registration.notifier->GetPath(),
                                                                 registration.filter);
                registration.addPending = false;
                // A directory that cannot be watched stays unwatched.
                return registration.handle == Platform::kInvalidHandle;
            }
            return false;
        });
        waitHandles_ = {stopEvent_, updateEvent_};
        waitNotifiers_.clear();
        for (const Registration& registration : registrations_) {
            waitHandles_.push_back(registration.handle);
            waitNotifiers_.push_back(registration.notifier);
        }
        dirty_ = false;
    }

    Platform::FileHandle stopEvent_;
    Platform::FileHandle updateEvent_;
    bool dirty_ = true;
    std::vector<Registration> registrations_;
    std::vector<Platform::FileHandle> waitHandles_;
    std::vector<FileChangeNotifier*> waitNotifiers_;
    std::thread worker_; // last, so that it starts when everything else is ready
};

WatchService* service = nullptr;

std::uint32_t Filter(bool fileName, bool directoryName, bool attributes, bool size, bool lastWrite,
                     bool security) {
    return (fileName ? Platform::kNotifyFileName : 0) |
           (directoryName ? Platform::kNotifyDirectoryName : 0) |
           (attributes ? Platform::kNotifyAttributes : 0) | (size ? Platform::kNotifySize : 0) |
           (lastWrite ? Platform::kNotifyLastWrite : 0) |
           (security ? Platform::kNotifySecurity : 0);
}

} // namespace

FileChangeNotifier::FileChangeNotifier(const std::string& path, bool fileName, bool directoryName,
                                       bool attributes, bool size, bool lastWrite, bool security)
    : path_(path) {
    if (!service) {
        service = new WatchService;
    }
    std::lock_guard guard(lock);
    service->Add(this, Filter(fileName, directoryName, attributes, size, lastWrite, security));
}

FileChangeNotifier::~FileChangeNotifier() {
    Withdraw();
}

void FileChangeNotifier::Withdraw() {
    if (!registered_ || !service) {
        return;
    }
    registered_ = false;
    std::size_t remaining;
    {
        std::lock_guard guard(lock);
        remaining = service->Remove(this);
    }
    if (remaining == 0) {
        delete service; // stops and joins the worker
        service = nullptr;
    }
}

void SetDirectoryChangeReceiver(DirectoryChangeReceiver* newReceiver) {
    std::lock_guard guard(lock);
    receiver = newReceiver;
}

DirNotifier::DirNotifier(const std::string& path, const PseudoDirectory* owner)
    : FileChangeNotifier(path, true, true, false, false, true, false), owner_(owner) {}

DirNotifier::~DirNotifier() {
    Withdraw();
}

void DirNotifier::OnChange() {
    if (receiver) {
        receiver->PostDirectoryChanged(owner_);
    }
}

bool IsWatchServiceRunning() {
    return service != nullptr;
}

} // namespace Ostrel::Vellix
