#include "Vellix/OrderedRun.h"

#include "Util/SafeWrite.h"

#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace Ostrel::Vellix {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The state the calling thread and the workers share, under its mutex.
class OrderedState {
public:
    OrderedState(std::size_t count, unsigned threads) : done_(count), threads_(threads) {}

    // The calling thread: waits until an item may be handed out, finishing done ones meanwhile;
    // false when the work has failed.
    bool WaitForRoom(const std::function<void(std::size_t)>& finish) {
        for (;;) {
            FinishDone(finish);
            std::unique_lock lock(mutex_);
            if (failedAt_ != kNone) {
                return false;
            }
            if (handedOut_ - finished_ < threads_) {
                return true;
            }
            changed_.wait(lock, [&] { return donePrefix_ > finished_ || failedAt_ != kNone; });
        }
    }

    void HandOut() {
        const std::lock_guard lock(mutex_);
        ++handedOut_;
        changed_.notify_all();
    }

    // The calling thread: no more items; waits for those handed out and finishes them.
    void Close(const std::function<void(std::size_t)>& finish) {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            changed_.notify_all();
        }
        for (;;) {
            FinishDone(finish);
            std::unique_lock lock(mutex_);
            if (finished_ == handedOut_) {
                return;
            }
            changed_.wait(lock, [&] { return donePrefix_ > finished_; });
        }
    }

    // The calling thread failed: nothing more is written, and the workers are waited for.
    void Abandon() {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        Close([](std::size_t) {});
    }

    // A worker: the next item, or kNone when there will be no more.
    std::size_t Take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return taken_ < handedOut_ || closed_; });
        return taken_ < handedOut_ ? taken_++ : kNone;
    }

    // A worker, before a file of item index is put in place.
    void AwaitTurn(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock,
                      [&] { return donePrefix_ >= index || failedAt_ < index || abandoned_; });
        if (failedAt_ < index || abandoned_) {
            throw XAbandoned();
        }
    }

    void Done(std::size_t index, bool ok) {
        const std::lock_guard lock(mutex_);
        done_[index] = true;
        if (!ok && index < failedAt_) {
            failedAt_ = index;
        }
        while (donePrefix_ < done_.size() && done_[donePrefix_]) {
            ++donePrefix_;
        }
        changed_.notify_all();
    }

private:
    void FinishDone(const std::function<void(std::size_t)>& finish) {
        std::size_t ready = 0;
        {
            const std::lock_guard lock(mutex_);
            ready = donePrefix_;
        }
        for (; finished_ < ready; ++finished_) {
            finish(finished_);
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> done_;
    unsigned threads_;
    std::size_t handedOut_ = 0;
    std::size_t taken_ = 0;
    std::size_t donePrefix_ = 0; // every item below it is done
    std::size_t finished_ = 0;   // on the calling thread only
    std::size_t failedAt_ = kNone;
    bool closed_ = false;
    bool abandoned_ = false;
};

} // namespace

void RunInOrder(std::size_t count, unsigned threads, const OrderedRunSteps& steps) {
    OrderedState state(count, threads);
    std::vector<std::thread> workers;
    for (unsigned worker = 0; worker < threads; ++worker) {
        workers.emplace_back([&state, &steps, worker] {
            for (std::size_t index; (index = state.Take()) != kNone;) {
                Util::SetCommitGate([&state, index] { state.AwaitTurn(index); });
                const bool ok = steps.work(index, worker);
                Util::SetCommitGate(nullptr);
                state.Done(index, ok);
            }
        });
    }
    const auto joinAll = [&] {
        for (std::thread& worker : workers) {
            worker.join();
        }
    };
    try {
        for (std::size_t index = 0; index < count; ++index) {
            if (!state.WaitForRoom(steps.finish) || !steps.start(index)) {
                break;
            }
            state.HandOut();
        }
        state.Close(steps.finish);
    } catch (...) {
        state.Abandon();
        joinAll();
        throw;
    }
    joinAll();
}

} // namespace Ostrel::Vellix
