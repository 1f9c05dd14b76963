#pragma once

#include "Util/Exception.h"

#include <cstdint>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <ucontext.h>
#endif

namespace Ostrel::Util {

// The processor state at the point of failure: what a signal handler or the exception filter
// receives, or what CaptureContext() captures.
#ifdef _WIN32
using ProcessorContext = CONTEXT;
#else
using ProcessorContext = ucontext_t;
#endif

// The state of the calling code.
void CaptureContext(ProcessorContext& context);

// What is known of a processor exception beyond the registers. Codes follow the Windows
// exception codes (0xC0000005 for an access violation...) so that reports read alike everywhere.
struct ExceptionRecord {
    std::uint32_t code;
};

#ifndef _WIN32
// The exception code a fault signal stands for; signalCode is the siginfo's si_code.
std::uint32_t ExceptionCodeForSignal(int signal, int signalCode);
#endif

// The report of a condition the program cannot recover from. The message is composed at
// construction: the title, the exception code (when a record is given), the logical fault
// address, the registers and the call stack.
class XProcessorExceptionWin32 : public RuntimeError {
public:
    XProcessorExceptionWin32(const std::string& title, const ProcessorContext& context,
                             const ExceptionRecord* record);
    std::string Message() const override { return message_; }
    const ProcessorContext& GetContext() const { return context_; }

private:
    std::string message_;
    ProcessorContext context_;
};

} // namespace Ostrel::Util
