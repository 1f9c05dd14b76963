#include "Util/AbortHandler.h"
#include "Util/AbortHooks.h"
#include "Util/CrashReport.h"
#include "Util/VersionInfo.h"
#include "Util/XProcessorException.h"

#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace Ostrel::Util;

namespace {

std::string MessageWith(const ExceptionRecord* record) {
    ProcessorContext context{};
    getcontext(&context);
    return XProcessorExceptionWin32("Title\n\n", context, record).Message();
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return std::string(path, length > 0 ? std::size_t(length) : 0);
}

// The text after the first occurrence of label, up to the next blank or line feed.
std::string FieldAfter(const std::string& text, const std::string& label) {
    const std::size_t start = text.find(label);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t begin = start + label.size();
    return text.substr(begin, text.find_first_of(" \n", begin) - begin);
}

TEST(XProcessorException, MessageHasItsSectionsInOrder) {
    const ExceptionRecord record{0xC0000005};
    const std::string message = MessageWith(&record);
    EXPECT_THAT(message, testing::MatchesRegex(
                             "Title\n\n"
                             "Exception code: 0xC0000005 ACCESS_VIOLATION\n"
                             "Fault address: 0x[0-9A-F]{16} 0x[0-9A-F]{8}:0x[0-9A-F]{8} [^\n]+\n"
                             "Registers:\n"
                             "RAX=0x[0-9A-F]{16} CS=0x[0-9A-F]{4} RIP=0x[0-9A-F]{16} "
                             "EFLGS=0x[0-9A-F]{16}\n"
                             "RBX=0x[0-9A-F]{16} SS=0x[0-9A-F]{4} RSP=0x[0-9A-F]{16} "
                             "RBP=0x[0-9A-F]{16}\n"
                             "RCX=0x[0-9A-F]{16} DS=0x0000 RSI=0x[0-9A-F]{16} FS=0x[0-9A-F]{4}\n"
                             "RDX=0x[0-9A-F]{16} ES=0x0000 RDI=0x[0-9A-F]{16} GS=0x[0-9A-F]{4}\n"
                             "\nCall Stack\n"
                             "Address    Frame      Logical Addr          Module\n"
                             "(0x[0-9A-F]{16} 0x[0-9A-F]{16} [^\n]+\n)+"
                             "End Call Stack\n"));
    EXPECT_EQ(FieldAfter(message, "Fault address: "), FieldAfter(message, "RIP="));
    EXPECT_NE(message.find(" " + ExecutablePath() + "\nRegisters:\n"), std::string::npos);
}

TEST(XProcessorException, CodeLineNamesKnownCodesOnly) {
    const ExceptionRecord divide{0xC0000094};
    EXPECT_NE(MessageWith(&divide).find("\nException code: 0xC0000094 INT_DIVIDE_BY_ZERO\n"),
              std::string::npos);
    const ExceptionRecord unknown{0x20000001};
    EXPECT_NE(MessageWith(&unknown).find("\nException code: 0x20000001 \n"), std::string::npos);
    EXPECT_EQ(MessageWith(nullptr).find("Exception code"), std::string::npos);
}

TEST(VersionInfo, IsTheProgramsOwnVersion) {
    std::uint16_t part[4] = {9, 9, 9, 9};
    VersionInfo().GetFileVersion(part[0], part[1], part[2], part[3]);
    EXPECT_EQ(part[0], 2);
    EXPECT_EQ(part[1], 0);
    EXPECT_EQ(part[2], 0);
    EXPECT_EQ(part[3], 0);
    VersionInfo("1.22.333.65535").GetFileVersion(part[0], part[1], part[2], part[3]);
    EXPECT_EQ(part[1], 22);
    EXPECT_EQ(part[3], 65535);
}

TEST(VersionInfo, MalformedTextIsAnInternalError) {
    for (const char* text : {"", "1.2.3", "1.2.3.4.5", "1.2.3.65536", "1.2.3.4x", "1..3.4"}) {
        EXPECT_THROW(VersionInfo{text}, XAssertion) << text;
    }
}

// Points the temporary directory somewhere else for the life of the object.
class TemporaryDirectoryScope {
public:
    explicit TemporaryDirectoryScope(const std::string& path) {
        if (const char* old = std::getenv("TMPDIR")) {
            old_ = old;
        }
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TemporaryDirectoryScope() {
        if (old_.empty()) {
            unsetenv("TMPDIR");
        } else {
            setenv("TMPDIR", old_.c_str(), 1);
        }
    }

private:
    std::string old_;
};

TEST(CrashReport, LogHoldsVersionLineAndMessage) {
    Ostrel::Test::TempDir dir;
    Ostrel::Test::WriteBytes(dir / "Vellix.txt", std::vector<std::uint8_t>(1000, 'x'));
    const TemporaryDirectoryScope scope(dir.Path());
    const std::string path = WriteCrashReport(XUsage("first line\nsecond line\n"));
    EXPECT_EQ(path, dir / "Vellix.txt");
    const std::vector<std::uint8_t> bytes = Ostrel::Test::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "Vellix Version 2,0,0,0 Error File\nfirst line\nsecond line\n");
}

TEST(CrashReport, UnwritableDirectoryIsAFileError) {
    Ostrel::Test::TempDir dir;
    const TemporaryDirectoryScope scope(dir / "missing");
    EXPECT_THROW(WriteCrashReport(XUsage("x")), XFileOpen);
}

TEST(CrashReport, MessageNamesTheLog) {
    EXPECT_EQ(CrashReportMessage("/tmp/Vellix.txt"),
              "Program has been terminated by an unexpected condition.\nAn error log has been "
              "written to /tmp/Vellix.txt. Please email this to the author along with a "
              "description of the problem.");
}

void IgnoreTerminate() {}

TEST(AbortHooks, ScopesNestAndRestoreWhatTheyReplaced) {
    std::set_terminate(IgnoreTerminate);
    struct sigaction before {};
    sigaction(SIGSEGV, nullptr, &before);
    {
        const AbortHooks outer;
        struct sigaction hooked {};
        sigaction(SIGSEGV, nullptr, &hooked);
        EXPECT_NE(hooked.sa_sigaction, before.sa_sigaction);
        { const AbortHooks inner; }
        struct sigaction afterInner {};
        sigaction(SIGSEGV, nullptr, &afterInner);
        EXPECT_EQ(afterInner.sa_sigaction, hooked.sa_sigaction);
        EXPECT_NE(std::get_terminate(), IgnoreTerminate);
    }
    struct sigaction after {};
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(after.sa_sigaction, before.sa_sigaction);
    EXPECT_EQ(std::get_terminate(), IgnoreTerminate);
    std::set_terminate(nullptr);
}

// The faults below hide from the compiler and from UndefinedBehaviorSanitizer, which would
// otherwise replace them by their own traps or reports.
__attribute__((noinline, no_sanitize("undefined"))) void DereferenceNull() {
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

[[gnu::noinline]] int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    static volatile int limit = INT_MAX;
    return depth < limit ? Recurse(depth + 1) + frame[0] : 0;
}

class ReturningHandler : public AbortHandler {
public:
    void HandleAbort(const Exception&) override { std::fputs("returned\n", stderr); }
};

class FaultingHandler : public AbortHandler {
public:
    void HandleAbort(const Exception&) override { DereferenceNull(); }
};

class ThrowingHandler : public AbortHandler {
public:
    void HandleAbort(const Exception&) override { throw XUsage("thrown"); }
};

template <typename Handler> void CrashWith() {
    SetAbortHandler(std::make_unique<Handler>());
    const AbortHooks hooks;
    DereferenceNull();
}

TEST(AbortHooksDeathTest, ProcessEndsWithCodeOneWhateverTheHandlerDoes) {
    EXPECT_EXIT(CrashWith<ReturningHandler>(), testing::ExitedWithCode(1), "returned");
    EXPECT_EXIT(CrashWith<ThrowingHandler>(), testing::ExitedWithCode(1), "");
    // A second fault while reporting must end the process, not hang or report again.
    EXPECT_EXIT(CrashWith<FaultingHandler>(), testing::ExitedWithCode(1), "");
}

TEST(AbortHooksDeathTest, WithoutAnInstalledHandlerTheReportGoesToStandardError) {
    EXPECT_EXIT(
        {
            const AbortHooks hooks;
            std::abort();
        },
        testing::ExitedWithCode(1), "^abort\\(\\) called\n\nFault address: .*End Call Stack\n$");
}

TEST(AbortHooksDeathTest, StackOverflowIsReported) {
    EXPECT_EXIT(
        {
            const AbortHooks hooks;
            Recurse(0);
        },
        testing::ExitedWithCode(1),
        "^Processor exception\n\nException code: 0xC0000005 ACCESS_VIOLATION\n.*End Call Stack");
}

TEST(AbortHooksDeathTest, IllegalInstructionIsReported) {
    EXPECT_EXIT(
        {
            const AbortHooks hooks;
            __builtin_trap();
        },
        testing::ExitedWithCode(1), "Exception code: 0xC000001D ILLEGAL_INSTRUCTION\n");
}

} // namespace
