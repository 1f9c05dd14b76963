#include "Vellix/Cli/Container.h"

#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/EntryPath.h"
#include "Vellix/RealDirectory.h"

namespace Ostrel::Vellix::Cli {

namespace Platform = Util::Platform;

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
    const EntryPath where = SplitEntryPath(path);
    Entry entry{OpenEntryContainer(where), 0};
    if (!FindEntryNamed(*entry.container, where.name, entry.index)) {
        throw Util::XFileOpen(path, "File not found");
    }
    return entry;
}

} // namespace Ostrel::Vellix::Cli
