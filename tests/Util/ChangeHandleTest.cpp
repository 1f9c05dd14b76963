#include "Util/Platform.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace Platform = Ostrel::Util::Platform;
using namespace Ostrel::Test;

// Instances are few per user and shared with all the user's programs: watching more directories
// than the user may have instances must still hear each one.
TEST(ChangeHandle, MoreDirectoriesThanTheUserMayHaveInstancesAreHeard) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows change handles are no inotify instances"; // though Wine reads /proc
#endif
    int limit = 0;
    if (!(std::ifstream("/proc/sys/fs/inotify/max_user_instances") >> limit)) {
        GTEST_SKIP() << "no per-user limit of inotify instances here";
    }
    TempDir dir;
    std::vector<Platform::FileHandle> handles;
    for (int index = 0; index < limit + 20; ++index) {
        std::filesystem::create_directory(dir / std::to_string(index));
        handles.push_back(
            Platform::OpenChangeHandle(dir / std::to_string(index), Platform::kNotifyFileName));
        ASSERT_NE(handles.back(), Platform::kInvalidHandle) << index;
    }
    WriteBytes(dir / std::to_string(limit + 19) + "/new.mip", {});
    EXPECT_EQ(Platform::WaitForAny(handles, 5000), limit + 19);
    for (const Platform::FileHandle handle : handles) {
        Platform::CloseChangeHandle(handle);
    }
}

// Two watches of one directory hear only what their own filters name, and closing one leaves the
// other listening.
TEST(ChangeHandle, TwoFiltersOnOneDirectoryHearTheirOwnChangesOnly) {
    TempDir dir;
    WriteBytes(dir / "old.mip", {1});
    const Platform::FileHandle names =
        Platform::OpenChangeHandle(dir.Path(), Platform::kNotifyFileName);
    const Platform::FileHandle attributes =
        Platform::OpenChangeHandle(dir.Path(), Platform::kNotifyAttributes);
    std::filesystem::permissions(dir / "old.mip", std::filesystem::perms::owner_read);
    EXPECT_EQ(Platform::WaitForAny({names, attributes}, 5000), 1);
    EXPECT_EQ(Platform::WaitForAny({names}, 200), Platform::kWaitTimeout);
    Platform::CloseChangeHandle(attributes);
    WriteBytes(dir / "new.mip", {});
    EXPECT_EQ(Platform::WaitForAny({names}, 5000), 0);
    Platform::CloseChangeHandle(names);
}
