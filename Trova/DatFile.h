#pragma once

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"
#include "Util/PathName.h"

#include <cstdint>
#include <string>

namespace Ostrel::Trova {

// A game archive: a flat list of named members stored in one file. Members are handed out as
// streams of their own, so every format reader reads a member exactly as it reads a plain file.
// Indexes run from 0 to GetSubfileCount() - 1.
class DatFile {
public:
    virtual ~DatFile();

    virtual const Util::PathName& GetPath() const = 0;
    virtual std::uint32_t GetSubfileCount() const = 0;
    // The member's name without its extension.
    virtual std::string GetSubfileName(std::uint32_t index) const = 0;
    // The member's extension, without the dot.
    virtual std::string GetSubfileExtension(std::uint32_t index) const = 0;
    // The member's directory inside the archive; empty for members at the archive's top.
    virtual std::string GetSubfileDirectory(std::uint32_t index) const = 0;
    virtual std::uint32_t GetSubfileSize(std::uint32_t index) const = 0;
    // Where the member's data starts in the archive.
    virtual std::uint32_t GetSubfileOffset(std::uint32_t index) const = 0;
    // What the member occupies in the archive.
    virtual std::uint32_t GetSubfileStoredSize(std::uint32_t index) const = 0;
    virtual Util::CountedPtr<Util::BinaryStream> OpenSubfile(std::uint32_t index) = 0;
    // The first member whose name matches without regard to case; empty when none does.
    virtual Util::CountedPtr<Util::BinaryStream> FindSubfile(const std::string& name) = 0;
    // Replaces the members by the suitable loose files of the archive's directory; with report
    // set, prints which files were taken and why the others were not.
    virtual void AddFiles(bool report) = 0;
    // Writes the directory and the members' data.
    virtual void Save() = 0;
};

} // namespace Ostrel::Trova
