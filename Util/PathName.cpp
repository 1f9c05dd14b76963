#include "Util/PathName.h"

#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace Ostrel::Util {

namespace {
constexpr char kSourceUnit[] = "PathName";
}

PathName::PathName(const std::string& path) {
    Parse(path);
}

PathName::PathName(const PathName& directory, const std::string& name,
                   const std::string& extension) {
    std::string path = directory.GetAsDirectory() + name;
    if (!extension.empty()) {
        path += '.' + extension;
    }
    Parse(path);
}

void PathName::Parse(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::string copy = path;
    // A root keeps its separator ("/", or "C:\" on Windows); any other path drops one.
    constexpr std::size_t kRootLength = kPathSeparator == '/' ? 1 : 3;
    if (copy.size() != kRootLength && copy.back() == kPathSeparator) {
        copy.pop_back();
    }
    std::size_t lastComponent = 0;
    const bool result = Platform::GetFullPath(copy, fullName_, lastComponent);
    OSTREL_ASSERT(result);
    if (lastComponent == std::string::npos) {
        asDirectory_ = fileName_ = baseName_ = pathWithoutExtension_ = fullName_;
        isRoot_ = true;
        return;
    }
    asDirectory_ = fullName_ + kPathSeparator;
    fileName_ = fullName_.substr(lastComponent);
    const std::size_t dot = fileName_.rfind('.');
    baseName_ = fileName_.substr(0, dot);
    extension_ = dot == std::string::npos ? std::string() : fileName_.substr(dot + 1);
    // The parent keeps exactly one separator, also when it is the root itself.
    parentDirectory_ = fullName_.substr(0, lastComponent);
    if (parentDirectory_.empty() || parentDirectory_.back() != kPathSeparator) {
        parentDirectory_ += kPathSeparator;
    }
    pathWithoutExtension_ = parentDirectory_ + baseName_;
}

namespace {

bool IsDeviceName(const std::string& name) {
    static const char* const kDevices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    const std::string stem = name.substr(0, name.find('.'));
    return std::any_of(std::begin(kDevices), std::end(kDevices),
                       [&](const char* device) { return CompareNoCase(stem, device) == 0; });
}

} // namespace

bool IsUsableFileName(const std::string& name) {
    const bool refusedCharacter = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    });
    // "." and ".." end in a dot too.
    return !name.empty() && !refusedCharacter && name.back() != '.' && name.back() != ' ' &&
           !IsDeviceName(name);
}

const std::string& CheckedFileName(const std::string& name) {
    if (!IsUsableFileName(name)) {
        throw XUsage("\"" + name + "\" is not a usable file name");
    }
    return name;
}

} // namespace Ostrel::Util
