#pragma once

// A listed file's picture read with objects of its own, outside the shared file factory and its
// caches, so that a worker thread may read pictures while the user-interface thread lists,
// converts and purges through the factory.

#include "Trova/Bitmap.h"
#include "Trova/DatFile.h"
#include "Util/CountedPtr.h"
#include "Vellix/BitmapFile.h"

#include <cstdint>
#include <string>

namespace Ostrel::Vellix {

class PseudoDirectory;

// Where a listed file's bytes lie: a loose file, or a member of an archive.
struct PictureSource {
    BitmapKind kind = BitmapKind::Other;
    std::string path;        // the loose file; empty for an archive member
    std::string archivePath; // the archive holding the member
    std::string memberName;  // as the archive names it, with its extension
};

// Taken on the thread that owns the container.
PictureSource SourceOfEntry(const PseudoDirectory& container, std::uint32_t index);

// Reads pictures on one thread; keeps the last archive it opened for the next member.
class DetachedPictureReader {
public:
    // A level's picture (a file with one picture has only level 0); empty for a file without
    // levels. Failures propagate as the formats' exceptions.
    Util::CountedPtr<Trova::Bitmap> Picture(const PictureSource& source, std::uint32_t level);

private:
    Util::CountedPtr<Util::BinaryStream> Open(const PictureSource& source);

    std::string archivePath_;
    Util::CountedPtr<Trova::DatFile> archive_;
};

} // namespace Ostrel::Vellix
