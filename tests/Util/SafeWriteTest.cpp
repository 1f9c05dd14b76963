#include "Util/SafeWrite.h"

#include "Support/TestSupport.h"
#include "Util/Exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <thread>

namespace {

using namespace Ostrel;
using namespace Ostrel::Test;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void WriteContent(const std::string& path, bool overwrite, const Bytes& content) {
    Util::WriteSafely(path, overwrite, [&](const auto& stream) {
        stream->Write(static_cast<std::uint32_t>(content.size()), content.data());
    });
}

// Nothing takes the target's name before the content is complete, and a refusal or a failure
// leaves the directory as it was. A file marked read-only is refused, not replaced; replacing keeps
// the file's permissions.
TEST(SafeWrite, RefusedAndFailedWritesLeaveTheDirectoryAsItWasAndReplacingKeepsPermissions) {
    TempDir dir;
    const std::string target = dir / "CAR1.MIP";
    WriteBytes(target, {1, 2, 3});
    const auto failing = [&](const std::string& path) {
        return [&](const auto& stream) {
            stream->Write(2, "ab");
            EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
            EXPECT_EQ(fs::exists(path), path == target) << path;
            throw Util::XUsage("stopped");
        };
    };
    const std::string added = dir / "NEW.MIP";
    EXPECT_THAT(MessageOf([&] { WriteContent(target, false, {9}); }),
                testing::HasSubstr("Couldn't open " + target + "\nFile exists"));
    EXPECT_EQ(MessageOf([&] { Util::WriteSafely(target, true, failing(target)); }), "stopped");
    EXPECT_EQ(MessageOf([&] { Util::WriteSafely(added, false, failing(added)); }), "stopped");
    constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::group_read;
    fs::permissions(target, kReadOnly);
    EXPECT_THAT(MessageOf([&] { WriteContent(target, true, {6}); }),
                testing::HasSubstr("Couldn't open " + target + "\n"));
    EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    constexpr auto kOwnAndGroup = fs::perms::owner_read | fs::perms::owner_write | kReadOnly;
    fs::permissions(target, kOwnAndGroup);
    VELLIX_POSIX_ONLY("permission bits");
    WriteContent(target, true, {4, 5});
    EXPECT_EQ(ReadBytes(target), (Bytes{4, 5}));
    EXPECT_EQ(fs::status(target).permissions(), kOwnAndGroup);
}

// The temporary name never grows with the target's; leftovers of a killed run stay out of the way,
// and writers of one file never remove each other's files: the last complete write wins.
TEST(SafeWrite, LongNamesLeftoversAndConcurrentWritersDoNotStandInTheWay) {
    TempDir dir;
    const std::string leftover = dir / ".~vx000000010000000000000000.tmp";
    WriteBytes(leftover, {7});
    const std::string target = dir / (std::string(246, 'n') + ".MIP");
    std::vector<std::thread> writers;
    for (std::uint8_t writer = 1; writer <= 8; ++writer) {
        writers.emplace_back([&, writer] {
            for (int round = 0; round < 50; ++round) {
                WriteContent(target, true, Bytes(64, writer));
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const Bytes written = ReadBytes(target);
    EXPECT_EQ(written, Bytes(64, written.at(0)));
    EXPECT_EQ(ReadBytes(leftover), (Bytes{7}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

} // namespace
