#pragma once

// Work on a list of items spread over several threads that looks, from outside, as if it were
// done one item after the other: the items are handed out in order, each one's files are put in
// place only when every earlier item is done, and after a failure that ends the work no later
// item writes anything.

#include "Util/Exception.h"

#include <cstddef>
#include <functional>
#include <string>

namespace Ostrel::Vellix {

struct OrderedRunSteps {
    // On the calling thread, in order, before an item is handed out; false hands out no more.
    std::function<bool(std::size_t index)> start;
    // On a worker thread (worker is its number, below the thread count). Must not throw; false
    // is a failure that ends the work: later items are abandoned.
    std::function<bool(std::size_t index, unsigned worker)> work;
    // On the calling thread, in order, once the item and every one before it are done.
    std::function<void(std::size_t index)> finish;
};

// What writing a file of an abandoned item raises (see Util::SetCommitGate).
class XAbandoned : public Util::RuntimeError {
public:
    std::string Message() const override { return "Not converted: an earlier file failed"; }
};

// Runs the steps for items 0 to count - 1 with up to threads items at work at once.
void RunInOrder(std::size_t count, unsigned threads, const OrderedRunSteps& steps);

} // namespace Ostrel::Vellix
