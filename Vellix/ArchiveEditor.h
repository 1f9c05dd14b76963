#pragma once

// Changes to the members of an archive: added or replaced from loose files, removed, renamed, or
// the whole archive rebuilt from its directory. Nothing changes on disk until Save writes a
// complete new archive through the one safe-write facility, which renames it over the old one.
// Member order is kept; new members go at the end.

#include "Trova/ICR2DatFile.h"
#include "Util/CountedPtr.h"

#include <string>
#include <vector>

namespace Ostrel::Vellix {

class ArchiveEditor {
public:
    // The members of the archive at path (XFileOpen or XFileFormat when it cannot be read).
    explicit ArchiveEditor(const std::string& path);

    const std::string& GetPath() const { return path_; }
    // The members' names, in archive order.
    std::vector<std::string> GetNames() const;

    // A member from a loose file, named as the file's name is written. A member of the same name
    // (without regard to case) is replaced in its place; returns whether one was.
    bool Add(const std::string& file);
    // XFileOpen "File not found" naming the member when there is none of that name.
    void Remove(const std::string& member);
    // XUsage when another member has the new name already.
    void Rename(const std::string& member, const std::string& newName);
    // Every member goes, so that the archive is made anew.
    void Clear() { members_.clear(); }

    // Checks the archive's rules (names, member count) and, unless dryRun, writes it.
    void Save(bool dryRun) const;

private:
    // The member of that name: the exact name first, then one that differs only in case.
    std::vector<Trova::DatMember>::iterator Find(const std::string& name);
    std::vector<Trova::DatMember>::iterator FindExisting(const std::string& name);

    std::string path_;
    Util::CountedPtr<Trova::ICR2DatFile> archive_;
    std::vector<Trova::DatMember> members_;
};

// The existing archive at path made anew from the directory's suitable loose files (selected as
// dat build selects them), each replacing a member of its name. With keepMembers the old
// archive's members that no loose file replaces stay in their places; their names are returned.
std::vector<std::string> RebuildArchive(const std::string& path, bool keepMembers, bool dryRun);

} // namespace Ostrel::Vellix
