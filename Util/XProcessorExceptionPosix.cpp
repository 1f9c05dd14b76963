// The POSIX parts of a processor exception's report.

#include "Util/Platform.h"
#include "Util/ProcessorReport.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <link.h>
#include <memory>
#include <unistd.h>
#include <unwind.h>

namespace Ostrel::Util {

using namespace ProcessorReport;

namespace {

std::uint32_t CodeForFloatingPointSignal(int signalCode) {
    switch (signalCode) {
    case FPE_INTDIV:
        return kIntDivideByZero;
    case FPE_INTOVF:
        return kIntOverflow;
    case FPE_FLTDIV:
        return kFltDivideByZero;
    case FPE_FLTOVF:
        return kFltOverflow;
    case FPE_FLTUND:
        return kFltUnderflow;
    case FPE_FLTRES:
        return kFltInexactResult;
    case FPE_FLTSUB:
        return kArrayBoundsExceeded;
    default:
        return kFltInvalidOperation;
    }
}

// The instruction pointer and the stack pointer of the context; 0 where the architecture is not
// known here, which leaves the fault address out.
std::uintptr_t InstructionPointer(const ProcessorContext& context) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.pc);
#else
    static_cast<void>(context);
    return 0;
#endif
}

std::uintptr_t StackPointer(const ProcessorContext& context) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.sp);
#else
    static_cast<void>(context);
    return 0;
#endif
}

std::string ExecutablePath() {
    char path[kMaxPath];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The counterpart of a section:offset address: the module's loaded segments are numbered from 1
// in the order of its program headers, and the offset counts from the start of the segment.
struct LogicalAddress {
    std::uintptr_t address = 0;
    bool found = false;
    std::uint32_t segment = 0;
    std::uint64_t offset = 0;
    std::string module;
};

int FindSegment(dl_phdr_info* info, std::size_t, void* data) {
    auto& logical = *static_cast<LogicalAddress*>(data);
    std::uint32_t segment = 0;
    for (ElfW(Half) index = 0; index < info->dlpi_phnum; ++index) {
        const ElfW(Phdr)& header = info->dlpi_phdr[index];
        if (header.p_type != PT_LOAD) {
            continue;
        }
        ++segment;
        const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
        // Unsigned, so an address below the start wraps round and fails the test too.
        if (logical.address - start < header.p_memsz) {
            logical.found = true;
            logical.segment = segment;
            logical.offset = logical.address - start;
            logical.module = *info->dlpi_name ? info->dlpi_name : ExecutablePath();
            return 1;
        }
    }
    return 0;
}

LogicalAddress FindLogicalAddress(std::uintptr_t address) {
    LogicalAddress logical;
    logical.address = address;
    dl_iterate_phdr(FindSegment, &logical);
    return logical;
}

void WriteLogical(std::ostream& text, const LogicalAddress& logical) {
    ProcessorReport::WriteLogicalAddress(text, logical.segment, logical.offset, logical.module);
}

struct StackFrame {
    std::uintptr_t address;
    // The frame's stack pointer at its call (its callee's canonical frame address).
    std::uintptr_t frame;
    // False for return addresses, which point after their call.
    bool atInstruction;
};

// Deep enough for any sensible report, bounded for a runaway recursion.
constexpr std::size_t kMaxFrames = 128;

struct StackTrace {
    StackFrame frames[kMaxFrames];
    std::size_t count = 0;
};

_Unwind_Reason_Code CollectFrame(_Unwind_Context* context, void* data) {
    auto& trace = *static_cast<StackTrace*>(data);
    int beforeInstruction = 0;
    const std::uintptr_t address = _Unwind_GetIPInfo(context, &beforeInstruction);
    if (address == 0 || trace.count == kMaxFrames) {
        return _URC_END_OF_STACK;
    }
    trace.frames[trace.count++] = {address, _Unwind_GetCFA(context), beforeInstruction != 0};
    return _URC_NO_REASON;
}

std::string Demangled(const char* name) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(name);
}

// Address, frame, then the symbol when the module exports one,
// otherwise the logical address and the module.
void WriteFrame(std::ostream& text, const StackFrame& frame) {
    text << Hex(frame.address, kPointerDigits) << ' ' << Hex(frame.frame, kPointerDigits) << ' ';
    const std::uintptr_t inside = frame.atInstruction ? frame.address : frame.address - 1;
    Dl_info symbol{};
    if (dladdr(reinterpret_cast<void*>(inside), &symbol) != 0 && symbol.dli_sname != nullptr &&
        symbol.dli_saddr != nullptr) {
        text << Demangled(symbol.dli_sname) << '+'
             << Hex(frame.address - reinterpret_cast<std::uintptr_t>(symbol.dli_saddr), kWordDigits)
             << '\n';
    } else {
        WriteLogical(text, FindLogicalAddress(inside));
    }
}

// The walk starts in the reporting code, whose frames are left out: the report begins at the
// faulting instruction when it is on the stack (a signal), otherwise at the first frame at or
// above the context's stack pointer (the stack grows downwards).
std::size_t FirstReportedFrame(const StackTrace& trace, const ProcessorContext& context) {
    const std::uintptr_t instructionPointer = InstructionPointer(context);
    for (std::size_t index = 0; index < trace.count; ++index) {
        if (trace.frames[index].address == instructionPointer) {
            return index;
        }
    }
    const std::uintptr_t stackPointer = StackPointer(context);
    for (std::size_t index = 0; index < trace.count; ++index) {
        if (trace.frames[index].frame >= stackPointer) {
            return index;
        }
    }
    return 0;
}

} // namespace

std::uint32_t ExceptionCodeForSignal(int signal, int signalCode) {
    switch (signal) {
    case SIGBUS:
        return signalCode == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
    case SIGILL:
        return signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG ? kPrivInstruction
                                                                    : kIllegalInstruction;
    case SIGFPE:
        return CodeForFloatingPointSignal(signalCode);
    default:
        return kAccessViolation;
    }
}

void CaptureContext(ProcessorContext& context) {
    getcontext(&context);
}

namespace ProcessorReport {

void WriteFaultAddress(std::ostream& text, const ProcessorContext& context) {
    const std::uintptr_t instructionPointer = InstructionPointer(context);
    const LogicalAddress logical = FindLogicalAddress(instructionPointer);
    if (logical.found) {
        text << "Fault address: " << Hex(instructionPointer, kPointerDigits) << ' ';
        WriteLogical(text, logical);
    }
}

// The 32-bit layout of four lines, with the 64-bit registers. The processor keeps no DS and ES in
// 64-bit mode, so they read 0.
void WriteRegisters(std::ostream& text, const ProcessorContext& context) {
    text << "Registers:\n";
#if defined(__x86_64__)
    const greg_t* registers = context.uc_mcontext.gregs;
    const auto word = [registers](int index) {
        return Hex(static_cast<std::uint64_t>(registers[index]), kRegisterDigits);
    };
    const auto segments = static_cast<std::uint64_t>(registers[REG_CSGSFS]);
    const auto segment = [segments](int shift) {
        return Hex((segments >> shift) & 0xFFFF, kSegmentDigits);
    };
    const std::string none = Hex(0, kSegmentDigits);
    text << "RAX=" << word(REG_RAX) << " CS=" << segment(0) << " RIP=" << word(REG_RIP)
         << " EFLGS=" << word(REG_EFL) << '\n';
    text << "RBX=" << word(REG_RBX) << " SS=" << segment(48) << " RSP=" << word(REG_RSP)
         << " RBP=" << word(REG_RBP) << '\n';
    text << "RCX=" << word(REG_RCX) << " DS=" << none << " RSI=" << word(REG_RSI)
         << " FS=" << segment(32) << '\n';
    text << "RDX=" << word(REG_RDX) << " ES=" << none << " RDI=" << word(REG_RDI)
         << " GS=" << segment(16) << '\n';
#else
    static_cast<void>(context);
#endif
}

void WriteCallStack(std::ostream& text, const ProcessorContext& context) {
    StackTrace trace;
    _Unwind_Backtrace(CollectFrame, &trace);
    text << "\nCall Stack\n"
         << "Address    Frame      Logical Addr          Module\n";
    for (std::size_t index = FirstReportedFrame(trace, context); index < trace.count; ++index) {
        WriteFrame(text, trace.frames[index]);
    }
    text << "End Call Stack\n";
}

} // namespace ProcessorReport

} // namespace Ostrel::Util
