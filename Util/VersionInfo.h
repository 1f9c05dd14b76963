#pragma once

#include <cstdint>
#include <string_view>

namespace Ostrel::Util {

// The program's own version. It is compiled in (VELLIX_VERSION_TEXT, "major.minor.build.revision")
// because executables carry no version block on every platform.
class VersionInfo {
public:
    VersionInfo();
    // Parses a version text of four dot-separated 16-bit numbers; anything else is an XAssertion.
    explicit VersionInfo(std::string_view versionText);

    void GetFileVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build,
                        std::uint16_t& revision) const;

private:
    std::uint16_t parts_[4] = {};
};

} // namespace Ostrel::Util
