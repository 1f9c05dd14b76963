#include "Util/AbortHandler.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Ostrel::Util {

namespace {

class StandardErrorAbortHandler : public AbortHandler {
public:
    void HandleAbort(const Exception& exception) override {
        std::fputs(exception.Message().c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
};

// Read from signal handlers, hence atomic.
std::atomic<AbortHandler*> installedHandler{nullptr};

} // namespace

AbortHandler& GetAbortHandler() {
    // Never destroyed: a report may be made while static objects are being destroyed.
    static AbortHandler* const fallback = new StandardErrorAbortHandler;
    AbortHandler* const handler = installedHandler.load();
    return handler ? *handler : *fallback;
}

void SetAbortHandler(std::unique_ptr<AbortHandler> handler) {
    delete installedHandler.exchange(handler.release());
}

} // namespace Ostrel::Util
