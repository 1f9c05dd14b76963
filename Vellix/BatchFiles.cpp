#include "Vellix/BatchFiles.h"

#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/BitmapList.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

#include <algorithm>
#include <numeric>

namespace Ostrel::Vellix {

namespace {

namespace Platform = Util::Platform;
constexpr char kSeparator = Util::kPathSeparator;
// The separators an operand may be written with: Windows takes '/' as well as its own.
#ifdef _WIN32
constexpr char kSeparators[] = "\\/";
#else
constexpr char kSeparators[] = "/";
#endif

std::string Join(const std::string& directory, const std::string& name) {
    return directory.empty() ? name : directory + kSeparator + name;
}

std::string LastComponent(const std::string& path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string WithoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool IsArchiveName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && Util::CompareNoCase(name.substr(dot + 1), "dat") == 0;
}

// What one search looks at: the entries of a directory or an archive, matching a pattern.
struct Place {
    std::string path;     // of the directory or archive
    std::string relative; // of the place, below what the user named
    std::string pattern;
};

class Searcher {
public:
    Searcher(const BatchSearch& search, BatchFiles& found) : search_(search), found_(found) {}

    void Directory(const Place& place) {
        const RealDirectory directory(place.path);
        for (const std::uint32_t index : InNameOrder(directory)) {
            const std::string name = directory.GetEntryName(index);
            const Place inner{Join(place.path, name), Join(place.relative, name), "*"};
            if (directory.IsSubdirectory(index)) {
                if (search_.recursive) {
                    Directory(inner);
                }
            } else if (search_.recursive && search_.archives && IsArchiveName(name)) {
                Archive(inner);
            } else {
                Take(directory, index, place);
            }
        }
    }

    void Archive(const Place& place) {
        if (search_.archivesOnly) {
            found_.files.push_back({place.path, place.relative});
            return;
        }
        try {
            const DatDirectory archive(place.path, "");
            for (const std::uint32_t index : InNameOrder(archive)) {
                if (!archive.IsSubdirectory(index)) {
                    Take(archive, index, place);
                }
            }
        } catch (const Util::Exception& error) {
            found_.skipped.push_back({place.path, error.Message()});
        }
    }

private:
    static std::vector<std::uint32_t> InNameOrder(const PseudoDirectory& container) {
        std::vector<std::uint32_t> order(container.GetEntryCount());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return Util::CompareNoCase(container.GetEntryName(a), container.GetEntryName(b)) < 0;
        });
        return order;
    }

    void Take(const PseudoDirectory& container, std::uint32_t index, const Place& place) {
        const std::string name = container.GetEntryName(index);
        const BitmapKind kind = ListedKind(container, index);
        const bool wanted =
            std::find(search_.kinds.begin(), search_.kinds.end(), kind) != search_.kinds.end();
        if (wanted && Util::WildcardMatch(place.pattern, name)) {
            found_.files.push_back(
                {Join(place.path, name), Join(place.relative, WithoutExtension(name))});
        }
    }

    const BatchSearch& search_;
    BatchFiles& found_;
};

} // namespace

bool IsWildcard(const std::string& name) {
    return LastComponent(name).find_first_of("*?") != std::string::npos;
}

void FindBatchFiles(const std::string& name, const BatchSearch& search, BatchFiles& found) {
    Searcher searcher(search, found);
    if (IsWildcard(name)) {
        const std::size_t separator = name.find_last_of(kSeparators);
        const std::string where = Platform::ResolveCase(
            separator == std::string::npos ? "."
                                           : name.substr(0, std::max<std::size_t>(separator, 1)));
        const Place place{where, "", LastComponent(name)};
        if (Platform::IsDirectory(where)) {
            searcher.Directory(place);
        } else if (Platform::IsFile(where)) {
            searcher.Archive(place);
        } else {
            throw Util::XFileOpen(where, "File not found");
        }
        return;
    }
    const std::string resolved = Platform::ResolveCase(name);
    if (search.recursive && Platform::IsDirectory(resolved)) {
        searcher.Directory({resolved, "", "*"});
    } else if (search.recursive && search.archives && Platform::IsFile(resolved) &&
               IsArchiveName(resolved)) {
        searcher.Archive({resolved, "", "*"});
    } else {
        found.files.push_back({name, WithoutExtension(LastComponent(name))});
    }
}

void FindArchiveFiles(const std::string& name, BatchFiles& found) {
    const BatchSearch search{{}, true, true, true};
    const std::string resolved = Platform::ResolveCase(name);
    if (Platform::IsDirectory(resolved)) {
        Searcher(search, found).Directory({resolved, "", "*"});
    } else {
        found.files.push_back({name, LastComponent(name)});
    }
}

} // namespace Ostrel::Vellix
