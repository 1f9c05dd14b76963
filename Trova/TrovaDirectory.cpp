#include "Trova/TrovaDirectory.h"

#include "Util/Exception.h"
#include "Util/Platform.h"

namespace Ostrel::Trova {

namespace Platform = Util::Platform;
using Util::kPathSeparator;

namespace {

constexpr char kSourceUnit[] = "TrovaDirectory";

// The texts of these checks are quoted in error reports; they stay as they are.
constexpr char kNoFullPath[] = "result != 0 && result < sizeof(buf)";
constexpr char kNoLastComponent[] = "path_sep[depth] != 0";
constexpr char kNothingExists[] = "attributes != 0xFFFFFFFF";
constexpr char kNoHoldingDirectory[] =
    "attributes != 0xFFFFFFFF && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0";

void Require(bool condition, const char* expression, std::uint32_t line) {
    if (!condition) {
        Util::AssertionFailed(expression, kSourceUnit, line);
    }
}

// An absolute path with the case its existing components have on disk, and what it names.
struct Location {
    std::string path;
    std::size_t last = std::string::npos; // start of the last component; npos for a root
    bool exists = false;
    bool isDirectory = false;

    bool IsRoot() const { return last == std::string::npos; }
    std::string LastComponent() const { return path.substr(last); }
    // The path up to the last component: the parent, with its separator.
    std::string ParentText() const { return path.substr(0, last); }
};

Location Locate(const std::string& path, std::uint32_t line) {
    Location location;
    std::string absolute;
    Require(Platform::GetFullPath(path, absolute, location.last), kNoFullPath, line);
    // Case changes no lengths, so the position of the last component stays valid.
    location.path = Platform::ResolveCase(absolute);
    location.isDirectory = Platform::IsDirectory(location.path);
    location.exists = location.isDirectory || Platform::IsFile(location.path);
    return location;
}

// A missing name below an existing parent. It is taken for what the parent is: below a directory
// a directory to be, below a file (an archive) something whose directory must be looked for.
Location MissingChild(const Location& parent, const std::string& name) {
    Location location;
    location.path = parent.path;
    if (location.path.back() != kPathSeparator) {
        location.path += kPathSeparator;
    }
    location.last = location.path.size();
    location.path += name;
    location.isDirectory = parent.isDirectory;
    return location;
}

// A path that does not exist belongs to its parent, or, when that is missing too, is taken for
// a directory to be created below the grandparent. A dot-less name in an existing directory is
// a directory to be as well.
Location CandidateForMissing(const Location& missing) {
    Require(!missing.IsRoot(), kNoLastComponent, __LINE__);
    const Location parent = Locate(missing.ParentText(), __LINE__);
    if (!parent.exists) {
        Require(!parent.IsRoot(), kNoLastComponent, __LINE__);
        const Location grandparent = Locate(parent.ParentText(), __LINE__);
        Require(grandparent.exists, kNothingExists, __LINE__);
        return MissingChild(grandparent, parent.LastComponent());
    }
    const std::string name = missing.LastComponent();
    if (parent.isDirectory && name.find('.') == std::string::npos) {
        return MissingChild(parent, name);
    }
    return parent;
}

} // namespace

TrovaDirectory::TrovaDirectory(const std::string& path) {
    // The absolute path has no final separator, so "cars/" and "cars" are the same directory.
    Location location = Locate(path, __LINE__);
    if (!location.exists) {
        location = CandidateForMissing(location);
    }
    if (!location.IsRoot() && !location.isDirectory) {
        location = Locate(location.ParentText(), __LINE__);
        Require(location.isDirectory, kNoHoldingDirectory, __LINE__);
    }
    isRoot_ = location.IsRoot();
    if (isRoot_) {
        directoryName_ = directoryPath_ = location.path;
        return;
    }
    directoryName_ = location.LastComponent();
    directoryPath_ = location.path + kPathSeparator;
    parentPath_ = location.ParentText();
}

std::string TrovaDirectory::GetArchivePath() const {
    if (isRoot_) {
        return {};
    }
    return Platform::ResolveCase(directoryPath_ + directoryName_ + ".dat");
}

} // namespace Ostrel::Trova
