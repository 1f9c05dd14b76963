#include "Util/AbortHandler.h"
#include "Util/AbortReport.h"

#include <atomic>
#include <cstdlib>

namespace Ostrel::Util {

namespace {

std::atomic<bool> reporting{false};

[[noreturn]] void EndProcess() {
    std::_Exit(1);
}

// Once the report is composed the locks are evidently free, and the handler's own work is not
// timed: it may be waiting for the user to read a message.
XProcessorExceptionWin32 Compose(const char* title, const ProcessorContext& context,
                                 const ExceptionRecord* record) {
    StartComposeTimeLimit();
    XProcessorExceptionWin32 exception(title, context, record);
    StopComposeTimeLimit();
    return exception;
}

} // namespace

void ReportFailure(const char* title, const ProcessorContext& context,
                   const ExceptionRecord* record) {
    if (reporting.exchange(true)) {
        EndProcess();
    }
    try {
        GetAbortHandler().HandleAbort(Compose(title, context, record));
    } catch (...) {
    }
    EndProcess();
}

} // namespace Ostrel::Util
