#include "Util/Platform.h"

#include "Util/Text.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <unordered_map>

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

// The root that a path starting with a separator refers to: the file-system root on POSIX, the
// current directory's drive on Windows.
std::string CurrentRoot(const std::string& current) {
#ifdef _WIN32
    return current.substr(0, 2) + kPathSeparator;
#else
    static_cast<void>(current);
    return std::string(1, kPathSeparator);
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
        absolute = IsSeparator(path[0]) ? CurrentRoot(current) + path.substr(1)
                                        : current + kPathSeparator + path;
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

namespace {

// The names of one directory by their lower-case form, each with its spellings in the order the
// file system delivered them.
using NameIndex = std::unordered_map<std::string, std::vector<std::string>>;

struct CaseIndexes {
    std::mutex mutex;
    int scopes = 0;
    std::unordered_map<std::string, NameIndex> byDirectory; // by full path as resolved
};

CaseIndexes& Indexes() {
    static CaseIndexes indexes;
    return indexes;
}

NameIndex ReadNameIndex(const std::string& directory) {
    NameIndex index;
    for (const DirectoryEntry& entry : ListDirectory(directory)) {
        index[ToLower(entry.name)].push_back(entry.name);
    }
    return index;
}

// The entry of directory that matches name without regard to case; empty when there is none.
std::string FindNoCase(const std::string& directory, const std::string& name) {
    CaseIndexes& indexes = Indexes();
    std::unique_lock lock(indexes.mutex);
    if (indexes.scopes == 0) {
        lock.unlock();
        for (const DirectoryEntry& entry : ListDirectory(directory)) {
            if (CompareNoCase(entry.name, name) == 0) {
                return entry.name;
            }
        }
        return {};
    }
    auto cached = indexes.byDirectory.find(directory);
    if (cached == indexes.byDirectory.end()) {
        cached = indexes.byDirectory.emplace(directory, ReadNameIndex(directory)).first;
    }
    const auto match = cached->second.find(ToLower(name));
    return match == cached->second.end() ? std::string() : match->second.front();
}

// The index of the directory that holds path, if one is kept; full is the path made absolute
// and name its last component.
NameIndex* IndexHolding(const std::string& path, std::string& full, std::string& name) {
    std::size_t last = 0;
    if (!GetFullPath(path, full, last) || last == std::string::npos) {
        return nullptr;
    }
    name = full.substr(last);
    const SplitPath split = Split(full.substr(0, last));
    const auto found = Indexes().byDirectory.find(Join(split.root, split.components));
    return found == Indexes().byDirectory.end() ? nullptr : &found->second;
}

} // namespace

CaseIndexScope::CaseIndexScope() {
    const std::lock_guard lock(Indexes().mutex);
    ++Indexes().scopes;
}

CaseIndexScope::~CaseIndexScope() {
    const std::lock_guard lock(Indexes().mutex);
    if (--Indexes().scopes == 0) {
        Indexes().byDirectory.clear();
    }
}

void NoteCreated(const std::string& path) {
    const std::lock_guard lock(Indexes().mutex);
    std::string full;
    std::string name;
    if (NameIndex* index = IndexHolding(path, full, name)) {
        auto& spellings = (*index)[ToLower(name)];
        if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) {
            spellings.push_back(name);
        }
    }
}

void NoteRemoved(const std::string& path) {
    const std::lock_guard lock(Indexes().mutex);
    std::string full;
    std::string name;
    NameIndex* index = IndexHolding(path, full, name);
    if (!index) {
        return;
    }
    if (const auto spellings = index->find(ToLower(name)); spellings != index->end()) {
        std::erase(spellings->second, name);
        if (spellings->second.empty()) {
            index->erase(spellings);
        }
    }
    // The indexes under a directory that moved away describe paths that are gone.
    const std::string inside = full + kPathSeparator;
    std::erase_if(Indexes().byDirectory,
                  [&](const auto& each) { return each.first.starts_with(inside); });
}

std::string ResolveCase(const std::string& path) {
    std::string full;
    std::size_t last = 0;
    // Where names ignore case, a path that exists as written may still be spelt otherwise on disk.
    if (!GetFullPath(path, full, last) ||
        (!kNamesIgnoreCase && (IsFile(full) || IsDirectory(full)))) {
        return path;
    }
    SplitPath split = Split(full);
    std::vector<std::string> resolved;
    for (const std::string& component : split.components) {
        const std::string parent = Join(split.root, resolved);
        resolved.push_back(component);
        if (std::string onDisk = NameOnDisk(Join(split.root, resolved)); !onDisk.empty()) {
            resolved.back() = std::move(onDisk);
        } else if (std::string match = kNamesIgnoreCase ? "" : FindNoCase(parent, component);
                   !match.empty()) {
            resolved.back() = std::move(match);
        }
    }
    return Join(split.root, resolved);
}

bool CreateDirectories(const std::string& path) {
    std::string full;
    std::size_t last = 0;
    if (!GetFullPath(path, full, last)) {
        return false;
    }
    const SplitPath split = Split(full);
    std::vector<std::string> made;
    for (const std::string& component : split.components) {
        made.push_back(component);
        const std::string directory = Join(split.root, made);
        if (!IsDirectory(directory) && !MakeDirectory(directory)) {
            return false;
        }
    }
    return true;
}

std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace Ostrel::Util::Platform
