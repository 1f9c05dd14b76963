#pragma once

// One adapter per list entry answers the same questions for every kind of file, so that the
// views and the conversions never talk to the file formats directly.

#include "Trova/Bitmap.h"
#include "Trova/FileFactory.h"
#include "Trova/MipFile.h"
#include "Trova/PbfFile.h"
#include "Trova/SrbFile.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"
#include "Util/PathName.h"

#include <cstdint>
#include <string>

namespace Ostrel::Vellix {

class BitmapFile {
public:
    virtual ~BitmapFile() = default;
    virtual std::string GetBaseName() const = 0;
    virtual std::string GetExtension() const = 0;
    virtual std::uint32_t GetBitmapCount() const = 0;
    // The level's picture; empty when there is none.
    virtual Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t level) const = 0;
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    virtual std::uint32_t GetRedBits() const = 0;
    virtual std::uint32_t GetGreenBits() const = 0;
    virtual std::uint32_t GetBlueBits() const = 0;
    virtual std::uint32_t GetAlphaBits() const = 0;
    virtual bool IsPalettised() const = 0;
    virtual bool HasIndividualPalettes() const = 0;
    // 0 for a file without a palette.
    virtual std::uint32_t GetPaletteSize() const = 0;
    virtual std::uint32_t GetTransparency() const = 0;
};

// A BMP or PNG picture, read when the adapter is made: from the directory, or from an archive
// member's stream. Only a BMP of 1, 4 or 8 bits has a palette; PNG colours are held exactly.
class BitmapFilePicture : public BitmapFile {
public:
    BitmapFilePicture(const Util::PathName& path, Util::CountedPtr<Trova::Bitmap> picture,
                      bool hasAlpha, Util::CountedPtr<Trova::Palette> palette);
    std::string GetBaseName() const override { return path_.GetBaseName(); }
    std::string GetExtension() const override { return path_.GetExtension(); }
    std::uint32_t GetBitmapCount() const override { return 1; }
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t) const override { return picture_; }
    std::uint32_t GetWidth() const override;
    std::uint32_t GetHeight() const override;
    std::uint32_t GetRedBits() const override { return 8; }
    std::uint32_t GetGreenBits() const override { return 8; }
    std::uint32_t GetBlueBits() const override { return 8; }
    std::uint32_t GetAlphaBits() const override { return hasAlpha_ ? 8 : 0; }
    bool IsPalettised() const override { return GetPaletteSize() != 0; }
    bool HasIndividualPalettes() const override { return false; }
    std::uint32_t GetPaletteSize() const override;
    std::uint32_t GetTransparency() const override { return 0; }

private:
    Util::PathName path_;
    Util::CountedPtr<Trova::Bitmap> picture_;
    bool hasAlpha_;
    Util::CountedPtr<Trova::Palette> palette_;
};

// Any other file: listed, without a picture.
class BitmapFileNull : public BitmapFile {
public:
    BitmapFileNull(const Util::PathName& directory, const std::string& baseName,
                   const std::string& extension);
    std::string GetBaseName() const override { return path_.GetBaseName(); }
    std::string GetExtension() const override { return path_.GetExtension(); }
    std::uint32_t GetBitmapCount() const override { return 0; }
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t) const override { return {}; }
    std::uint32_t GetWidth() const override { return 0; }
    std::uint32_t GetHeight() const override { return 0; }
    std::uint32_t GetRedBits() const override { return 0; }
    std::uint32_t GetGreenBits() const override { return 0; }
    std::uint32_t GetBlueBits() const override { return 0; }
    std::uint32_t GetAlphaBits() const override { return 0; }
    bool IsPalettised() const override { return false; }
    bool HasIndividualPalettes() const override { return false; }
    std::uint32_t GetPaletteSize() const override { return 0; }
    std::uint32_t GetTransparency() const override { return 0; }

private:
    Util::PathName path_;
};

// The game-format adapters hold only the means to find their file: the factory's Make facet
// caches the file object, so asking again costs no second read.
template <typename MakeT, typename FileT> class BitmapFileGame : public BitmapFile {
public:
    BitmapFileGame(const Util::CountedPtr<Trova::FileFactory>& factory,
                   const std::string& lookupName, const std::string& baseName,
                   const std::string& extension, bool archiveOnly)
        : baseName_(baseName), extension_(extension), lookupName_(lookupName),
          archiveOnly_(archiveOnly), factory_(factory) {
        GetFile(); // a file that cannot be read fails now, not later
    }

    std::string GetBaseName() const override { return baseName_; }
    std::string GetExtension() const override { return extension_; }
    std::uint32_t GetWidth() const override { return GetFile()->GetWidth(); }
    std::uint32_t GetHeight() const override { return GetFile()->GetHeight(); }
    std::uint32_t GetRedBits() const override { return GetFile()->GetRedBits(); }
    std::uint32_t GetGreenBits() const override { return GetFile()->GetGreenBits(); }
    std::uint32_t GetBlueBits() const override { return GetFile()->GetBlueBits(); }
    std::uint32_t GetAlphaBits() const override { return GetFile()->GetAlphaBits(); }
    bool IsPalettised() const override { return GetFile()->IsPalettised(); }
    std::uint32_t GetTransparency() const override { return GetFile()->GetTransparency(); }

    Util::CountedPtr<FileT> GetFile() const {
        return factory_->GetFacet<MakeT>()->Make(lookupName_, extension_, archiveOnly_);
    }

private:
    std::string baseName_;
    std::string extension_;
    std::string lookupName_;
    bool archiveOnly_;
    Util::CountedPtr<Trova::FileFactory> factory_;
};

// MIP and SRB files: mip-mapped levels, palettes per level or shared.
template <typename MakeT, typename FileT>
class BitmapFileLevels : public BitmapFileGame<MakeT, FileT> {
public:
    using BitmapFileGame<MakeT, FileT>::BitmapFileGame;
    using BitmapFileGame<MakeT, FileT>::GetFile;

    std::uint32_t GetBitmapCount() const override { return GetFile()->GetBitmapCount(); }
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t level) const override {
        return GetFile()->GetBitmap(level);
    }
    bool HasIndividualPalettes() const override { return GetFile()->HasIndividualPalettes(); }
    std::uint32_t GetPaletteSize() const override;
};

using BitmapFileMip = BitmapFileLevels<Trova::MakeMip, Trova::MipFile>;
using BitmapFileSrb = BitmapFileLevels<Trova::MakeSrb, Trova::SrbFile>;

class BitmapFilePbf : public BitmapFileGame<Trova::MakePbf, Trova::PbfFile> {
public:
    using BitmapFileGame::BitmapFileGame;
    std::uint32_t GetBitmapCount() const override { return 1; }
    // One picture, whatever the level asked.
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t) const override {
        return GetFile()->GetBitmap();
    }
    bool HasIndividualPalettes() const override { return false; }
    std::uint32_t GetPaletteSize() const override;
};

enum class BitmapKind { Bmp, Mip, Pbf, Srb, Other, Png };

// By extension, without regard to case: bmp; mip and m16; pbf and stp; srb; png; anything else.
BitmapKind KindOfExtension(const std::string& extension);
// "BMP", "MIP", "PBF/STP", "SRB", "PNG" or "other".
const char* KindName(BitmapKind kind);
// Pictures of both formats are converted alike: PNG counts as BMP.
BitmapKind PictureAsBmp(BitmapKind kind);

class PseudoDirectory;

// The bytes of entry index: its loose file, or its member of the archive the node lists.
Util::CountedPtr<Util::BinaryStream> OpenEntry(const PseudoDirectory& directory,
                                               std::uint32_t index);

// Writes the bytes of entry index to a new file at target, for a copy outside the archive.
void CopyEntry(const PseudoDirectory& directory, std::uint32_t index, const std::string& target);

// The adapter for entry index of a directory node.
Util::CountedPtr<BitmapFile> MakeBitmapFile(const PseudoDirectory& directory, std::uint32_t index);

} // namespace Ostrel::Vellix
