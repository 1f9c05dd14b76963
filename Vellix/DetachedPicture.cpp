#include "Vellix/DetachedPicture.h"

#include "Trova/DIB.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/ICR2DatFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/PseudoDirectory.h"

namespace Ostrel::Vellix {

namespace {

// The archive of an archive node: its path without the directory inside the archive.
std::string ArchivePathOf(const PseudoDirectory& container) {
    const std::string path = container.GetPathName().GetFullName();
    const std::string inside = container.GetArchiveSubdirectory();
    return inside.empty() ? path : path.substr(0, path.size() - inside.size() - 1);
}

} // namespace

PictureSource SourceOfEntry(const PseudoDirectory& container, std::uint32_t index) {
    PictureSource source;
    source.kind = KindOfExtension(container.GetEntryExtension(index));
    // BMP files are always read from the directory, even beside an archive's members.
    if (container.IsArchive() && source.kind != BitmapKind::Bmp) {
        source.archivePath = ArchivePathOf(container);
        source.memberName =
            container.GetEntryQualifiedName(index) + "." + container.GetEntryExtension(index);
    } else {
        source.path = container.GetEntryPath(index);
    }
    return source;
}

Util::CountedPtr<Util::BinaryStream> DetachedPictureReader::Open(const PictureSource& source) {
    if (source.archivePath.empty()) {
        return Util::OpenForRead(source.path);
    }
    if (!archive_ || archivePath_ != source.archivePath) {
        archive_ =
            Util::CountedPtr<Trova::DatFile>(new Trova::ICR2DatFile(source.archivePath, false));
        archivePath_ = source.archivePath;
    }
    auto stream = archive_->FindSubfile(source.memberName);
    if (!stream) {
        throw Util::XFileOpen(source.archivePath + Util::kPathSeparator + source.memberName,
                              "File not found");
    }
    return stream;
}

Util::CountedPtr<Trova::Bitmap> DetachedPictureReader::Picture(const PictureSource& source,
                                                               std::uint32_t level) {
    switch (source.kind) {
    case BitmapKind::Bmp:
        return Util::CountedPtr<Trova::Bitmap>(new Trova::DIB(source.path));
    case BitmapKind::Mip:
        return Trova::GPLMipFile(Open(source), 0).GetBitmap(level);
    case BitmapKind::Srb:
        return Trova::GPLSrbFile(Open(source)).GetBitmap(level);
    case BitmapKind::Pbf:
        return Trova::GPLPbfFile(Open(source)).GetBitmap();
    default:
        return {};
    }
}

} // namespace Ostrel::Vellix
