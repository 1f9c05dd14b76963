#include "Util/AbortHandler.h"
#include "Util/AbortHooks.h"
#include "Util/CrashReport.h"
#include "Util/VersionInfo.h"
#include "Util/XProcessorException.h"

#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace Ostrel::Util;
using namespace Ostrel::Test;

namespace {

// The text with the digits of every hexadecimal number replaced by their count: "0x{8}".
std::string Shape(std::string text) {
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 2)) {
        std::size_t digits = 0;
        while (std::isxdigit(static_cast<unsigned char>(text[at + 2 + digits]))) {
            ++digits;
        }
        text.replace(at + 2, digits, "{" + std::to_string(digits) + "}");
    }
    return text;
}

// Known codes are named by the crash table below; others show bare.
TEST(XProcessorException, MessageHasItsSectionsInOrder) {
    ProcessorContext context{};
    CaptureContext(context);
    const ExceptionRecord unknown{0x20000001};
    const std::string message = XProcessorExceptionWin32("Title\n\n", context, &unknown).Message();
    const std::string layout =
        "Title\n\nException code: 0x{8} \nFault address: 0x{16} 0x{8}:0x{8} " + ProgramPath() +
        "\nRegisters:\n"
        "RAX=0x{16} CS=0x{4} RIP=0x{16} EFLGS=0x{16}\n"
        "RBX=0x{16} SS=0x{4} RSP=0x{16} RBP=0x{16}\n"
        "RCX=0x{16} DS=0x{4} RSI=0x{16} FS=0x{4}\n"
        "RDX=0x{16} ES=0x{4} RDI=0x{16} GS=0x{4}\n\n"
        "Call Stack\nAddress    Frame      Logical Addr          Module\n0x{16} 0x{16} ";
    EXPECT_THAT(Shape(message), testing::AllOf(testing::StartsWith(layout),
                                               testing::EndsWith("\nEnd Call Stack\n")));
    // The fault address is the instruction pointer's 64-bit value.
    EXPECT_EQ(message.substr(message.find("Fault address: ") + 15, 18),
              message.substr(message.find("RIP=") + 4, 18));
}

// The program's own version, four numbers and nothing else, shows in the report's first line.
TEST(CrashReport, LogHoldsVersionLineAndMessage) {
    std::uint16_t part[4] = {};
    VersionInfo("1.22.333.65535").GetFileVersion(part[0], part[1], part[2], part[3]);
    EXPECT_THAT(part, testing::ElementsAre(1, 22, 333, 65535));
    for (const char* text : {"", "1.2.3", "1.2.3.4.5", "1.2.3.65536", "1.2.3.4x", "1..3.4"}) {
        EXPECT_THROW(VersionInfo{text}, XAssertion) << text;
    }
    TempDir dir;
    WriteBytes(dir / "Vellix.txt", std::vector<std::uint8_t>(1000, 'x'));
    const TempDirectoryScope scope(dir.Path());
    WriteCrashReport(XUsage("first line\nsecond line\n"));
    const std::vector<std::uint8_t> bytes = ReadBytes(dir / "Vellix.txt");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "Vellix Version 2,0,0,0 Error File\nfirst line\nsecond line\n");
}

void IgnoreTerminate() {}

// What the process does on a processor exception.
const void* FaultHook() {
#ifdef _WIN32
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    return reinterpret_cast<const void*>(filter);
#else
    struct sigaction action {};
    sigaction(SIGSEGV, nullptr, &action);
    return reinterpret_cast<const void*>(action.sa_sigaction);
#endif
}

TEST(AbortHooks, ScopesNestAndRestoreWhatTheyReplaced) {
    std::set_terminate(IgnoreTerminate);
    const void* before = FaultHook();
    {
        const AbortHooks outer;
        const void* hooked = FaultHook();
        EXPECT_NE(hooked, before);
        { const AbortHooks inner; }
        EXPECT_EQ(FaultHook(), hooked);
        EXPECT_NE(std::get_terminate(), IgnoreTerminate);
    }
    EXPECT_EQ(FaultHook(), before);
    EXPECT_EQ(std::get_terminate(), IgnoreTerminate);
    std::set_terminate(nullptr);
}

// The faults below hide from the compiler and from UndefinedBehaviorSanitizer, which would
// otherwise replace them by their own traps or reports.
__attribute__((noinline, no_sanitize("undefined"))) void DereferenceNull() {
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) void DivideByZero() {
    volatile int dividend = 7;
    volatile int zero = 0;
    volatile int quotient = dividend / zero;
    static_cast<void>(quotient);
}

[[gnu::noinline]] int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    static volatile int limit = INT_MAX;
    return depth < limit ? Recurse(depth + 1) + frame[0] : 0;
}

void Return() {
    std::fputs("returned\n", stderr);
}

void Throw() {
    throw XUsage("thrown");
}

[[gnu::noinline]] void ThrowFromNoexcept() noexcept {
    static volatile bool always = true;
    if (always) {
        Throw();
    }
}

// Without an installed handler the report goes to standard error.
void CrashHooked(void (*crash)()) {
    const AbortHooks hooks;
    crash();
}

// Installs a handler that does what react does, and faults.
template <void (*react)()> void CrashWith() {
    class Handler : public AbortHandler {
        void HandleAbort(const Exception&) override { react(); }
    };
    SetAbortHandler(std::make_unique<Handler>());
    CrashHooked(DereferenceNull);
}

TEST(AbortHooksDeathTest, ProcessEndsWithCodeOneWhateverTheHandlerDoes) {
    EXPECT_EXIT(CrashWith<Return>(), testing::ExitedWithCode(1), "returned");
    EXPECT_EXIT(CrashWith<Throw>(), testing::ExitedWithCode(1), "");
    // A second fault while reporting must end the process, not hang or report again.
    EXPECT_EXIT(CrashWith<DereferenceNull>(), testing::ExitedWithCode(1), "");
}

// A way to crash, the title of its report and the exception code the report names, if any.
struct Crash {
    const char* cause;
    void (*crash)();
    const char* title;
    const char* code;
};

const Crash kCrashes[] = {
    {"NullDereference", DereferenceNull, "Processor exception", "0xC0000005 ACCESS_VIOLATION"},
    {"DivisionByZero", DivideByZero, "Processor exception", "0xC0000094 INT_DIVIDE_BY_ZERO"},
    {"IllegalInstruction", [] { __builtin_trap(); }, "Processor exception",
     "0xC000001D ILLEGAL_INSTRUCTION"},
    {"Abort", std::abort, "abort() called", nullptr},
    {"ThrowFromNoexcept", ThrowFromNoexcept, "terminate() called", nullptr},
};

// The whole report of the crash; a processor exception's call stack begins at the faulting
// instruction.
MATCHER_P(IsReportOf, crash, "") {
    const std::string code = crash.code ? "Exception code: " + std::string(crash.code) + "\n" : "";
    return arg.starts_with(crash.title + ("\n\n" + code) + "Fault address: ") &&
           arg.ends_with("\nEnd Call Stack\n") &&
           (!crash.code || arg.substr(arg.find("Module\n") + 7, 18) ==
                               arg.substr(arg.find("Fault address: ") + 15, 18));
}

TEST(AbortHooksDeathTest, ReportNamesTheCrashAndWhereItHappened) {
    for (const Crash& crash : kCrashes) {
        SCOPED_TRACE(crash.cause);
        EXPECT_EXIT(CrashHooked(crash.crash), testing::ExitedWithCode(1), IsReportOf(crash));
    }
}

// Windows names the overflow; POSIX knows it only as a fault on the stack's guard page.
#ifdef _WIN32
constexpr char kStackOverflowCode[] = "0xC00000FD STACK_OVERFLOW";
#else
constexpr char kStackOverflowCode[] = "0xC0000005 ACCESS_VIOLATION";
#endif

TEST(AbortHooksDeathTest, StackOverflowIsReported) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine ends a program whose stack overflows without calling its handler";
    }
    const Crash overflow{"StackOverflow", nullptr, "Processor exception", kStackOverflowCode};
    EXPECT_EXIT(CrashHooked([] { Recurse(0); }), testing::ExitedWithCode(1), IsReportOf(overflow));
}

// A shared library exports its functions: on Linux the C++ library's; on Windows, where that one
// is linked into the program, the system's start of a thread.
#ifdef _WIN32
constexpr char kExportedFrame[] = " BaseThreadInitThunk+0x";
#else
constexpr char kExportedFrame[] = " std::terminate()+0x";
#endif

TEST(AbortHooksDeathTest, CallStackNamesExportedFunctionsReadably) {
    EXPECT_EXIT(CrashHooked(std::terminate), testing::ExitedWithCode(1),
                testing::HasSubstr(kExportedFrame));
}

} // namespace
