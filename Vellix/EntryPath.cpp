#include "Vellix/EntryPath.h"

#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

namespace Ostrel::Vellix {

namespace Platform = Util::Platform;

namespace {

// Walks up from the path to the first existing file, taken as the archive; what follows it is
// the directory inside the archive and the member's name.
bool SplitArchiveMember(const std::string& path, EntryPath& where) {
    for (std::size_t split = path.rfind(Util::kPathSeparator);
         split != std::string::npos && split > 0;
         split = path.rfind(Util::kPathSeparator, split - 1)) {
        const std::string archive = path.substr(0, split);
        if (!Platform::IsFile(archive)) {
            continue;
        }
        const std::string inside = path.substr(split + 1);
        const std::size_t last = inside.rfind(Util::kPathSeparator);
        where.container = archive;
        where.subdirectory = last == std::string::npos ? "" : inside.substr(0, last);
        where.inArchive = true;
        where.name = last == std::string::npos ? inside : inside.substr(last + 1);
        return true;
    }
    return false;
}

} // namespace

std::string EntryPath::ContainerKey() const {
    // Case kept: A.dat and a.DAT side by side are two archives.
    return container + '\n' + Util::ToLower(subdirectory);
}

EntryPath SplitEntryPath(const std::string& path) {
    const std::string resolved = Platform::ResolveCase(path);
    EntryPath where;
    if (Platform::IsFile(resolved)) {
        const Util::PathName file(resolved);
        where.container = file.GetParentDirectory();
        where.name = file.GetFileName();
        return where;
    }
    if (SplitArchiveMember(resolved, where)) {
        return where;
    }
    throw Util::XFileOpen(path, "File not found");
}

Util::CountedPtr<PseudoDirectory> OpenEntryContainer(const EntryPath& where) {
    if (where.inArchive) {
        return Util::CountedPtr<PseudoDirectory>(
            new DatDirectory(where.container, where.subdirectory));
    }
    return Util::CountedPtr<PseudoDirectory>(new RealDirectory(where.container));
}

EntryNameIndex::EntryNameIndex(const PseudoDirectory& container) {
    for (std::uint32_t entry = 0; entry < container.GetEntryCount(); ++entry) {
        if (!container.IsSubdirectory(entry)) {
            const std::string name = container.GetEntryName(entry);
            exact_.try_emplace(name, entry);
            folded_.try_emplace(Util::ToLower(name), entry);
        }
    }
}

bool EntryNameIndex::Find(const std::string& name, std::uint32_t& index) const {
    auto found = exact_.find(name);
    if (found == exact_.end()) {
        found = folded_.find(Util::ToLower(name));
        if (found == folded_.end()) {
            return false;
        }
    }
    index = found->second;
    return true;
}

bool FindEntryNamed(const PseudoDirectory& container, const std::string& name,
                    std::uint32_t& index) {
    return EntryNameIndex(container).Find(name, index);
}

} // namespace Ostrel::Vellix
