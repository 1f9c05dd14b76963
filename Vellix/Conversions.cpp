#include "Vellix/Conversions.h"

#include "Trova/BitmapTarget.h"
#include "Trova/DIB.h"
#include "Trova/MipFile.h"
#include "Trova/PbfFile.h"
#include "Trova/PictureTransparency.h"
#include "Trova/PngFile.h"
#include "Trova/SrbFile.h"
#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/ConversionFailure.h"

#include <algorithm>

namespace Ostrel::Vellix {

namespace {

using Util::CountedPtr;
namespace Platform = Util::Platform;

std::string FileNameOf(const std::string& path) {
    return Util::PathName(path).GetFileName();
}

// ---- Writing -----------------------------------------------------------------------------------

// A dry run fails where the real run would find a file in the way, and writes nothing.
void WriteReporting(const std::string& target, bool overwrite, const Util::ContentWriter& write,
                    const FileReporter& files) {
    const std::string path = Platform::ResolveCase(target);
    files.Writing(path);
    const bool replacing = Platform::IsFile(path);
    if (replacing && !overwrite) {
        throw XConversion(FileNameOf(path), "File exists", {{Control::Overwrite}, ""});
    }
    files.Written(files.dryRun ? path : Util::WriteSafely(target, overwrite, write), replacing);
}

// A picture made by NewPicture: a BMP file for a DIB, a PNG file otherwise.
void SavePicture(const Trova::Bitmap& picture, const std::string& path, bool overwrite,
                 const FileReporter& files) {
    const auto* dib = dynamic_cast<const Trova::DIB*>(&picture);
    WriteReporting(
        path, overwrite,
        [&](const auto& stream) {
            if (dib) {
                dib->Save(*stream);
            } else {
                Trova::PngFile::Save(picture, *stream);
            }
        },
        files);
}

template <typename FileT>
void WriteGameFile(const FileT& file, const std::string& path, bool overwrite,
                   const FileReporter& files) {
    WriteReporting(
        path, overwrite, [&](const auto& stream) { file.Write(stream); }, files);
}

// ---- Transparency ------------------------------------------------------------------------------

static_assert(static_cast<std::int32_t>(Trova::TransparencyMethod::None) == kNoTransparency &&
              static_cast<std::int32_t>(Trova::TransparencyMethod::SeparatePicture) ==
                  kSeparateTransparency &&
              static_cast<std::int32_t>(Trova::TransparencyMethod::KeyColour) == kSpecifiedColour &&
              static_cast<std::int32_t>(Trova::TransparencyMethod::AlphaChannel) == kAlphaChannel);

Trova::TransparencyMethod MethodOf(const TransparencyOptions& transparency) {
    CheckMethod(transparency.method);
    return static_cast<Trova::TransparencyMethod>(transparency.method);
}

Trova::Colour KeyColour(const TransparencyOptions& transparency) {
    return Trova::Colour(static_cast<float>(transparency.red) / 255.0f,
                         static_cast<float>(transparency.green) / 255.0f,
                         static_cast<float>(transparency.blue) / 255.0f, 1.0f);
}

// An empty picture to be saved in the chosen format: a 24-bit BMP, or a 32-bit one with alpha;
// a PNG holds whatever it is given.
CountedPtr<Trova::Bitmap> NewPicture(std::int32_t pictureFormat, bool withAlpha) {
    if (pictureFormat == kPngPictures) {
        return Util::MakeCounted<Trova::BitmapSimple>();
    }
    return Util::MakeCounted<Trova::DIB>(std::uint16_t(withAlpha ? 32 : 24), withAlpha);
}

// The methods that carry a bitmap's alpha, but for the one that could not.
Remedy OtherAlphaMethods(std::int32_t failed) {
    Remedy remedy;
    for (Control method :
         {Control::SeparateTransparency, Control::SpecifiedColour, Control::AlphaChannel}) {
        if (method != RadioButtons(Control::NoTransparency)[failed]) {
            remedy.options.push_back(method);
        }
    }
    return remedy;
}

// One game bitmap, called where in messages, out to name + ".bmp" or ".png" (and name + "_ti" +
// the same extension for a separate transparency).
void BitmapToPictures(const Trova::Bitmap& source, const std::string& where,
                      const std::string& name, const TransparencyOptions& transparency,
                      bool overwrite, const FileReporter& files) {
    const Trova::TransparencyMethod method = MethodOf(transparency);
    const CountedPtr<Trova::Bitmap> picture =
        NewPicture(transparency.pictureFormat, method == Trova::TransparencyMethod::AlphaChannel);
    const CountedPtr<Trova::Bitmap> grey = NewPicture(transparency.pictureFormat, false);
    try {
        Trova::SplitTransparency(source, method, KeyColour(transparency), *picture, *grey);
    } catch (const Util::XUsage& error) {
        throw XConversion(where, error.Message(), OtherAlphaMethods(transparency.method));
    }
    const std::string extension = transparency.PictureExtension();
    SavePicture(*picture, name + extension, overwrite, files);
    if (method == Trova::TransparencyMethod::SeparatePicture) {
        SavePicture(*grey, name + "_ti" + extension, overwrite, files);
    }
}

// The picture format that path is not in.
Control OtherFormat(const std::string& path) {
    return Util::ToLower(Util::PathName(path).GetExtension()) == "png" ? Control::BmpPictures
                                                                       : Control::PngPictures;
}

// A BMP or PNG file, by its extension. A missing one that the other picture format has is named
// as the remedy; without one, remedy is what the file was for.
CountedPtr<Trova::Bitmap> ReadPicture(const std::string& path, Remedy remedy,
                                      const FileReporter& files) {
    const std::string resolved = Platform::ResolveCase(path);
    if (!Platform::IsFile(resolved)) {
        const Control other = OtherFormat(path);
        const std::string otherPath = Util::PathName(path).GetPathWithoutExtension() + "." +
                                      Util::ToLower(ControlLabel(other));
        if (Platform::IsFile(Platform::ResolveCase(otherPath))) {
            remedy = {{other}, {}};
        }
        throw XConversion(FileNameOf(path), "File not found", std::move(remedy));
    }
    CountedPtr<Trova::Bitmap> picture;
    if (Util::ToLower(Util::PathName(resolved).GetExtension()) == "png") {
        picture = Util::MakeCounted<Trova::PngFile>(resolved);
    } else {
        picture = Util::MakeCounted<Trova::DIB>(resolved);
    }
    files.Read(resolved);
    return picture;
}

bool SameSize(const Trova::Bitmap& a, const Trova::Bitmap& b) {
    return a.GetHeight() == b.GetHeight() && a.GetWidth() == b.GetWidth();
}

// The picture read from path must have the size of expected.
void CheckSize(const Trova::Bitmap& picture, const std::string& path, const Trova::Bitmap& expected,
               const char* problem) {
    if (!SameSize(picture, expected)) {
        throw XConversion(FileNameOf(path), std::string(problem) + " (" +
                                                SizesText(expected.GetWidth(), expected.GetHeight(),
                                                          picture.GetWidth(), picture.GetHeight()) +
                                                ")");
    }
}

// A picture read back from picture files: its colours (read from path) and, for a separate
// transparency, its grey.
struct Pictures {
    CountedPtr<Trova::Bitmap> picture;
    CountedPtr<Trova::Bitmap> transparency;
    std::string path;
};

// No transparency would drop the alpha of a picture that has some.
bool HasTransparency(const Trova::Bitmap& picture) {
    for (std::uint32_t row = 0; row < picture.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < picture.GetWidth(); ++column) {
            if (picture.GetPixel(row, column).GetAlpha() != 1) {
                return true;
            }
        }
    }
    return false;
}

// name + extension, which must have the size of expected when one is given, and for a separate
// transparency name + "_ti" + extension of the same size.
Pictures ReadPictures(const std::string& name, const std::string& extension, std::int32_t method,
                      const Trova::Bitmap* expected, const FileReporter& files) {
    const std::string path = name + extension;
    Pictures pictures{ReadPicture(path, {}, files), {}, path};
    if (method == kNoTransparency && HasTransparency(*pictures.picture)) {
        throw XConversion(FileNameOf(path), "Bitmap is transparent", {{Control::AlphaChannel}, ""});
    }
    if (expected) {
        CheckSize(*pictures.picture, path, *expected, "Source bitmap incorrect size");
    }
    if (method == kSeparateTransparency) {
        const std::string grey = name + "_ti" + extension;
        pictures.transparency =
            ReadPicture(grey, {{}, "the separate method reads the alpha from it"}, files);
        CheckSize(*pictures.transparency, grey, *pictures.picture,
                  "Size of transparency does not match");
    }
    return pictures;
}

// The pictures' colours with the transparency the method gives them, stored in the target.
void PutPictures(const Pictures& pictures, const TransparencyOptions& transparency,
                 const Trova::BitmapTarget& target) {
    const Trova::TransparencyMethod method = MethodOf(transparency);
    Trova::DrawInto(target, [&](Trova::Bitmap& destination) {
        Trova::JoinTransparency(*pictures.picture, pictures.transparency.Get(), method,
                                KeyColour(transparency), destination);
    });
}

// ---- Levels ------------------------------------------------------------------------------------

// Level l of a MIP or SRB file as a target. With one shared palette only the first level
// converted rebuilds it; the later ones are mapped onto it. A kept palette is never rebuilt.
Trova::BitmapTarget LevelTarget(const Trova::LevelTexture& file, std::uint32_t level,
                                bool firstConverted, bool keepPalette) {
    Trova::BitmapTarget target{file.GetBitmap(level), {}, false};
    if (file.IsPalettised()) {
        target.palette = file.GetBitmapPalette(level);
        target.rebuildPalette = !keepPalette && (firstConverted || file.HasIndividualPalettes());
    }
    return target;
}

// The smaller levels, each shrunk from the last level read by 2, 4, 8...
void GenerateSubLevels(Trova::LevelTexture& file, std::uint32_t from, bool keepPalette) {
    const CountedPtr<Trova::Bitmap> source = file.GetBitmap(from - 1);
    std::uint32_t factor = 2;
    for (std::uint32_t level = from; level < file.GetBitmapCount(); ++level) {
        Trova::PutShrunk(*source, factor, LevelTarget(file, level, false, keepPalette));
        factor *= 2;
    }
}

// A level read from a file that cannot take new pixels fails with the file's name, not later on
// a broken invariant.
void CheckWritable(const Trova::Bitmap& level, const std::string& path) {
    if (const char* problem = level.GetWriteProblem()) {
        throw Util::XFileFormat(path, problem);
    }
}

// The file takes the picture's size; a palette is always rebuilt from it.
void PutPicture(Trova::PbfFile& file, const Pictures& pictures,
                const TransparencyOptions& transparency) {
    PutPictures(pictures, transparency,
                {file.GetBitmap(),
                 file.IsPalettised() ? file.GetPalette() : CountedPtr<Trova::Palette>(), true});
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

// base + extension (and its transparency), read once: it sizes the new file and fills it.
Pictures ReadNewFilePictures(const std::string& base, const std::string& extension,
                             const DialogOptions& options, const FileReporter& files) {
    CheckMethod(options.transparency.method);
    return ReadPictures(base, extension, options.transparency.method, nullptr, files);
}

// Level 0 of a new file from its pictures, the smaller levels shrunk from it; written as
// written + "." + extension.
void FillNewLevels(Trova::LevelTexture& file, const Pictures& pictures, const std::string& written,
                   const std::string& extension, const DialogOptions& options,
                   const FileReporter& files) {
    const Trova::BitmapTarget target = LevelTarget(file, 0, true, false);
    CheckSize(*pictures.picture, pictures.path, *target.bitmap, "Source bitmap incorrect size");
    PutPictures(pictures, options.transparency, target);
    GenerateSubLevels(file, 1, false);
    WriteGameFile(file, written + "." + extension, options.overwrite, files);
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

// ---- Checks ------------------------------------------------------------------------------------

void CheckPictureOf(const std::string& picture, const std::string& gameFile) {
    const Util::PathName picturePath(picture);
    const std::string game = Util::ToLower(Util::PathName(gameFile).GetBaseName());
    const std::string name = Util::ToLower(picturePath.GetBaseName());
    const BitmapKind kind = KindOfExtension(picturePath.GetExtension());
    const bool levelName =
        name == game ||
        (name.size() > game.size() + 1 && name.starts_with(game + "_") &&
         name.find_first_not_of("0123456789", game.size() + 1) == std::string::npos);
    if ((kind != BitmapKind::Bmp && kind != BitmapKind::Png) || !levelName) {
        throw Util::XUsage(picture + " is no picture of " + gameFile + ": its pictures are named " +
                           game + ".bmp, " + game + "_1.bmp and so on (or .png)");
    }
}

void CheckMethod(std::int32_t method) {
    if (method < kNoTransparency || method > kAlphaChannel) {
        throw Util::XUsage("Unknown transparency method " + std::to_string(method));
    }
}

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

// ---- Per-file routines -------------------------------------------------------------------------

void LevelsToBmp(const Trova::LevelTexture& file, const std::string& fileName,
                 const std::string& base, const ToBmpSettings& settings,
                 const FileReporter& files) {
    CheckMethod(settings.transparency.method);
    const LevelRange levels =
        ChooseLevels(settings.allLevels, settings.level, file.GetBitmapCount(), fileName);
    for (std::uint32_t level = levels.first; level < levels.end; ++level) {
        BitmapToPictures(*file.GetBitmap(level), LevelOfFile(fileName, level),
                         LevelName(base, level), settings.transparency, settings.overwrite, files);
    }
}

void PictureToBmp(const Trova::PbfFile& file, const std::string& fileName, const std::string& base,
                  const TransparencyOptions& transparency, bool overwrite,
                  const FileReporter& files) {
    BitmapToPictures(*file.GetBitmap(), fileName, base, transparency, overwrite, files);
}

void LevelsFromBmp(Trova::LevelTexture& file, const ConversionNames& names,
                   const std::string& extension, const FromBmpSettings& settings,
                   const FileReporter& files) {
    CheckMethod(settings.transparency.method);
    const LevelRange levels =
        ChooseLevels(settings.allLevels, settings.level, file.GetBitmapCount(),
                     Util::PathName(names.target).GetFileName() + "." + extension);
    for (std::uint32_t level = levels.first; level < file.GetBitmapCount(); ++level) {
        CheckWritable(*file.GetBitmap(level), names.target + "." + extension);
    }
    for (std::uint32_t level = levels.first; level < levels.end; ++level) {
        const Trova::BitmapTarget target =
            LevelTarget(file, level, level == levels.first, settings.keepPalette);
        const Pictures pictures =
            ReadPictures(LevelName(names.pictures, level), settings.transparency.PictureExtension(),
                         settings.transparency.method, &*target.bitmap, files);
        PutPictures(pictures, settings.transparency, target);
    }
    if (settings.generateSubLevels && levels.end > 0) {
        GenerateSubLevels(file, levels.end, settings.keepPalette);
    }
    WriteGameFile(file, names.target + "." + extension, settings.overwrite, files);
}

void PictureFromBmp(Trova::PbfFile& file, const ConversionNames& names,
                    const std::string& extension, const TransparencyOptions& transparency,
                    bool overwrite, const FileReporter& files) {
    CheckMethod(transparency.method);
    CheckWritable(*file.GetBitmap(), names.target + "." + extension);
    PutPicture(file,
               ReadPictures(names.pictures, transparency.PictureExtension(), transparency.method,
                            nullptr, files),
               transparency);
    WriteGameFile(file, names.target + "." + extension, overwrite, files);
}

void NewMipFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpMipOptions& options,
                   const FileReporter& files) {
    const Pictures pictures = ReadNewFilePictures(names.pictures, pictureExtension, options, files);
    Trova::TextureRequest request = LevelledRequestFor(options, *pictures.picture);
    request.horizontalRepeat = options.horizontalRepeat;
    request.verticalRepeat = options.verticalRepeat;
    const CountedPtr<Trova::MipFile> file = factory.GetFacet<Trova::CreateMip>()->Create(
        RelativeName(factory, names.pictures), request, "mip");
    FillNewLevels(*file, pictures, names.target, "mip", options, files);
}

void NewPbfFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpPbfOptions& options,
                   const FileReporter& files) {
    const Pictures pictures = ReadNewFilePictures(names.pictures, pictureExtension, options, files);
    const CountedPtr<Trova::PbfFile> file = factory.GetFacet<Trova::CreatePbf>()->Create(
        RelativeName(factory, names.pictures), RequestFor(options.format, *pictures.picture),
        "pbf");
    PutPicture(*file, pictures, options.transparency);
    WriteGameFile(*file, names.target + ".pbf", options.overwrite, files);
}

void NewSrbFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpSrbOptions& options,
                   const FileReporter& files) {
    const Pictures pictures = ReadNewFilePictures(names.pictures, pictureExtension, options, files);
    const CountedPtr<Trova::SrbFile> file = factory.GetFacet<Trova::CreateSrb>()->Create(
        RelativeName(factory, names.pictures), LevelledRequestFor(options, *pictures.picture),
        WorldCorners(options.geometry), TextureCorners(options.geometry), "srb");
    FillNewLevels(*file, pictures, names.target, "srb", options, files);
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

} // namespace Ostrel::Vellix
