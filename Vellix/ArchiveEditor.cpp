#include "Vellix/ArchiveEditor.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"

#include <algorithm>

namespace Ostrel::Vellix {

namespace Platform = Util::Platform;

ArchiveEditor::ArchiveEditor(const std::string& path)
    : path_(Platform::ResolveCase(path)),
      archive_(Util::MakeCounted<Trova::ICR2DatFile>(path_, false)) {
    for (std::uint32_t index = 0; index < archive_->GetSubfileCount(); ++index) {
        std::string name = archive_->GetSubfileName(index);
        const std::string extension = archive_->GetSubfileExtension(index);
        if (!extension.empty()) {
            name += "." + extension;
        }
        const auto archive = archive_;
        members_.push_back({name, [archive, index] {
                                return archive->OpenSubfile(index);
                            }});
    }
}

std::vector<std::string> ArchiveEditor::GetNames() const {
    std::vector<std::string> names;
    for (const Trova::DatMember& member : members_) {
        names.push_back(member.name);
    }
    return names;
}

std::vector<Trova::DatMember>::iterator ArchiveEditor::Find(const std::string& name) {
    const auto exact = std::find_if(members_.begin(), members_.end(),
                                    [&](const auto& member) { return member.name == name; });
    if (exact != members_.end()) {
        return exact;
    }
    return std::find_if(members_.begin(), members_.end(), [&](const auto& member) {
        return Util::CompareNoCase(member.name, name) == 0;
    });
}

std::vector<Trova::DatMember>::iterator ArchiveEditor::FindExisting(const std::string& name) {
    const auto found = Find(name);
    if (found == members_.end()) {
        throw Util::XFileOpen(path_ + Util::kPathSeparator + name, "File not found");
    }
    return found;
}

bool ArchiveEditor::Add(const std::string& file) {
    const std::string path = Platform::ResolveCase(file);
    if (!Util::FileExists(path)) {
        throw Util::XFileOpen(file, "File not found");
    }
    const std::string name = Util::PathName(path).GetFileName();
    Trova::CheckICR2MemberName(name);
    const Trova::DatMember member{name, [path] {
                                      return Util::OpenForRead(path);
                                  }};
    const auto found = Find(name);
    if (found == members_.end()) {
        members_.push_back(member);
        return false;
    }
    *found = member;
    return true;
}

void ArchiveEditor::Remove(const std::string& member) {
    members_.erase(FindExisting(member));
}

void ArchiveEditor::Rename(const std::string& member, const std::string& newName) {
    const auto found = FindExisting(member);
    Trova::CheckICR2MemberName(newName);
    const auto other = Find(newName);
    if (other != members_.end() && other != found) {
        throw Util::XUsage("The archive has a member named " + other->name + " already");
    }
    found->name = newName;
}

void ArchiveEditor::Save(bool dryRun) const {
    if (dryRun) {
        // The whole archive is planned as it would be written, without reading any member.
        std::vector<Trova::DatMember> empty;
        for (const Trova::DatMember& member : members_) {
            empty.push_back({member.name, [name = member.name] {
                                 return Util::MakeCounted<Util::MemoryStream>(name);
                             }});
        }
        Util::MemoryStream plan(path_);
        Trova::WriteICR2Archive(plan, empty);
        return;
    }
    Util::WriteSafely(path_, true,
                      [&](const auto& stream) { Trova::WriteICR2Archive(*stream, members_); });
}

std::vector<std::string> RebuildArchive(const std::string& path, bool keepMembers, bool dryRun) {
    ArchiveEditor editor(path);
    const std::vector<std::string> old = editor.GetNames();
    if (!keepMembers) {
        editor.Clear();
    }
    const std::string directory = Util::PathName(editor.GetPath()).GetParentDirectory();
    const Trova::ArchiveSelection selection = Trova::SelectArchiveFiles(directory);
    for (const std::string& name : selection.included) {
        editor.Add(directory + name);
    }
    std::vector<std::string> kept;
    for (const std::string& name : keepMembers ? old : std::vector<std::string>()) {
        const bool replaced = std::any_of(
            selection.included.begin(), selection.included.end(),
            [&](const std::string& file) { return Util::CompareNoCase(file, name) == 0; });
        if (!replaced) {
            kept.push_back(name);
        }
    }
    editor.Save(dryRun);
    return kept;
}

} // namespace Ostrel::Vellix
