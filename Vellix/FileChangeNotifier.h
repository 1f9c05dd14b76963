#pragma once

// Reports changes to directories on disk from one process-wide watch service. The service runs
// one worker thread at idle priority while at least one notifier is registered; notifiers are
// called on that thread, never after their withdrawal.

#include <cstdint>
#include <string>

namespace Ostrel::Vellix {

class PseudoDirectory;

class FileChangeNotifier {
public:
    // The booleans choose what counts as a change of the directory at path.
    FileChangeNotifier(const std::string& path, bool fileName, bool directoryName, bool attributes,
                       bool size, bool lastWrite, bool security);
    virtual ~FileChangeNotifier();
    FileChangeNotifier(const FileChangeNotifier&) = delete;
    FileChangeNotifier& operator=(const FileChangeNotifier&) = delete;

    // Called on the worker thread, under the service's lock, after the directory changed.
    virtual void OnChange() = 0;
    const std::string& GetPath() const { return path_; }

protected:
    // Stops the calls. A derived class calls it first in its own destructor, so that no call
    // reaches an object that is half destroyed; calling it again does nothing.
    void Withdraw();

private:
    std::string path_;
    bool registered_ = true;
};

// Who hears of changed disk directories: the list view, which moves the report onto its own
// thread and refreshes the directory there.
class DirectoryChangeReceiver {
public:
    virtual ~DirectoryChangeReceiver() = default;
    // Called on the watch service's worker thread; must only post the report.
    virtual void PostDirectoryChanged(const PseudoDirectory* directory) = 0;
};

// Installs the one receiver (null to remove it); safe against a report under way.
void SetDirectoryChangeReceiver(DirectoryChangeReceiver* receiver);

// Watches a disk directory for new, removed, renamed and written entries on behalf of its node.
class DirNotifier : public FileChangeNotifier {
public:
    DirNotifier(const std::string& path, const PseudoDirectory* owner);
    ~DirNotifier() override;
    void OnChange() override;

private:
    const PseudoDirectory* owner_;
};

// True while the watch service and its worker thread exist.
bool IsWatchServiceRunning();

} // namespace Ostrel::Vellix
