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

void Abort() {
    std::abort();
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

TEST_F(CliAbortHandlerDeathTest, NullDereferenceIsAnAccessViolation) {
    EXPECT_EXIT(CrashWithHooks(DereferenceNull), testing::ExitedWithCode(1),
                testing::Eq(UserMessage()));
    const std::string log = Log("Processor exception\n\n");
    EXPECT_NE(log.find("\nException code: 0xC0000005 ACCESS_VIOLATION\nFault address: "),
              std::string::npos);
}

TEST_F(CliAbortHandlerDeathTest, CallStackBeginsAtTheFaultingInstruction) {
    EXPECT_EXIT(CrashWithHooks(DereferenceNull), testing::ExitedWithCode(1), "");
    const std::string log = Log("Processor exception\n\n");
    const std::size_t fault = log.find("Fault address: ");
    const std::size_t stack = log.find("Module\n");
    ASSERT_NE(fault, std::string::npos);
    const std::size_t addressLength = 18;
    EXPECT_EQ(log.substr(stack + 7, addressLength), log.substr(fault + 15, addressLength));
}

TEST_F(CliAbortHandlerDeathTest, DivisionByZeroIsReported) {
    EXPECT_EXIT(CrashWithHooks(DivideByZero), testing::ExitedWithCode(1),
                testing::Eq(UserMessage()));
    EXPECT_NE(Log("Processor exception\n\n")
                  .find("\nException code: 0xC0000094 INT_DIVIDE_BY_ZERO\nFault address: "),
              std::string::npos);
}

TEST_F(CliAbortHandlerDeathTest, AbortHasNoExceptionCode) {
    EXPECT_EXIT(CrashWithHooks(Abort), testing::ExitedWithCode(1), testing::Eq(UserMessage()));
    EXPECT_EQ(Log("abort() called\n\n").find("Exception code"), std::string::npos);
}

TEST_F(CliAbortHandlerDeathTest, ThrowFromNoexceptTerminates) {
    EXPECT_EXIT(CrashWithHooks(ThrowFromNoexcept), testing::ExitedWithCode(1),
                testing::Eq(UserMessage()));
    EXPECT_EQ(Log("terminate() called\n\n").find("Exception code"), std::string::npos);
}

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
    EXPECT_EXIT(CrashWithHooks(Abort), testing::ExitedWithCode(1),
                testing::AllOf(testing::StartsWith("abort() called\n\n"),
                               testing::HasSubstr("End Call Stack\nCouldn't open " +
                                                  InDirectory("missing") + Util::kPathSeparator +
                                                  "Vellix.txt")));
}

} // namespace
