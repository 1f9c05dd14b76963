#pragma once

// The five conversion commands as a batch: game files to BMP files (one per level), BMP files back
// into existing game files, and new MIP, PBF/STP and SRB files from BMP files. The desktop list
// view fills a batch from its selection, the command-line tool from paths; both run it with the
// options of the matching dialog. The first failure ends the batch and propagates; files written
// before it stay, and each written file is reported as soon as it is complete.
//
// Every file is written beside its target under a temporary name and renamed into place only
// when complete, so a failure part-way never damages a file that was there before.

#include "Trova/FileFactory.h"
#include "Util/CountedPtr.h"
#include "Util/Platform.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/ConversionOptions.h"
#include "Vellix/PseudoDirectory.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace Ostrel::Trova {
class MipFile;
class PbfFile;
class SrbFile;
} // namespace Ostrel::Trova

namespace Ostrel::Vellix {

// Receives the path of every file a conversion has written.
using WrittenFileHandler = std::function<void(const std::string& path)>;

// The directory where a container's conversions read and write BMP files, with a trailing
// separator: the game directory, and below it the directory of the same name for a directory
// inside an archive.
std::string BmpDirectory(const PseudoDirectory& container);

// base for level 0, base + "_" + level for the others.
std::string LevelName(const std::string& base, std::uint32_t level);

// Which levels go out to BMP files, and how.
struct ToBmpSettings {
    bool allLevels = false;
    std::int32_t level = 1; // 1-based
    TransparencyOptions transparency;
    bool overwrite = false;
};

// Which levels come back from BMP files, and how.
struct FromBmpSettings {
    bool allLevels = false;
    std::int32_t level = 1; // 1-based
    bool generateSubLevels = true;
    TransparencyOptions transparency;
    bool overwrite = false;
};

// The per-file work. base is the BMP directory joined with the file's base name; every name read
// or written is built from it. A level outside the file's levels and an unknown transparency
// method fail with XUsage before anything is written.
void LevelsToBmp(const Trova::MipFile& file, const std::string& base, const ToBmpSettings& settings,
                 const WrittenFileHandler& onWritten);
void LevelsToBmp(const Trova::SrbFile& file, const std::string& base, const ToBmpSettings& settings,
                 const WrittenFileHandler& onWritten);
void PictureToBmp(const Trova::PbfFile& file, const std::string& base,
                  const TransparencyOptions& transparency, bool overwrite,
                  const WrittenFileHandler& onWritten);

// These change the file they are given (pass a copy of a shared file) and write it as
// base + "." + extension.
void LevelsFromBmp(Trova::MipFile& file, const std::string& base, const std::string& extension,
                   const FromBmpSettings& settings, const WrittenFileHandler& onWritten);
void LevelsFromBmp(Trova::SrbFile& file, const std::string& base, const std::string& extension,
                   const FromBmpSettings& settings, const WrittenFileHandler& onWritten);
void PictureFromBmp(Trova::PbfFile& file, const std::string& base, const std::string& extension,
                    const TransparencyOptions& transparency, bool overwrite,
                    const WrittenFileHandler& onWritten);

// A new game file from base + ".bmp", made by the factory's create facet and written next to it.
void NewMipFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpMipOptions& options, const WrittenFileHandler& onWritten);
void NewPbfFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpPbfOptions& options, const WrittenFileHandler& onWritten);
void NewSrbFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpSrbOptions& options, const WrittenFileHandler& onWritten);

// The corners of the textured rectangle that the geometry of "Bmp->Srb Options" describes.
std::array<Trova::WorldPoint, 4> WorldCorners(const SrbGeometry& geometry);
std::array<Trova::TexturePoint, 4> TextureCorners(const SrbGeometry& geometry);

// The selected files of one command, converted one by one in the order they were added.
class ConversionBatch {
public:
    explicit ConversionBatch(WrittenFileHandler onWritten = nullptr);

    // An entry of a container that the caller keeps alive while the batch runs.
    void Add(const PseudoDirectory& container, std::uint32_t index);
    // A loose file, or an archive member written as the archive's path, a separator and the
    // member's name (with the directory inside the archive before it, if any). Names are
    // matched without regard to case. Throws XFileOpen "File not found" when there is no such
    // file.
    void AddPath(const std::string& path);

    std::size_t GetCount() const { return items_.size(); }
    // The kind all files share; Other when they differ or there are none.
    BitmapKind GetKind() const;

    // One command per options type. Every file must be of the kind the options are for (XUsage
    // otherwise); the files, their levels and the transparency method are checked before the
    // first file is written.
    void Convert(const MipBmpOptions& options);
    void Convert(const SrbBmpOptions& options);
    void Convert(const PbfBmpOptions& options);
    void Convert(const MipFromBmpOptions& options);
    void Convert(const SrbFromBmpOptions& options);
    void Convert(const PbfFromBmpOptions& options);
    void Convert(const BmpMipOptions& options);
    void Convert(const BmpPbfOptions& options);
    void Convert(const BmpSrbOptions& options);

private:
    struct Item {
        const PseudoDirectory* container;
        std::uint32_t index;
        BitmapKind kind;
    };
    using ItemWork = std::function<void(const Item& item, const std::string& base)>;

    void Run(BitmapKind kind, bool makeBmpDirectory, std::int32_t method, const ItemWork& check,
             const ItemWork& convert);
    template <typename AdapterT> void ToBmp(BitmapKind kind, const LevelsToBmpOptions& options);
    template <typename AdapterT> void FromBmp(BitmapKind kind, const LevelsFromBmpOptions& options);

    // Names are found by case through one index per directory for the batch's life.
    Util::Platform::CaseIndexScope caseIndex_;
    WrittenFileHandler onWritten_;
    std::map<std::string, Util::CountedPtr<PseudoDirectory>> owned_;
    std::vector<Item> items_;
};

} // namespace Ostrel::Vellix
