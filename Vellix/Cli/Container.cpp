#include "Vellix/Cli/Container.h"

#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

namespace Ostrel::Vellix::Cli {

namespace Platform = Util::Platform;

namespace {

// The entry of that name; an exact match wins over one that differs in case.
bool FindNamed(const PseudoDirectory& container, const std::string& name, std::uint32_t& found) {
    bool any = false;
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (container.IsSubdirectory(index)) {
            continue;
        }
        const std::string entry = container.GetEntryName(index);
        if (entry == name) {
            found = index;
            return true;
        }
        if (!any && Util::CompareNoCase(entry, name) == 0) {
            found = index;
            any = true;
        }
    }
    return any;
}

// Walks up from the path to the first existing file, taken as the archive; what follows it is
// the directory inside the archive and the member's name.
bool FindArchiveMember(const std::string& path, Entry& entry) {
    for (std::size_t split = path.rfind(Util::kPathSeparator);
         split != std::string::npos && split > 0;
         split = path.rfind(Util::kPathSeparator, split - 1)) {
        const std::string archive = path.substr(0, split);
        if (!Platform::IsFile(archive)) {
            continue;
        }
        const std::string inside = path.substr(split + 1);
        const std::size_t last = inside.rfind(Util::kPathSeparator);
        const std::string subdirectory = last == std::string::npos ? "" : inside.substr(0, last);
        entry.container =
            Util::CountedPtr<PseudoDirectory>(new DatDirectory(archive, subdirectory));
        return FindNamed(*entry.container, inside.substr(last + 1), entry.index);
    }
    return false;
}

} // namespace

Util::CountedPtr<PseudoDirectory> OpenContainer(const std::string& path) {
    const std::string resolved = Platform::ResolveCase(path);
    if (Platform::IsDirectory(resolved)) {
        return Util::CountedPtr<PseudoDirectory>(new RealDirectory(resolved));
    }
    if (Platform::IsFile(resolved)) {
        return Util::CountedPtr<PseudoDirectory>(new DatDirectory(resolved, ""));
    }
    throw Util::XFileOpen(path, "File not found");
}

Entry FindEntry(const std::string& path) {
    const std::string resolved = Platform::ResolveCase(path);
    Entry entry;
    if (Platform::IsFile(resolved)) {
        const Util::PathName file(resolved);
        entry.container =
            Util::CountedPtr<PseudoDirectory>(new RealDirectory(file.GetParentDirectory()));
        if (FindNamed(*entry.container, file.GetFileName(), entry.index)) {
            return entry;
        }
    } else if (FindArchiveMember(resolved, entry)) {
        return entry;
    }
    throw Util::XFileOpen(path, "File not found");
}

} // namespace Ostrel::Vellix::Cli
