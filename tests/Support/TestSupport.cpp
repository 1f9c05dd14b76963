#include "Support/TestSupport.h"

#include "Util/BinaryStream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace Ostrel::Test {

// create_directory throws where it cannot create, and is false only for a name already taken.
TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    do {
        path_ = (base / ("vellix-test-" + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(path_));
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::operator/(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Windows has the POSIX pipe functions under other names.
#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

std::string RunCommand(const std::string& command, int* exitCode) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        throw std::runtime_error("cannot run " + command);
    }
    std::array<char, 65536> buffer;
    std::size_t count;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    if (exitCode) {
#ifdef _WIN32
        *exitCode = status;
#else
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }
    return output;
}

bool HaveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool PeerMissing(const std::string& command) {
    if (HaveCommand(command)) {
        return false;
    }
    if (std::getenv("CI")) {
        ADD_FAILURE() << command << " is required when CI is set";
    }
    return true;
}

std::string RootDirectory() {
    return std::filesystem::current_path().root_path().string();
}

std::string ProgramPath() {
#ifdef _WIN32
    return _pgmptr;
#else
    return std::filesystem::read_symlink("/proc/self/exe").string();
#endif
}

bool RunningUnderWine() {
#ifdef _WIN32
    // Wine's own system library exports what no Windows has.
    const HMODULE system = GetModuleHandleW(L"ntdll.dll");
    return system && GetProcAddress(system, "wine_get_version");
#else
    return false;
#endif
}

void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    if (value.empty()) {
        unsetenv(name.c_str());
    } else {
        setenv(name.c_str(), value.c_str(), 1);
    }
#endif
}

// GetTempPathW reads TMP first.
#ifdef _WIN32
constexpr char kTempVariable[] = "TMP";
#else
constexpr char kTempVariable[] = "TMPDIR";
#endif

TempDirectoryScope::TempDirectoryScope(const std::string& path) {
    if (const char* old = std::getenv(kTempVariable)) {
        old_ = old;
    }
    SetEnvironment(kTempVariable, path);
}

TempDirectoryScope::~TempDirectoryScope() {
    SetEnvironment(kTempVariable, old_);
}

std::vector<std::uint8_t> ArchiveBytes(const ArchiveMembers& members) {
    constexpr std::size_t kRecordSize = 27;
    std::vector<std::uint8_t> bytes(2 + kRecordSize * members.size());
    Util::WriteU16(bytes.data(), static_cast<std::uint16_t>(members.size()));
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto& [name, data] = members[i];
        std::uint8_t* record = bytes.data() + 2 + kRecordSize * i;
        record[0] = 5;
        Util::WriteU32(record + 2, static_cast<std::uint32_t>(data.size()));
        Util::WriteU32(record + 6, static_cast<std::uint32_t>(data.size()));
        std::copy(name.begin(), name.end(), record + 10);
        Util::WriteU32(record + 23, static_cast<std::uint32_t>(bytes.size())); // where it starts
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    return bytes;
}

std::vector<std::vector<std::uint8_t>> DamagedCopies(const std::vector<std::uint8_t>& bytes,
                                                     std::size_t step) {
    std::vector<std::vector<std::uint8_t>> copies{bytes};
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        copies.emplace_back(bytes.begin(), bytes.begin() + at);
        copies.push_back(bytes);
        copies.back()[at] ^= 0xFF;
    }
    return copies;
}

std::vector<std::uint8_t> ArchiveOfNames(const std::vector<std::string>& names) {
    ArchiveMembers members;
    for (const std::string& name : names) {
        members.push_back({name, {}});
    }
    return ArchiveBytes(members);
}

} // namespace Ostrel::Test
