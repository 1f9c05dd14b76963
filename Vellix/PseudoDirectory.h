#pragma once

// A place whose entries the views list: a directory on disk or an archive (or a directory inside
// one). The views own the nodes; entries are addressed by index below GetEntryCount().

#include "Trova/FileFactory.h"
#include "Util/CountedPtr.h"
#include "Util/PathName.h"

#include <cstdint>
#include <string>

namespace Ostrel::Vellix {

class PseudoDirectory {
public:
    virtual ~PseudoDirectory() = default;
    virtual std::uint32_t GetEntryCount() const = 0;
    virtual bool IsSubdirectory(std::uint32_t index) const = 0;
    virtual std::string GetEntryName(std::uint32_t index) const = 0;
    virtual std::string GetEntryBaseName(std::uint32_t index) const = 0;
    virtual std::string GetEntryExtension(std::uint32_t index) const = 0;
    // The base name as the file factory's Make expects it.
    virtual std::string GetEntryQualifiedName(std::uint32_t index) const = 0;
    virtual Util::CountedPtr<Trova::FileFactory> GetFileFactory() const = 0;
    virtual Util::PathName GetPathName() const = 0;
    virtual bool IsArchive() const = 0;
    virtual std::string GetArchiveSubdirectory() const = 0;
    // Lists the place again, for a change reported or suspected; a place that cannot change
    // while it is shown keeps its list.
    virtual void Refresh() {}

    // The path by which the entry is opened: the place's path and the entry's name.
    std::string GetEntryPath(std::uint32_t index) const {
        return GetPathName().GetAsDirectory() + GetEntryName(index);
    }
};

} // namespace Ostrel::Vellix
