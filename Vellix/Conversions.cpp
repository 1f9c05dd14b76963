#include "Vellix/Conversions.h"

#include "Trova/BitmapUtils.h"
#include "Trova/DIB.h"
#include "Trova/MipFile.h"
#include "Trova/Palette.h"
#include "Trova/PbfFile.h"
#include "Trova/SrbFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/BitmapList.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/EntryPath.h"
#include "Vellix/RealDirectory.h"

#include <algorithm>

namespace Ostrel::Vellix {

namespace {

using Util::CountedPtr;
namespace Platform = Util::Platform;

// ---- Writing -----------------------------------------------------------------------------------

// A name beside the target that no file has yet.
std::string TemporaryNameFor(const std::string& target) {
    for (int attempt = 0;; ++attempt) {
        const std::string candidate = target + ".~" + std::to_string(attempt) + ".tmp";
        if (!Platform::IsFile(candidate) && !Platform::IsDirectory(candidate)) {
            return candidate;
        }
    }
}

// Writes the complete file under a temporary name and then renames it over the target. Without
// overwrite the target's name is claimed first, so an existing file fails with the open error
// and is left alone; whatever fails later removes only what this call made.
void WriteReplacing(const std::string& target, bool overwrite,
                    const std::function<void(const CountedPtr<Util::BinaryStream>&)>& write,
                    const WrittenFileHandler& onWritten) {
    // An existing file of another case is the one replaced, as where names ignore case.
    const std::string path = Platform::ResolveCase(target);
    if (!overwrite) {
        Util::CreateNew(path);
    }
    const std::string temporary = TemporaryNameFor(path);
    try {
        write(Util::CreateNew(temporary)); // the stream is closed when write returns
        if (!Platform::RenameFile(temporary, path)) {
            throw Util::XFileWrite(path);
        }
    } catch (...) {
        Platform::RemoveFile(temporary);
        if (!overwrite) {
            Platform::RemoveFile(path);
        }
        throw;
    }
    if (onWritten) {
        onWritten(path);
    }
}

void SaveBmp(const Trova::DIB& picture, const std::string& path, bool overwrite,
             const WrittenFileHandler& onWritten) {
    WriteReplacing(
        path, overwrite, [&](const auto& stream) { picture.Save(*stream); }, onWritten);
}

template <typename FileT>
void WriteGameFile(const FileT& file, const std::string& path, bool overwrite,
                   const WrittenFileHandler& onWritten) {
    WriteReplacing(
        path, overwrite, [&](const auto& stream) { file.Write(stream); }, onWritten);
}

// ---- Checks ------------------------------------------------------------------------------------

void CheckMethod(std::int32_t method) {
    if (method < kNoTransparency || method > kSpecifiedColour) {
        throw Util::XUsage("Unknown transparency method " + std::to_string(method));
    }
}

// The levels [first, end) to convert.
struct LevelRange {
    std::uint32_t first;
    std::uint32_t end;
};

LevelRange ChooseLevels(bool allLevels, std::int32_t level, std::uint32_t count,
                        const std::string& fileName) {
    if (allLevels) {
        return {0, count};
    }
    if (level < 1 || static_cast<std::uint32_t>(level) > count) {
        throw Util::XUsage("Level " + std::to_string(level) + " is not between 1 and " +
                           std::to_string(count) + " for " + fileName);
    }
    return {static_cast<std::uint32_t>(level) - 1, static_cast<std::uint32_t>(level)};
}

// ---- Transparency ------------------------------------------------------------------------------

Trova::Colour KeyColour(const TransparencyOptions& transparency) {
    return Trova::Colour(static_cast<float>(transparency.red) / 255.0f,
                         static_cast<float>(transparency.green) / 255.0f,
                         static_cast<float>(transparency.blue) / 255.0f, 1.0f);
}

// One game bitmap out to name + ".bmp" (and name + "_ti.bmp" for a separate transparency).
void BitmapToBmp(const Trova::Bitmap& source, const std::string& name,
                 const TransparencyOptions& transparency, bool overwrite,
                 const WrittenFileHandler& onWritten) {
    CheckMethod(transparency.method);
    Trova::DIB picture(24);
    Trova::DIB grey(24);
    const bool separate = transparency.method == kSeparateTransparency;
    if (transparency.method == kSpecifiedColour) {
        Trova::TransparencyToColour(source, picture, KeyColour(transparency));
    } else {
        Trova::MakeOpaque(source, picture, !separate);
    }
    if (separate) {
        Trova::AlphaToGrey(source, grey);
    }
    SaveBmp(picture, name + ".bmp", overwrite, onWritten);
    if (separate) {
        SaveBmp(grey, name + "_ti.bmp", overwrite, onWritten);
    }
}

CountedPtr<Trova::DIB> ReadBmp(const std::string& path) {
    return Util::MakeCounted<Trova::DIB>(Platform::ResolveCase(path));
}

bool SameSize(const Trova::Bitmap& a, const Trova::Bitmap& b) {
    return a.GetHeight() == b.GetHeight() && a.GetWidth() == b.GetWidth();
}

// A picture read back from BMP files: its colours and, for a separate transparency, its grey.
struct Pictures {
    CountedPtr<Trova::DIB> picture;
    CountedPtr<Trova::DIB> transparency;
};

// name + ".bmp", which must have the size of expected when one is given, and for a separate
// transparency name + "_ti.bmp".
Pictures ReadPictures(const std::string& name, std::int32_t method, const Trova::Bitmap* expected) {
    Pictures pictures{ReadBmp(name + ".bmp"), {}};
    if (expected && !SameSize(*pictures.picture, *expected)) {
        throw Util::XUsage("Source bitmap incorrect size");
    }
    if (method == kSeparateTransparency) {
        pictures.transparency = ReadBmp(name + "_ti.bmp");
        if (!SameSize(*pictures.picture, *pictures.transparency)) {
            throw Util::XUsage("Size of transparency does not match");
        }
    }
    return pictures;
}

// The pictures' colours with the transparency the method gives them.
void RestoreTransparency(const Pictures& pictures, const TransparencyOptions& transparency,
                         Trova::Bitmap& destination) {
    switch (transparency.method) {
    case kNoTransparency:
        Trova::CopyBitmap(*pictures.picture, destination);
        break;
    case kSeparateTransparency:
        Trova::GreyToAlpha(*pictures.picture, *pictures.transparency, destination);
        break;
    default:
        Trova::ColourToTransparency(*pictures.picture, KeyColour(transparency), destination);
        break;
    }
}

// ---- Palettes ----------------------------------------------------------------------------------

// The palette keeps its size: the best colours for the source first, the rest cleared.
void RebuildPalette(const Trova::Bitmap& source, Trova::Palette& palette) {
    const Trova::Palette made = Trova::MakePalette(source, palette.GetCount());
    for (std::uint32_t index = 0; index < palette.GetCount(); ++index) {
        palette.SetColour(index, index < made.GetCount() ? made.GetColour(index)
                                                         : Trova::Colour(0, 0, 0, 0));
    }
}

// Where a converted picture goes: a game bitmap and, when it is palettised, its palette.
struct Target {
    CountedPtr<Trova::Bitmap> bitmap;
    CountedPtr<Trova::Palette> palette;
    bool rebuildPalette = false;
};

void MapOnto(const Trova::Bitmap& source, const Target& target) {
    if (target.rebuildPalette) {
        RebuildPalette(source, *target.palette);
    }
    Trova::MapToPalette(source, *target.palette, *target.bitmap);
}

void PutPictures(const Pictures& pictures, const TransparencyOptions& transparency,
                 const Target& target) {
    if (!target.palette) {
        RestoreTransparency(pictures, transparency, *target.bitmap);
        return;
    }
    Trova::BitmapSimple source;
    RestoreTransparency(pictures, transparency, source);
    MapOnto(source, target);
}

void PutShrunk(const Trova::Bitmap& source, std::uint32_t factor, const Target& target) {
    if (!target.palette) {
        Trova::Shrink(source, factor, factor, *target.bitmap);
        return;
    }
    Trova::BitmapSimple shrunk;
    Trova::Shrink(source, factor, factor, shrunk);
    MapOnto(shrunk, target);
}

// Level l of a MIP or SRB file as a target. With one shared palette only the first level
// converted rebuilds it; the later ones are mapped onto it.
template <typename FileT>
Target LevelTarget(const FileT& file, std::uint32_t level, bool firstConverted) {
    Target target{file.GetBitmap(level), {}, false};
    if (file.IsPalettised()) {
        target.palette = file.GetBitmapPalette(level);
        target.rebuildPalette = firstConverted || file.HasIndividualPalettes();
    }
    return target;
}

// ---- Per-file work -----------------------------------------------------------------------------

template <typename FileT>
void LevelsToBmpOf(const FileT& file, const std::string& base, const ToBmpSettings& settings,
                   const WrittenFileHandler& onWritten) {
    CheckMethod(settings.transparency.method);
    const LevelRange levels =
        ChooseLevels(settings.allLevels, settings.level, file.GetBitmapCount(),
                     Util::PathName(base).GetFileName());
    for (std::uint32_t level = levels.first; level < levels.end; ++level) {
        BitmapToBmp(*file.GetBitmap(level), LevelName(base, level), settings.transparency,
                    settings.overwrite, onWritten);
    }
}

// The smaller levels, each shrunk from the last level read by 2, 4, 8...
template <typename FileT> void GenerateSubLevels(FileT& file, std::uint32_t from) {
    const CountedPtr<Trova::Bitmap> source = file.GetBitmap(from - 1);
    std::uint32_t factor = 2;
    for (std::uint32_t level = from; level < file.GetBitmapCount(); ++level) {
        PutShrunk(*source, factor, LevelTarget(file, level, false));
        factor *= 2;
    }
}

template <typename FileT>
void LevelsFromBmpOf(FileT& file, const std::string& base, const std::string& extension,
                     const FromBmpSettings& settings, const WrittenFileHandler& onWritten) {
    CheckMethod(settings.transparency.method);
    const LevelRange levels =
        ChooseLevels(settings.allLevels, settings.level, file.GetBitmapCount(),
                     Util::PathName(base).GetFileName() + "." + extension);
    for (std::uint32_t level = levels.first; level < levels.end; ++level) {
        const Target target = LevelTarget(file, level, level == levels.first);
        const Pictures pictures =
            ReadPictures(LevelName(base, level), settings.transparency.method, &*target.bitmap);
        PutPictures(pictures, settings.transparency, target);
    }
    if (settings.generateSubLevels && levels.end > 0) {
        GenerateSubLevels(file, levels.end);
    }
    WriteGameFile(file, base + "." + extension, settings.overwrite, onWritten);
}

// ---- New files ---------------------------------------------------------------------------------

Trova::TextureRequest RequestFor(const PixelFormatOptions& format, const Trova::Bitmap& picture) {
    Trova::TextureRequest request;
    request.height = picture.GetHeight();
    request.width = picture.GetWidth();
    request.redBits = static_cast<std::uint8_t>(format.redBits);
    request.greenBits = static_cast<std::uint8_t>(format.greenBits);
    request.blueBits = static_cast<std::uint8_t>(format.blueBits);
    request.alphaBits = static_cast<std::uint8_t>(format.alphaBits);
    request.transparency = static_cast<std::uint32_t>(format.transparencyKind);
    request.usePalette = format.usePalette;
    request.colourCount = static_cast<std::uint32_t>(format.colourCount);
    return request;
}

Trova::TextureRequest LevelledRequestFor(const NewLevelledFileOptions& options,
                                         const Trova::Bitmap& picture) {
    Trova::TextureRequest request = RequestFor(options.format, picture);
    request.individualPalettes = options.individualPalettes;
    request.autoLevels = options.automaticLevelCount;
    request.requestedLevels = static_cast<std::uint32_t>(options.levelCount);
    return request;
}

// The name the factory knows the new file by: base below the game directory.
std::string RelativeName(const Trova::FileFactory& factory, const std::string& base) {
    const std::string& directory =
        factory.GetFacet<Trova::GetDirectory>()->directory.GetDirectoryPath();
    std::string name = base.substr(std::min(directory.size(), base.size()));
    if (!name.empty() && name.front() == Util::kPathSeparator) {
        name.erase(0, 1);
    }
    return name;
}

// Level 0 of a new file comes from base + ".bmp", the smaller levels are shrunk from it.
FromBmpSettings NewFileSettings(const DialogOptions& options) {
    return {false, 1, true, options.transparency, options.overwrite};
}

} // namespace

// ---- Names -------------------------------------------------------------------------------------

std::string BmpDirectory(const PseudoDirectory& container) {
    const CountedPtr<Trova::FileFactory> factory = container.GetFileFactory();
    if (!factory) {
        throw Util::XUsage("No game directory for " + container.GetPathName().GetFullName());
    }
    std::string directory = factory->GetFacet<Trova::GetDirectory>()->directory.GetDirectoryPath();
    const std::string subdirectory = container.GetArchiveSubdirectory();
    if (!subdirectory.empty()) {
        // An existing directory of another case is the one meant.
        directory = Platform::ResolveCase(directory + subdirectory) + Util::kPathSeparator;
    }
    return directory;
}

std::string LevelName(const std::string& base, std::uint32_t level) {
    return level == 0 ? base : base + "_" + std::to_string(level);
}

// ---- Per-file routines -------------------------------------------------------------------------

void LevelsToBmp(const Trova::MipFile& file, const std::string& base, const ToBmpSettings& settings,
                 const WrittenFileHandler& onWritten) {
    LevelsToBmpOf(file, base, settings, onWritten);
}

void LevelsToBmp(const Trova::SrbFile& file, const std::string& base, const ToBmpSettings& settings,
                 const WrittenFileHandler& onWritten) {
    LevelsToBmpOf(file, base, settings, onWritten);
}

void PictureToBmp(const Trova::PbfFile& file, const std::string& base,
                  const TransparencyOptions& transparency, bool overwrite,
                  const WrittenFileHandler& onWritten) {
    BitmapToBmp(*file.GetBitmap(), base, transparency, overwrite, onWritten);
}

void LevelsFromBmp(Trova::MipFile& file, const std::string& base, const std::string& extension,
                   const FromBmpSettings& settings, const WrittenFileHandler& onWritten) {
    LevelsFromBmpOf(file, base, extension, settings, onWritten);
}

void LevelsFromBmp(Trova::SrbFile& file, const std::string& base, const std::string& extension,
                   const FromBmpSettings& settings, const WrittenFileHandler& onWritten) {
    LevelsFromBmpOf(file, base, extension, settings, onWritten);
}

void PictureFromBmp(Trova::PbfFile& file, const std::string& base, const std::string& extension,
                    const TransparencyOptions& transparency, bool overwrite,
                    const WrittenFileHandler& onWritten) {
    CheckMethod(transparency.method);
    const Pictures pictures = ReadPictures(base, transparency.method, nullptr);
    // The file takes the picture's size; a palette is always rebuilt from it.
    PutPictures(pictures, transparency,
                {file.GetBitmap(),
                 file.IsPalettised() ? file.GetPalette() : CountedPtr<Trova::Palette>(), true});
    WriteGameFile(file, base + "." + extension, overwrite, onWritten);
}

void NewMipFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpMipOptions& options, const WrittenFileHandler& onWritten) {
    CheckMethod(options.transparency.method);
    const Trova::DIB picture(Platform::ResolveCase(base + ".bmp"));
    Trova::TextureRequest request = LevelledRequestFor(options, picture);
    request.horizontalRepeat = options.horizontalRepeat;
    request.verticalRepeat = options.verticalRepeat;
    const CountedPtr<Trova::MipFile> file =
        factory.GetFacet<Trova::CreateMip>()->Create(RelativeName(factory, base), request, "mip");
    LevelsFromBmp(*file, base, "mip", NewFileSettings(options), onWritten);
}

void NewPbfFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpPbfOptions& options, const WrittenFileHandler& onWritten) {
    CheckMethod(options.transparency.method);
    const Trova::DIB picture(Platform::ResolveCase(base + ".bmp"));
    const CountedPtr<Trova::PbfFile> file = factory.GetFacet<Trova::CreatePbf>()->Create(
        RelativeName(factory, base), RequestFor(options.format, picture), "pbf");
    PictureFromBmp(*file, base, "pbf", options.transparency, options.overwrite, onWritten);
}

void NewSrbFromBmp(const Trova::FileFactory& factory, const std::string& base,
                   const BmpSrbOptions& options, const WrittenFileHandler& onWritten) {
    CheckMethod(options.transparency.method);
    const Trova::DIB picture(Platform::ResolveCase(base + ".bmp"));
    const CountedPtr<Trova::SrbFile> file = factory.GetFacet<Trova::CreateSrb>()->Create(
        RelativeName(factory, base), LevelledRequestFor(options, picture),
        WorldCorners(options.geometry), TextureCorners(options.geometry), "srb");
    LevelsFromBmp(*file, base, "srb", NewFileSettings(options), onWritten);
}

std::array<Trova::WorldPoint, 4> WorldCorners(const SrbGeometry& geometry) {
    const double w = geometry.width;
    const double h = geometry.height;
    const double c = geometry.horizontalCentre;
    const double d = geometry.verticalCentre;
    return {{{(0 - c) * w, 0, (1 - d) * h},
             {(1 - c) * w, 0, (1 - d) * h},
             {(1 - c) * w, 0, (0 - d) * h},
             {(0 - c) * w, 0, (0 - d) * h}}};
}

std::array<Trova::TexturePoint, 4> TextureCorners(const SrbGeometry& geometry) {
    const double u = geometry.usedWidth;
    const double v = geometry.usedHeight;
    return {{{0, 0}, {u, 0}, {u, v}, {0, v}}};
}

// ---- The batch ---------------------------------------------------------------------------------

ConversionBatch::ConversionBatch(WrittenFileHandler onWritten) : onWritten_(std::move(onWritten)) {}

void ConversionBatch::Add(const PseudoDirectory& container, std::uint32_t index) {
    items_.push_back({&container, index, ListedKind(container, index)});
}

void ConversionBatch::AddPath(const std::string& path) {
    const EntryPath where = SplitEntryPath(path);
    Util::CountedPtr<PseudoDirectory>& container = owned_[where.ContainerKey()];
    if (!container) {
        container = OpenEntryContainer(where);
    }
    std::uint32_t index = 0;
    if (!FindEntryNamed(*container, where.name, index)) {
        throw Util::XFileOpen(path, "File not found");
    }
    Add(*container, index);
}

BitmapKind ConversionBatch::GetKind() const {
    if (items_.empty()) {
        return BitmapKind::Other;
    }
    const BitmapKind kind = items_.front().kind;
    const bool same = std::all_of(items_.begin(), items_.end(),
                                  [&](const Item& item) { return item.kind == kind; });
    return same ? kind : BitmapKind::Other;
}

namespace {

// A member name of a hostile archive may try to place files outside the BMP directory.
std::string SafeBaseName(const std::string& baseName) {
    if (baseName.empty() || baseName == "." || baseName == ".." ||
        baseName.find_first_of("/\\") != std::string::npos) {
        throw Util::XUsage("Unsuitable file name: " + baseName);
    }
    return baseName;
}

// The file object of a game-format entry, as its adapter finds it.
template <typename AdapterT>
auto GameFileOf(const PseudoDirectory& container, std::uint32_t index) {
    return MakeBitmapFile(container, index).template DynamicCast<AdapterT>()->GetFile();
}

} // namespace

void ConversionBatch::Run(BitmapKind kind, bool makeBmpDirectory, std::int32_t method,
                          const ItemWork& check, const ItemWork& convert) {
    CheckMethod(method);
    std::vector<std::string> bases;
    for (const Item& item : items_) {
        const std::string name = item.container->GetEntryName(item.index);
        if (item.kind != kind) {
            throw Util::XUsage(name + " is not a " + KindName(kind) + " file");
        }
        bases.push_back(BmpDirectory(*item.container) +
                        SafeBaseName(item.container->GetEntryBaseName(item.index)));
        if (check) {
            check(item, bases.back());
        }
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (makeBmpDirectory) {
            const std::string directory = Util::PathName(bases[i]).GetParentDirectory();
            if (!Platform::IsDirectory(directory)) {
                Platform::CreateDirectory(directory); // a failure shows in the file operations
            }
        }
        convert(items_[i], bases[i]);
    }
}

template <typename AdapterT>
void ConversionBatch::ToBmp(BitmapKind kind, const LevelsToBmpOptions& options) {
    const ToBmpSettings settings{options.allLevels, options.level, options.transparency,
                                 options.overwrite};
    Run(
        kind, true, options.transparency.method,
        [&](const Item& item, const std::string&) {
            const auto file = GameFileOf<AdapterT>(*item.container, item.index);
            ChooseLevels(settings.allLevels, settings.level, file->GetBitmapCount(),
                         item.container->GetEntryName(item.index));
        },
        [&](const Item& item, const std::string& base) {
            LevelsToBmp(*GameFileOf<AdapterT>(*item.container, item.index), base, settings,
                        onWritten_);
        });
}

template <typename AdapterT>
void ConversionBatch::FromBmp(BitmapKind kind, const LevelsFromBmpOptions& options) {
    const FromBmpSettings settings{options.allLevels, options.level, options.generateSubLevels,
                                   options.transparency, options.overwrite};
    Run(
        kind, true, options.transparency.method,
        [&](const Item& item, const std::string&) {
            const auto file = GameFileOf<AdapterT>(*item.container, item.index);
            ChooseLevels(settings.allLevels, settings.level, file->GetBitmapCount(),
                         item.container->GetEntryName(item.index));
        },
        [&](const Item& item, const std::string& base) {
            // Never the shared file object: the list still shows what is on disk.
            const auto copy = GameFileOf<AdapterT>(*item.container, item.index)->Clone();
            LevelsFromBmp(*copy, base, item.container->GetEntryExtension(item.index), settings,
                          onWritten_);
        });
}

void ConversionBatch::Convert(const MipBmpOptions& options) {
    ToBmp<BitmapFileMip>(BitmapKind::Mip, options);
}

void ConversionBatch::Convert(const SrbBmpOptions& options) {
    ToBmp<BitmapFileSrb>(BitmapKind::Srb, options);
}

void ConversionBatch::Convert(const PbfBmpOptions& options) {
    Run(BitmapKind::Pbf, true, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            PictureToBmp(*GameFileOf<BitmapFilePbf>(*item.container, item.index), base,
                         options.transparency, options.overwrite, onWritten_);
        });
}

void ConversionBatch::Convert(const MipFromBmpOptions& options) {
    FromBmp<BitmapFileMip>(BitmapKind::Mip, options);
}

void ConversionBatch::Convert(const SrbFromBmpOptions& options) {
    FromBmp<BitmapFileSrb>(BitmapKind::Srb, options);
}

void ConversionBatch::Convert(const PbfFromBmpOptions& options) {
    Run(BitmapKind::Pbf, true, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            const auto copy = GameFileOf<BitmapFilePbf>(*item.container, item.index)->Clone();
            PictureFromBmp(*copy, base, item.container->GetEntryExtension(item.index),
                           options.transparency, options.overwrite, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpMipOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewMipFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpPbfOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewPbfFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpSrbOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewSrbFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

} // namespace Ostrel::Vellix
