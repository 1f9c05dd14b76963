#include "Util/Platform.h"

#include "Util/Text.h"

#include <algorithm>
#include <chrono>

namespace Ostrel::Util::Platform {

namespace {

// Splits an absolute path into its root ("/" or "C:\") and its components.
struct SplitPath {
    std::string root;
    std::vector<std::string> components;
};

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

SplitPath Split(const std::string& absolute) {
#ifdef _WIN32
    SplitPath split{absolute.substr(0, 3), {}};
#else
    SplitPath split{std::string(1, kPathSeparator), {}};
#endif
    std::string component;
    for (std::size_t i = split.root.size(); i <= absolute.size(); ++i) {
        if (i == absolute.size() || IsSeparator(absolute[i])) {
            if (!component.empty()) {
                split.components.push_back(component);
            }
            component.clear();
        } else {
            component += absolute[i];
        }
    }
    return split;
}

std::string Join(const std::string& root, const std::vector<std::string>& components) {
    std::string joined = root;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i != 0) {
            joined += kPathSeparator;
        }
        joined += components[i];
    }
    return joined;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
    return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]);
#else
    return !path.empty() && path[0] == '/';
#endif
}

} // namespace

bool GetFullPath(const std::string& path, std::string& fullPath, std::size_t& lastComponent) {
    if (path.empty()) {
        return false;
    }
    std::string absolute = path;
    if (!IsAbsolute(path)) {
        const std::string current = CurrentDirectory();
        if (current.empty()) {
            return false;
        }
        absolute = current + kPathSeparator + path;
    }
    SplitPath split = Split(absolute);
    std::vector<std::string> normalised;
    for (const std::string& component : split.components) {
        if (component == ".") {
            continue;
        }
        if (component == "..") {
            if (!normalised.empty()) {
                normalised.pop_back();
            }
            continue;
        }
        normalised.push_back(component);
    }
    fullPath = Join(split.root, normalised);
    if (fullPath.size() >= kMaxPath) {
        return false;
    }
    lastComponent =
        normalised.empty() ? std::string::npos : fullPath.size() - normalised.back().size();
    return true;
}

std::string ResolveCase(const std::string& path) {
    std::string full;
    std::size_t last = 0;
    if (!GetFullPath(path, full, last) || IsFile(full) || IsDirectory(full)) {
        return path;
    }
    SplitPath split = Split(full);
    std::vector<std::string> resolved;
    for (const std::string& component : split.components) {
        const std::string parent = Join(split.root, resolved);
        resolved.push_back(component);
        const std::string exact = Join(split.root, resolved);
        if (IsFile(exact) || IsDirectory(exact)) {
            continue;
        }
        const std::vector<DirectoryEntry> entries = ListDirectory(parent);
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
            return CompareNoCase(entry.name, component) == 0;
        });
        if (match != entries.end()) {
            resolved.back() = match->name;
        }
    }
    return Join(split.root, resolved);
}
std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace Ostrel::Util::Platform
