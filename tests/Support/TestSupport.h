#pragma once

#include "Util/Exception.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Test {

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

} // namespace Ostrel::Test
