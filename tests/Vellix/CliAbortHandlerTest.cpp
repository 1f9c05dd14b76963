#include "Vellix/CliAbortHandler.h"

#include "Util/AbortHooks.h"
#include "Util/Platform.h"

#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace Ostrel;

namespace {

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
    }

    ~CliAbortHandlerDeathTest() override {
        if (owned_) {
            Ostrel::Test::SetEnvironment(kDirectoryVariable, "");
        }
    }

    // Runs in the child process of a death test.
    static void AbortWithHooks(const std::string& logDirectory) {
        const Ostrel::Test::TempDirectoryScope scope(logDirectory);
        Util::SetAbortHandler(std::make_unique<Vellix::CliAbortHandler>());
        const Util::AbortHooks hooks;
        std::abort();
    }

    std::string InDirectory(const std::string& name) const {
        return dir_ + Util::kPathSeparator + name;
    }

    std::string Log() const {
        const std::vector<std::uint8_t> bytes = Ostrel::Test::ReadBytes(InDirectory("Vellix.txt"));
        return std::string(bytes.begin(), bytes.end());
    }

    std::optional<Ostrel::Test::TempDir> owned_;
    std::string dir_;
};

// The hooks' report reaches this handler whatever the crash; which report each crash makes is
// the hooks' own test.
TEST_F(CliAbortHandlerDeathTest, TellsTheUserWhereTheLogWithTheReportIs) {
    EXPECT_EXIT(AbortWithHooks(dir_), testing::ExitedWithCode(1),
                testing::Eq("Program has been terminated by an unexpected condition.\nAn error log "
                            "has been written to " +
                            InDirectory("Vellix.txt") +
                            ". Please email this to the author along with a description of the "
                            "problem.\n"));
    EXPECT_THAT(Log(), testing::AllOf(testing::StartsWith("Vellix Version 2,0,0,0 Error File\n"
                                                          "abort() called\n\nFault address: "),
                                      testing::EndsWith("\nEnd Call Stack\n")));
}

TEST_F(CliAbortHandlerDeathTest, ReportGoesToStandardErrorWhenTheLogCannotBeWritten) {
    EXPECT_EXIT(AbortWithHooks(InDirectory("missing")), testing::ExitedWithCode(1),
                testing::AllOf(testing::StartsWith("abort() called\n\n"),
                               testing::HasSubstr("End Call Stack\nCouldn't open " +
                                                  InDirectory("missing") + Util::kPathSeparator +
                                                  "Vellix.txt")));
}

} // namespace
