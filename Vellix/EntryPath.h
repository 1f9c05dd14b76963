#pragma once

// A file named on a command line or in a batch is a loose file of a directory or a member of an
// archive, written as the archive's path followed by the member's name (cars/cars.dat/CAR1.MIP).

#include "Util/CountedPtr.h"
#include "Vellix/PseudoDirectory.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace Ostrel::Vellix {

struct EntryPath {
    std::string container;    // the directory, or the archive file
    std::string subdirectory; // inside the archive; empty for its top level and for directories
    bool inArchive = false;
    std::string name; // the entry's name with extension

    // One key per container, so that several entries of it share one node.
    std::string ContainerKey() const;
};

// Where the path lies, matching every component without regard to case. XFileOpen
// (path, "File not found") when it names neither a file nor a place inside an archive.
EntryPath SplitEntryPath(const std::string& path);

// The node that lists the entry's container.
Util::CountedPtr<PseudoDirectory> OpenEntryContainer(const EntryPath& where);

// The files of a container by name, for finding many of them in one pass over its entries: the
// exact name wins over one that differs in case, and among those the first entry wins.
class EntryNameIndex {
public:
    explicit EntryNameIndex(const PseudoDirectory& container);
    bool Find(const std::string& name, std::uint32_t& index) const;

private:
    std::unordered_map<std::string, std::uint32_t> exact_;
    std::unordered_map<std::string, std::uint32_t> folded_;
};

// The index of the entry of that name, by the rules of EntryNameIndex.
bool FindEntryNamed(const PseudoDirectory& container, const std::string& name,
                    std::uint32_t& index);

} // namespace Ostrel::Vellix
