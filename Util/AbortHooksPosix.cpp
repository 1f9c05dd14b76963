#include "Util/AbortHooks.h"

#include "Util/AbortReport.h"

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
constexpr unsigned kComposeSeconds = 10;

void OnComposeTimeout(int) {
    std::_Exit(1);
}

void OnProcessorException(int signal, siginfo_t* info, void* context) {
    const ExceptionRecord record{ExceptionCodeForSignal(signal, info->si_code)};
    ReportFailure("Processor exception\n\n", *static_cast<const ProcessorContext*>(context),
                  &record);
}

void OnAbort(int, siginfo_t*, void* context) {
    ReportFailure("abort() called\n\n", *static_cast<const ProcessorContext*>(context), nullptr);
}

[[noreturn]] void OnTerminate() {
    ProcessorContext context{};
    getcontext(&context);
    ReportFailure("terminate() called\n\n", context, nullptr);
}

void InstallSignalHandler(int signal, void (*handler)(int, siginfo_t*, void*),
                          struct sigaction& previous) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    sigemptyset(&action.sa_mask);
    // Not deferred: a fault inside the report must reach ReportFailure again (which ends the
    // process) rather than the kernel's default action for a blocked fault.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigaction(signal, &action, &previous);
}

} // namespace

void StartComposeTimeLimit() {
    struct sigaction action {};
    action.sa_handler = OnComposeTimeout;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(kComposeSeconds);
}

void StopComposeTimeLimit() {
    alarm(0);
}

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
