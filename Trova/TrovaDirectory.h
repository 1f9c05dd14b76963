#pragma once

#include <string>

namespace Ostrel::Trova {

// The game directory a path belongs to: an existing directory is its own, a file (also a DAT
// archive, or a member path inside one) belongs to the directory that holds it, and a path that
// does not exist yet belongs to the directory it would be created in (a missing name without a
// dot is taken for a directory to be). The archive of the directory D/name is D/name/name.dat.
// Names are taken with the case they have on disk.
class TrovaDirectory {
public:
    explicit TrovaDirectory(const std::string& path);

    // The file-system root ("/", or a drive root such as "C:\").
    bool IsRoot() const { return isRoot_; }
    // The last component; for a root the root itself.
    const std::string& GetDirectoryName() const { return directoryName_; }
    // Absolute, with one separator appended.
    const std::string& GetDirectoryPath() const { return directoryPath_; }
    // The parent with its separator; empty for a root.
    const std::string& GetParentPath() const { return parentPath_; }

    // GetDirectoryPath() + GetDirectoryName() + ".dat", or the one file of the directory whose
    // name matches that without regard to case when no file has the exact name. A root has no
    // archive: empty.
    std::string GetArchivePath() const;

    bool operator==(const TrovaDirectory&) const = default;

private:
    bool isRoot_ = false;
    std::string directoryName_;
    std::string directoryPath_;
    std::string parentPath_;
};

} // namespace Ostrel::Trova
