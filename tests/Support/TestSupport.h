#pragma once

#include "Util/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Skips the rest of a test that checks a behaviour only POSIX systems have, saying why.
#ifdef _WIN32
#define VELLIX_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define VELLIX_POSIX_ONLY(reason) static_cast<void>(reason)
#endif

namespace Ostrel::Test {

// The peers that tests compare with (ImageMagick, node) are programs of the Linux build machine,
// which a Windows program under Wine cannot start.
inline constexpr char kPeerPrograms[] = "the test peers are Linux programs";

// A fresh directory under the temporary directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // The path of a child, joined with the platform's separator.
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
// Runs a shell command and returns its standard output; exitCode receives its status.
std::string RunCommand(const std::string& command, int* exitCode = nullptr);
bool HaveCommand(const std::string& name);
// Whether a test must skip for want of a peer program; with CI set, where the setup installs
// every peer, a missing one fails the test as well.
bool PeerMissing(const std::string& command);
// The root that a path starting with the separator refers to ("/", or the current drive's root).
std::string RootDirectory();
// The path of the running test program.
std::string ProgramPath();
// Wine runs the Windows build here; where it falls short of Windows, a test says so and skips.
bool RunningUnderWine();
// Sets a variable of the process's environment; an empty value removes it.
void SetEnvironment(const std::string& name, const std::string& value);

// Points the platform's temporary directory somewhere else for the life of the object.
class TempDirectoryScope {
public:
    explicit TempDirectoryScope(const std::string& path);
    ~TempDirectoryScope();
    TempDirectoryScope(const TempDirectoryScope&) = delete;
    TempDirectoryScope& operator=(const TempDirectoryScope&) = delete;

private:
    std::string old_;
};

// The message of the library exception an action throws, or "nothing thrown".
template <typename Action> std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Util::Exception& e) {
        return e.Message();
    }
    return "nothing thrown";
}

// A DAT archive built byte by byte: the count, one 27-byte record per member, then the members'
// bytes in order.
using ArchiveMembers = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;
std::vector<std::uint8_t> ArchiveBytes(const ArchiveMembers& members);
// The same with empty members.
std::vector<std::uint8_t> ArchiveOfNames(const std::vector<std::string>& names);

// The bytes as they are, cut short at every step-th length and with every step-th byte inverted:
// copies that break each field of a file's headers in turn.
std::vector<std::vector<std::uint8_t>> DamagedCopies(const std::vector<std::uint8_t>& bytes,
                                                     std::size_t step);

} // namespace Ostrel::Test
