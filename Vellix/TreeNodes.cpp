#include "Vellix/TreeNodes.h"

#include "Trova/FileFactoryRegistry.h"
#include "Util/Exception.h"
#include "Util/Text.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

#include <set>

namespace Ostrel::Vellix {

namespace {

bool IsArchiveOnDisk(const std::string& path) {
    try {
        const auto factory = Trova::GetFactoryRegistry().GetFactory(path, false);
        return factory && factory->HasFacet<Trova::GetDat>() &&
               factory->GetFacet<Trova::GetDat>()->GetDatFile();
    } catch (const Util::RuntimeError&) {
        return false;
    }
}

// Pseudo file systems of the kernel and helpers; none of them holds the user's files.
bool IsPseudoFileSystem(const std::string& type) {
    static const std::set<std::string> pseudo = {
        "autofs",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2", "configfs",
        "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl", "hugetlbfs",
        "mqueue",     "nsfs",        "overlay",  "proc",     "pstore",  "ramfs",
        "rpc_pipefs", "securityfs",  "squashfs", "sysfs",    "tmpfs",   "tracefs"};
    return pseudo.count(type) != 0;
}

bool IsDiscFileSystem(const std::string& type) {
    return Util::CompareNoCase(type, "iso9660") == 0 || Util::CompareNoCase(type, "udf") == 0 ||
           Util::CompareNoCase(type, "cdfs") == 0;
}

} // namespace

bool IsTreeWorthy(const PseudoDirectory& container, std::uint32_t index) {
    if (container.IsSubdirectory(index)) {
        return true;
    }
    // A member of an archive is no file on disk: archives inside archives cannot be opened.
    return !container.IsArchive() &&
           Util::CompareNoCase(container.GetEntryExtension(index), "dat") == 0 &&
           IsArchiveOnDisk(container.GetEntryPath(index));
}

bool HasTreeWorthyEntry(const PseudoDirectory& container) {
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (IsTreeWorthy(container, index)) {
            return true;
        }
    }
    return false;
}

TreeNode MakeChildNode(const PseudoDirectory& container, std::uint32_t index) {
    TreeNode node;
    if (container.IsArchive()) {
        node.directory = std::make_unique<DatDirectory>(container.GetPathName().GetFullName(),
                                                        container.GetEntryName(index));
    } else if (container.IsSubdirectory(index)) {
        node.directory = std::make_unique<RealDirectory>(container.GetEntryPath(index));
    } else {
        node.directory = std::make_unique<DatDirectory>(container.GetEntryPath(index), "");
    }
    if (node.directory->IsArchive()) {
        node.image = kTreeIconArchive;
        node.selectedImage = kTreeIconOpenArchive;
    }
    node.text = node.directory->GetPathName().GetFileName();
    return node;
}

std::vector<TopLevelPlace> TopLevelPlaces(const std::string& home, const std::string& root,
                                          const std::vector<MountedVolume>& volumes) {
    std::vector<TopLevelPlace> places;
    std::set<std::string> seen;
    const auto add = [&](const std::string& path, int image) {
        if (!path.empty() && seen.insert(path).second) {
            places.push_back({path, image});
        }
    };
    add(home, kTreeIconDisk);
    add(root, kTreeIconDisk);
    for (const MountedVolume& volume : volumes) {
        if (!IsPseudoFileSystem(volume.fileSystemType)) {
            add(volume.path,
                IsDiscFileSystem(volume.fileSystemType) ? kTreeIconDisc : kTreeIconDisk);
        }
    }
    return places;
}

} // namespace Ostrel::Vellix
