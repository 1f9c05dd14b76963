#include "Util/AbortHooks.h"

#include "Util/AbortReport.h"
#include "Util/ProcessorReport.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

namespace Ostrel::Util {

namespace {

constexpr DWORD kComposeMs = 10000;
// A thread of its own reports a stack overflow, the faulting thread having no stack left.
constexpr SIZE_T kReportStackSize = 1024 * 1024;
// Stack kept back on the creating thread for delivering an overflow to the filter, which then
// hands the report to that thread of its own.
constexpr ULONG kOverflowReserve = 64 * 1024;

HANDLE composeTimer = nullptr;

VOID CALLBACK OnComposeTimeout(PVOID, BOOLEAN) {
    std::_Exit(1);
}

struct Failure {
    const ProcessorContext* context;
    ExceptionRecord record;
};

[[noreturn]] void Report(const Failure& failure) {
    ReportFailure("Processor exception\n\n", *failure.context, &failure.record);
}

DWORD WINAPI ReportOnFreshStack(void* failure) {
    Report(*static_cast<const Failure*>(failure));
}

LONG WINAPI OnProcessorException(EXCEPTION_POINTERS* pointers) {
    Failure failure{pointers->ContextRecord, {pointers->ExceptionRecord->ExceptionCode}};
    if (failure.record.code == ProcessorReport::kStackOverflow) {
        HANDLE thread =
            CreateThread(nullptr, kReportStackSize, ReportOnFreshStack, &failure, 0, nullptr);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
        }
        std::_Exit(1);
    }
    Report(failure);
}

void OnAbort(int) {
    ProcessorContext context{};
    RtlCaptureContext(&context);
    ReportFailure("abort() called\n\n", context, nullptr);
}

[[noreturn]] void OnTerminate() {
    ProcessorContext context{};
    RtlCaptureContext(&context);
    ReportFailure("terminate() called\n\n", context, nullptr);
}

} // namespace

void CaptureContext(ProcessorContext& context) {
    RtlCaptureContext(&context);
}

void StartComposeTimeLimit() {
    CreateTimerQueueTimer(&composeTimer, nullptr, OnComposeTimeout, nullptr, kComposeMs, 0,
                          WT_EXECUTEONLYONCE);
}

void StopComposeTimeLimit() {
    if (composeTimer != nullptr) {
        DeleteTimerQueueTimer(nullptr, composeTimer, nullptr);
    }
}

struct AbortHooks::Previous {
    LPTOP_LEVEL_EXCEPTION_FILTER filter = nullptr;
    void (*abortHandler)(int) = nullptr;
    std::terminate_handler terminate = nullptr;
};

AbortHooks::AbortHooks() : previous_(std::make_unique<Previous>()) {
    ULONG reserve = kOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    previous_->filter = SetUnhandledExceptionFilter(OnProcessorException);
    previous_->abortHandler = std::signal(SIGABRT, OnAbort);
    previous_->terminate = std::set_terminate(OnTerminate);
}

AbortHooks::~AbortHooks() {
    std::set_terminate(previous_->terminate);
    std::signal(SIGABRT, previous_->abortHandler);
    SetUnhandledExceptionFilter(previous_->filter);
}

} // namespace Ostrel::Util
