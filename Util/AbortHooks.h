#pragma once

#include <memory>

namespace Ostrel::Util {

// While one of these exists, a processor exception (SIGSEGV, SIGBUS, SIGILL, SIGFPE on POSIX; the
// unhandled-exception filter on Windows), abort() and std::terminate() become an
// XProcessorExceptionWin32 handed to GetAbortHandler(), and the process ends with exit code 1.
// Destroying it puts back the handlers it replaced, so scopes nest. The handlers belong to the
// process, but the stack kept back to report a stack overflow on belongs to the thread that
// creates the hooks.
class AbortHooks {
public:
    AbortHooks();
    ~AbortHooks();
    AbortHooks(const AbortHooks&) = delete;
    AbortHooks& operator=(const AbortHooks&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> previous_;
};

} // namespace Ostrel::Util
