#include "Vellix/FileChangeNotifier.h"
#include "Support/TestSupport.h"
#include "Vellix/RealDirectory.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace Ostrel::Vellix;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;
using namespace std::chrono_literals;

namespace {

class RecordingReceiver : public DirectoryChangeReceiver {
public:
    RecordingReceiver() { SetDirectoryChangeReceiver(this); }
    ~RecordingReceiver() override { SetDirectoryChangeReceiver(nullptr); }

    void PostDirectoryChanged(const PseudoDirectory* directory) override {
        std::lock_guard guard(mutex_);
        reports_.push_back(directory);
        changed_.notify_all();
    }

    bool WaitFor(const PseudoDirectory* directory, std::chrono::milliseconds limit) {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, limit, [&] {
            return std::find(reports_.begin(), reports_.end(), directory) != reports_.end();
        });
    }

    void Clear() {
        std::lock_guard guard(mutex_);
        reports_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<const PseudoDirectory*> reports_;
};

// Writes the file until its directory's node is reported. The watch opens on the worker thread,
// and a change made before it opened is never reported; a busy machine may take long to open it.
bool ReportedAfterWriting(RecordingReceiver& receiver, const PseudoDirectory& node,
                          const std::string& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        WriteBytes(file, {});
        if (receiver.WaitFor(&node, 100ms)) {
            return true;
        }
    }
    return false;
}

} // namespace

// The worker ends with the last withdrawal and starts afresh with the next node.
TEST(FileChangeNotifier, NoCallAfterWithdrawalAndTheWorkerEndsWithTheLast) {
    TempDir dir;
    RecordingReceiver receiver;
    auto keeper = std::make_unique<RealDirectory>(dir.Path() + "/.."); // keeps the service alive
    std::atomic<bool> writing = true;
    std::thread writer([&] {
        for (int i = 0; writing; ++i) {
            WriteBytes(dir / ("f" + std::to_string(i % 8)), {});
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int round = 0; round < 20; ++round) {
        auto node = std::make_unique<RealDirectory>(dir.Path());
        std::this_thread::sleep_for(5ms);
        RealDirectory* withdrawn = node.get();
        node.reset();
        EXPECT_TRUE(IsWatchServiceRunning());
        receiver.Clear();
        std::this_thread::sleep_for(20ms);
        // Another node may reuse the address only after this check.
        EXPECT_FALSE(receiver.WaitFor(withdrawn, 0ms)) << "round " << round;
    }
    writing = false;
    writer.join();
    keeper.reset();
    EXPECT_FALSE(IsWatchServiceRunning());
    const RealDirectory again(dir.Path());
    EXPECT_TRUE(IsWatchServiceRunning());
    EXPECT_TRUE(ReportedAfterWriting(receiver, again, dir / "b.pbf"));
}

// A new file reaches the receiver with its own directory's node; an attribute change alone reaches
// it with none. One Windows wait takes at most 64 handles, two of them the service's own events;
// directories beyond must be heard all the same.
TEST(FileChangeNotifier, ANewFileIsReportedForItsDirectoryAmongMoreThanOneWaitTakes) {
    TempDir dir;
    const auto inside = [&](int index, const char* name) {
        return (std::filesystem::path(dir / std::to_string(index)) / name).string();
    };
    std::filesystem::create_directory(dir / "1");
    WriteBytes(inside(1, "old.mip"), {1});
    RecordingReceiver receiver;
    std::vector<std::unique_ptr<RealDirectory>> nodes;
    for (int index = 0; index < 70; ++index) {
        const std::string path = dir / std::to_string(index);
        std::filesystem::create_directory(path);
        nodes.push_back(std::make_unique<RealDirectory>(path));
    }
    for (const int index : {0, 61, 62, 69}) {
        EXPECT_TRUE(ReportedAfterWriting(receiver, *nodes[index], inside(index, "new.mip")))
            << index;
    }
    std::filesystem::permissions(inside(1, "old.mip"), std::filesystem::perms::owner_read);
    EXPECT_FALSE(receiver.WaitFor(nodes[1].get(), 700ms));
    nodes[0]->Refresh();
    ASSERT_EQ(nodes[0]->GetEntryCount(), 1u);
    EXPECT_EQ(nodes[0]->GetEntryName(0), "new.mip");
}
