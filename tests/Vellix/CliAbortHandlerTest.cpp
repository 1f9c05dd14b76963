#include "Vellix/CliAbortHandler.h"

#include "Util/AbortHooks.h"
#include "Util/Platform.h"

#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <optional>
#include <stdexcept>

using namespace Ostrel;

namespace {

// The faults hide from the compiler and from UndefinedBehaviorSanitizer, which would otherwise
// replace them by their own traps or reports.
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

[[gnu::noinline]] void Throw() {
    throw std::runtime_error("escaped");
}

[[gnu::noinline]] void ThrowFromNoexcept() noexcept {
    static volatile bool always = true;
    if (always) {
        Throw();
    }
}

// On Windows a death test runs again in a new process, fixture and all; the directory of the
// parent reaches that child through the environment so that both look at the same log.
constexpr char kDirectoryVariable[] = "VELLIX_TEST_CRASH_DIRECTORY";

class CliAbortHandlerDeathTest : public testing::Test {
protected:
    CliAbortHandlerDeathTest() {
        if (const char* inherited = std::getenv(kDirectoryVariable); inherited && *inherited) {
            dir_ = inherited;
        } else {
            owned_.emplace();
            dir_ = owned_->Path();
            Ostrel::Test::SetEnvironment(kDirectoryVariable, dir_);
        }
        logDirectory_ = dir_;
    }

    ~CliAbortHandlerDeathTest() override {
        if (owned_) {
            Ostrel::Test::SetEnvironment(kDirectoryVariable, "");
        }
    }

    // Runs in the child process of a death test.
    void CrashWithHooks(void (*crash)()) {
        const Ostrel::Test::TempDirectoryScope scope(logDirectory_);
        Util::SetAbortHandler(std::make_unique<Vellix::CliAbortHandler>());
        const Util::AbortHooks hooks;
        crash();
    }

    std::string InDirectory(const std::string& name) const {
        return dir_ + Util::kPathSeparator + name;
    }

    std::string UserMessage() const {
        return "Program has been terminated by an unexpected condition.\nAn error log has been "
               "written to " +
               InDirectory("Vellix.txt") +
               ". Please email this to the author along with a description of the problem.\n";
    }

    // The log with the sections every report has, starting with the version line and the title.
    std::string Log(const std::string& title) const {
        const std::vector<std::uint8_t> bytes = Ostrel::Test::ReadBytes(InDirectory("Vellix.txt"));
        const std::string log(bytes.begin(), bytes.end());
        EXPECT_EQ(log.rfind("Vellix Version 2,0,0,0 Error File\n" + title, 0), 0u) << log;
        EXPECT_NE(log.find("\nRegisters:\n"), std::string::npos) << log;
        EXPECT_NE(log.find("\n\nCall Stack\nAddress    Frame      Logical Addr          Module\n"),
                  std::string::npos)
            << log;
        EXPECT_TRUE(log.ends_with("\nEnd Call Stack\n")) << log;
        return log;
    }

    std::optional<Ostrel::Test::TempDir> owned_;
    std::string dir_;
    std::string logDirectory_;
};

// A way to crash, the title of the log it leaves and the exception code the log names, if any.
struct Crash {
    const char* cause;
    void (*crash)();
    const char* title;
    const char* code;
};

const Crash kCrashes[] = {
    {"NullDereference", DereferenceNull, "Processor exception", "0xC0000005 ACCESS_VIOLATION"},
    {"DivisionByZero", DivideByZero, "Processor exception", "0xC0000094 INT_DIVIDE_BY_ZERO"},
    {"Abort", std::abort, "abort() called", nullptr},
    {"ThrowFromNoexcept", ThrowFromNoexcept, "terminate() called", nullptr},
};

class CliAbortHandlerCrashDeathTest : public CliAbortHandlerDeathTest,
                                      public testing::WithParamInterface<Crash> {};

TEST_P(CliAbortHandlerCrashDeathTest, TellsTheUserAndLogsWhereItHappened) {
    const Crash& crash = GetParam();
    EXPECT_EXIT(CrashWithHooks(crash.crash), testing::ExitedWithCode(1),
                testing::Eq(UserMessage()));
    const std::string log = Log(crash.title + std::string("\n\n"));
    if (!crash.code) {
        EXPECT_EQ(log.find("Exception code"), std::string::npos);
        return;
    }
    EXPECT_NE(log.find("\nException code: " + std::string(crash.code) + "\nFault address: "),
              std::string::npos);
    // The call stack begins at the faulting instruction.
    EXPECT_EQ(log.substr(log.find("Module\n") + 7, 18),
              log.substr(log.find("Fault address: ") + 15, 18));
}

INSTANTIATE_TEST_SUITE_P(, CliAbortHandlerCrashDeathTest, testing::ValuesIn(kCrashes),
                         [](const auto& info) { return info.param.cause; });

// A shared library exports its functions: on Linux the C++ library's; on Windows, where that one
// is linked into the program, the system's start of a thread.
#ifdef _WIN32
constexpr char kExportedFrame[] = " BaseThreadInitThunk+0x";
#else
constexpr char kExportedFrame[] = " std::terminate()+0x";
#endif

TEST_F(CliAbortHandlerDeathTest, CallStackNamesExportedFunctionsReadably) {
    EXPECT_EXIT(CrashWithHooks(std::terminate), testing::ExitedWithCode(1), "");
    const std::string log = Log("terminate() called\n\n");
    EXPECT_NE(log.find(kExportedFrame), std::string::npos) << log;
}

TEST_F(CliAbortHandlerDeathTest, ReportGoesToStandardErrorWhenTheLogCannotBeWritten) {
    logDirectory_ = InDirectory("missing");
    EXPECT_EXIT(CrashWithHooks(std::abort), testing::ExitedWithCode(1),
                testing::AllOf(testing::StartsWith("abort() called\n\n"),
                               testing::HasSubstr("End Call Stack\nCouldn't open " +
                                                  InDirectory("missing") + Util::kPathSeparator +
                                                  "Vellix.txt")));
}

} // namespace
