#include "Util/VersionInfo.h"

#include "Util/Exception.h"

#include <charconv>

namespace Ostrel::Util {

namespace {
constexpr char kSourceUnit[] = "VersionInfo";
} // namespace

VersionInfo::VersionInfo() : VersionInfo(VELLIX_VERSION_TEXT) {}

// Parses without allocating: the crash report reads the version after a fault.
VersionInfo::VersionInfo(std::string_view versionText) {
    const char* next = versionText.data();
    const char* const end = next + versionText.size();
    for (std::size_t index = 0; index < std::size(parts_); ++index) {
        if (index > 0) {
            OSTREL_ASSERT(next != end && *next == '.');
            ++next;
        }
        const auto [stop, error] = std::from_chars(next, end, parts_[index]);
        OSTREL_ASSERT(error == std::errc());
        next = stop;
    }
    OSTREL_ASSERT(next == end);
}

void VersionInfo::GetFileVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build,
                                 std::uint16_t& revision) const {
    major = parts_[0];
    minor = parts_[1];
    build = parts_[2];
    revision = parts_[3];
}

} // namespace Ostrel::Util
