#pragma once

#include <string>

namespace Ostrel::Util {

// A path split once into the parts the system asks for. Directories come back with one trailing
// separator so that a child's path is the directory text followed by the child's name.
class PathName {
public:
    PathName() : PathName(std::string()) {}
    explicit PathName(const std::string& path);
    PathName(const PathName& directory, const std::string& name, const std::string& extension);

    const std::string& GetFullName() const { return fullName_; }
    const std::string& GetAsDirectory() const { return asDirectory_; }
    const std::string& GetBaseName() const { return baseName_; }
    const std::string& GetExtension() const { return extension_; }
    const std::string& GetParentDirectory() const { return parentDirectory_; }
    const std::string& GetFileName() const { return fileName_; }
    const std::string& GetPathWithoutExtension() const { return pathWithoutExtension_; }
    bool IsRoot() const { return isRoot_; }

private:
    void Parse(const std::string& path);

    std::string fullName_;
    std::string asDirectory_;
    std::string baseName_;
    std::string extension_;
    std::string parentDirectory_;
    std::string fileName_;
    std::string pathWithoutExtension_;
    bool isRoot_ = false;
};

// Whether name can be the name of a file written into a directory on every platform the games'
// files travel between: one component (no separator, not "." or ".."), none of the characters
// Windows refuses (":" would open an NTFS stream), no trailing dot or space (Windows drops them),
// and not a device name such as CON, NUL or COM1 with or without an extension.
bool IsUsableFileName(const std::string& name);

// name itself, refused with XUsage unless IsUsableFileName(name): a name from an archive could
// otherwise place a file outside the directory meant.
const std::string& CheckedFileName(const std::string& name);

} // namespace Ostrel::Util
