#pragma once

#include <cstdint>
#include <string>
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

} // namespace Ostrel::Test
