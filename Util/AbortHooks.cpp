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
// A report that cannot finish (a lock held by the failed code, say) must not hang the program.
constexpr unsigned kReportSeconds = 10;

std::atomic<bool> reporting{false};

[[noreturn]] void EndProcess() {
    std::_Exit(1);
}

void OnReportTimeout(int) {
    EndProcess();
}

void LimitReportTime() {
    struct sigaction action {};
    action.sa_handler = OnReportTimeout;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(kReportSeconds);
}

[[noreturn]] void Report(const char* title, const ProcessorContext& context,
                         const ExceptionRecord* record) {
    // A failure while reporting ends the process at once instead of reporting again.
    if (reporting.exchange(true)) {
        EndProcess();
    }
    LimitReportTime();
    try {
        GetAbortHandler().HandleAbort(XProcessorExceptionWin32(title, context, record));
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
