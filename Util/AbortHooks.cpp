#include "Util/AbortHooks.h"

#include "Util/AbortHandler.h"
#include "Util/XProcessorException.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <unistd.h>

namespace Ostrel::Util {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
// Room for composing the report, also under the sanitizers' larger frames.
constexpr std::size_t kSignalStackSize = 512 * 1024;
// Composing the report allocates and looks up symbols. Should the failed code hold a lock that
// needs, the time limit ends the process instead of hanging it.
constexpr unsigned kComposeSeconds = 10;

std::atomic<bool> reporting{false};

[[noreturn]] void EndProcess() {
    std::_Exit(1);
}

void OnComposeTimeout(int) {
    EndProcess();
}

void LimitComposeTime() {
    struct sigaction action {};
    action.sa_handler = OnComposeTimeout;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(kComposeSeconds);
}

// Once the report is composed the locks are evidently free, and the handler's own work is not
// timed: it may be waiting for the user to read a message.
XProcessorExceptionWin32 Compose(const char* title, const ProcessorContext& context,
                                 const ExceptionRecord* record) {
    LimitComposeTime();
    XProcessorExceptionWin32 exception(title, context, record);
    alarm(0);
    return exception;
}

[[noreturn]] void Report(const char* title, const ProcessorContext& context,
                         const ExceptionRecord* record) {
    // A failure while reporting ends the process at once instead of reporting again.
    if (reporting.exchange(true)) {
        EndProcess();
    }
    try {
        GetAbortHandler().HandleAbort(Compose(title, context, record));
    } catch (...) {
    }
    EndProcess();
}

void OnProcessorException(int signal, siginfo_t* info, void* context) {
    const ExceptionRecord record{ExceptionCodeForSignal(signal, info->si_code)};
    Report("Processor exception\n\n", *static_cast<const ProcessorContext*>(context), &record);
}

void OnAbort(int, siginfo_t*, void* context) {
    Report("abort() called\n\n", *static_cast<const ProcessorContext*>(context), nullptr);
}

[[noreturn]] void OnTerminate() {
    ProcessorContext context{};
    getcontext(&context);
    Report("terminate() called\n\n", context, nullptr);
}

void InstallSignalHandler(int signal, void (*handler)(int, siginfo_t*, void*),
                          struct sigaction& previous) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    sigemptyset(&action.sa_mask);
    // Not deferred: a fault inside the report must reach Report again (which ends the process)
    // rather than the kernel's default action for a blocked fault.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigaction(signal, &action, &previous);
}

} // namespace

struct AbortHooks::Previous {
    std::unique_ptr<char[]> signalStack = std::make_unique<char[]>(kSignalStackSize);
    stack_t stack{};
    struct sigaction faultActions[std::size(kFaultSignals)]{};
    struct sigaction abortAction {};
    std::terminate_handler terminate = nullptr;
};

AbortHooks::AbortHooks() : previous_(std::make_unique<Previous>()) {
    stack_t stack{};
    stack.ss_sp = previous_->signalStack.get();
    stack.ss_size = kSignalStackSize;
    sigaltstack(&stack, &previous_->stack);
    for (std::size_t index = 0; index < std::size(kFaultSignals); ++index) {
        InstallSignalHandler(kFaultSignals[index], OnProcessorException,
                             previous_->faultActions[index]);
    }
    InstallSignalHandler(SIGABRT, OnAbort, previous_->abortAction);
    previous_->terminate = std::set_terminate(OnTerminate);
}

AbortHooks::~AbortHooks() {
    std::set_terminate(previous_->terminate);
    sigaction(SIGABRT, &previous_->abortAction, nullptr);
    for (std::size_t index = 0; index < std::size(kFaultSignals); ++index) {
        sigaction(kFaultSignals[index], &previous_->faultActions[index], nullptr);
    }
    sigaltstack(&previous_->stack, nullptr);
}

} // namespace Ostrel::Util
