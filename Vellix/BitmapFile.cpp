#include "Vellix/BitmapFile.h"

#include "Trova/DIB.h"
#include "Trova/DatFile.h"
#include "Trova/MipFile.h"
#include "Trova/Palette.h"
#include "Trova/PbfFile.h"
#include "Trova/PngFile.h"
#include "Trova/SrbFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"
#include "Vellix/PseudoDirectory.h"

#include <algorithm>
#include <vector>

namespace Ostrel::Vellix {

namespace {

std::uint32_t EntriesOf(const Util::CountedPtr<Trova::Palette>& palette) {
    return palette ? palette->GetCount() : 0;
}

// A palette only where the pixels are indices into it: a true-colour BMP may carry a table of
// suggested colours that says nothing about its pixels.
Util::CountedPtr<BitmapFile> ReadPictureFile(const Util::PathName& path,
                                             Util::BinaryStream& stream) {
    if (KindOfExtension(path.GetExtension()) == BitmapKind::Png) {
        const Util::CountedPtr<Trova::PngFile> png(new Trova::PngFile(stream));
        return Util::CountedPtr<BitmapFile>(
            new BitmapFilePicture(path, png, png->HasAlpha(), nullptr));
    }
    const Util::CountedPtr<Trova::DIB> dib(new Trova::DIB(stream));
    const bool indexed = dib->GetBitCount() <= 8;
    return Util::CountedPtr<BitmapFile>(
        new BitmapFilePicture(path, dib, dib->HasAlpha(), indexed ? dib->GetPalette() : nullptr));
}

} // namespace

BitmapFilePicture::BitmapFilePicture(const Util::PathName& path,
                                     Util::CountedPtr<Trova::Bitmap> picture, bool hasAlpha,
                                     Util::CountedPtr<Trova::Palette> palette)
    : path_(path), picture_(std::move(picture)), hasAlpha_(hasAlpha), palette_(std::move(palette)) {
}

std::uint32_t BitmapFilePicture::GetWidth() const {
    return picture_->GetWidth();
}

std::uint32_t BitmapFilePicture::GetHeight() const {
    return picture_->GetHeight();
}

std::uint32_t BitmapFilePicture::GetPaletteSize() const {
    return EntriesOf(palette_);
}

BitmapFileNull::BitmapFileNull(const Util::PathName& directory, const std::string& baseName,
                               const std::string& extension)
    : path_(directory, baseName, extension) {}

template <typename MakeT, typename FileT>
std::uint32_t BitmapFileLevels<MakeT, FileT>::GetPaletteSize() const {
    const auto file = GetFile();
    return EntriesOf(file->HasIndividualPalettes() ? file->GetBitmapPalette(0)
                                                   : file->GetPalette());
}

template class BitmapFileLevels<Trova::MakeMip, Trova::MipFile>;
template class BitmapFileLevels<Trova::MakeSrb, Trova::SrbFile>;

std::uint32_t BitmapFilePbf::GetPaletteSize() const {
    return EntriesOf(GetFile()->GetPalette());
}

BitmapKind KindOfExtension(const std::string& extension) {
    const std::string lower = Util::ToLower(extension);
    if (lower == "bmp") {
        return BitmapKind::Bmp;
    }
    if (lower == "mip" || lower == "m16") {
        return BitmapKind::Mip;
    }
    if (lower == "pbf" || lower == "stp") {
        return BitmapKind::Pbf;
    }
    if (lower == "srb") {
        return BitmapKind::Srb;
    }
    if (lower == "png") {
        return BitmapKind::Png;
    }
    return BitmapKind::Other;
}

const char* KindName(BitmapKind kind) {
    switch (kind) {
    case BitmapKind::Bmp:
        return "BMP";
    case BitmapKind::Mip:
        return "MIP";
    case BitmapKind::Pbf:
        return "PBF/STP";
    case BitmapKind::Srb:
        return "SRB";
    case BitmapKind::Png:
        return "PNG";
    default:
        return "other";
    }
}

Util::CountedPtr<Util::BinaryStream> OpenEntry(const PseudoDirectory& directory,
                                               std::uint32_t index) {
    if (!directory.IsArchive()) {
        return Util::OpenForRead(directory.GetEntryPath(index));
    }
    const std::string name =
        directory.GetEntryQualifiedName(index) + "." + directory.GetEntryExtension(index);
    const auto factory = directory.GetFileFactory();
    const auto archive = factory && factory->HasFacet<Trova::GetDat>()
                             ? factory->GetFacet<Trova::GetDat>()->GetDatFile()
                             : nullptr;
    const auto member = archive ? archive->FindSubfile(name) : nullptr;
    if (!member) {
        throw Util::XFileOpen(directory.GetPathName().GetAsDirectory() + name, "File not found");
    }
    return member;
}

BitmapKind PictureAsBmp(BitmapKind kind) {
    return kind == BitmapKind::Png ? BitmapKind::Bmp : kind;
}

void CopyEntry(const PseudoDirectory& directory, std::uint32_t index, const std::string& target) {
    const auto source = OpenEntry(directory, index);
    Util::WriteSafely(target, false, [&](const Util::CountedPtr<Util::BinaryStream>& copy) {
        std::vector<char> buffer(64 * 1024);
        for (std::uint64_t left = source->GetSize(); left > 0;) {
            const auto count =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(left, buffer.size()));
            source->Read(count, buffer.data());
            copy->Write(count, buffer.data());
            left -= count;
        }
    });
}

Util::CountedPtr<BitmapFile> MakeBitmapFile(const PseudoDirectory& directory, std::uint32_t index) {
    const std::string baseName = directory.GetEntryBaseName(index);
    const std::string extension = directory.GetEntryExtension(index);
    const std::string lookup = directory.GetEntryQualifiedName(index);
    const bool archiveOnly = directory.IsArchive();
    switch (KindOfExtension(extension)) {
    case BitmapKind::Bmp:
    case BitmapKind::Png:
        return ReadPictureFile(Util::PathName(directory.GetPathName(), baseName, extension),
                               *OpenEntry(directory, index));
    case BitmapKind::Mip:
        return Util::CountedPtr<BitmapFile>(new BitmapFileMip(directory.GetFileFactory(), lookup,
                                                              baseName, extension, archiveOnly));
    case BitmapKind::Pbf:
        return Util::CountedPtr<BitmapFile>(new BitmapFilePbf(directory.GetFileFactory(), lookup,
                                                              baseName, extension, archiveOnly));
    case BitmapKind::Srb:
        return Util::CountedPtr<BitmapFile>(new BitmapFileSrb(directory.GetFileFactory(), lookup,
                                                              baseName, extension, archiveOnly));
    default:
        return Util::CountedPtr<BitmapFile>(
            new BitmapFileNull(directory.GetPathName(), baseName, extension));
    }
}

} // namespace Ostrel::Vellix
