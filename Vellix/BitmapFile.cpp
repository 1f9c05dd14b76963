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
#include "Util/Text.h"
#include "Vellix/PseudoDirectory.h"

namespace Ostrel::Vellix {

namespace {

std::uint32_t EntriesOf(const Util::CountedPtr<Trova::Palette>& palette) {
    return palette ? palette->GetCount() : 0;
}

} // namespace

BitmapFileBmp::BitmapFileBmp(const Util::PathName& directory, const std::string& baseName,
                             const std::string& extension)
    : path_(directory, baseName, extension), dib_(new Trova::DIB(path_.GetFullName())) {}

BitmapFileBmp::BitmapFileBmp(const Util::PathName& directory, const std::string& baseName,
                             const std::string& extension, Util::BinaryStream& member)
    : path_(directory, baseName, extension), dib_(new Trova::DIB(member)) {}

Util::CountedPtr<Trova::Bitmap> BitmapFileBmp::GetBitmap(std::uint32_t) const {
    return dib_;
}

std::uint32_t BitmapFileBmp::GetWidth() const {
    return dib_->GetWidth();
}

std::uint32_t BitmapFileBmp::GetHeight() const {
    return dib_->GetHeight();
}

std::uint32_t BitmapFileBmp::GetAlphaBits() const {
    return dib_->HasAlpha() ? 8 : 0;
}

bool BitmapFileBmp::IsPalettised() const {
    const auto bits = dib_->GetBitCount();
    return bits == 1 || bits == 4 || bits == 8;
}

std::uint32_t BitmapFileBmp::GetPaletteSize() const {
    return EntriesOf(dib_->GetPalette());
}

BitmapFilePng::BitmapFilePng(const Util::PathName& directory, const std::string& baseName,
                             const std::string& extension)
    : path_(directory, baseName, extension), png_(new Trova::PngFile(path_.GetFullName())) {}

Util::CountedPtr<Trova::Bitmap> BitmapFilePng::GetBitmap(std::uint32_t) const {
    return png_;
}

std::uint32_t BitmapFilePng::GetWidth() const {
    return png_->GetWidth();
}

std::uint32_t BitmapFilePng::GetHeight() const {
    return png_->GetHeight();
}

std::uint32_t BitmapFilePng::GetAlphaBits() const {
    return png_->HasAlpha() ? 8 : 0;
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
        return Util::OpenForRead(directory.GetPathName().GetAsDirectory() +
                                 directory.GetEntryName(index));
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

Util::CountedPtr<BitmapFile> MakeBitmapFile(const PseudoDirectory& directory, std::uint32_t index) {
    const std::string baseName = directory.GetEntryBaseName(index);
    const std::string extension = directory.GetEntryExtension(index);
    const std::string lookup = directory.GetEntryQualifiedName(index);
    const bool archiveOnly = directory.IsArchive();
    switch (KindOfExtension(extension)) {
    case BitmapKind::Bmp:
        if (archiveOnly) {
            return Util::CountedPtr<BitmapFile>(new BitmapFileBmp(
                directory.GetPathName(), baseName, extension, *OpenEntry(directory, index)));
        }
        return Util::CountedPtr<BitmapFile>(
            new BitmapFileBmp(directory.GetPathName(), baseName, extension));
    case BitmapKind::Png:
        return Util::CountedPtr<BitmapFile>(
            new BitmapFilePng(directory.GetPathName(), baseName, extension));
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
