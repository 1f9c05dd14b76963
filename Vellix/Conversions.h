#pragma once

// The per-file work of the five conversion commands: game files to BMP files (one per level), BMP
// files back into existing game files, and new MIP, PBF/STP and SRB files from BMP files. Every
// file is written through Util::WriteSafely (or, in a dry run, only named) and reported as soon as
// it is complete.

#include "Trova/FileFactory.h"
#include "Vellix/ConversionOptions.h"
#include "Vellix/PseudoDirectory.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace Ostrel::Trova {
class LevelTexture;
class PbfFile;
} // namespace Ostrel::Trova

namespace Ostrel::Vellix {

// What a conversion tells about the files it touches. With dryRun set it writes nothing and
// reports every file it would write, failing where the real run would find a file in the way.
struct FileReporter {
    bool dryRun = false;
    std::function<void(const std::string& path)> onRead;
    std::function<void(const std::string& path, bool replaced)> onWritten;
    // Told before a file is written; may refuse it by throwing.
    std::function<void(const std::string& path)> onWriting;

    void Read(const std::string& path) const {
        if (onRead) {
            onRead(path);
        }
    }
    void Writing(const std::string& path) const {
        if (onWriting) {
            onWriting(path);
        }
    }
    void Written(const std::string& path, bool replaced) const {
        if (onWritten) {
            onWritten(path, replaced);
        }
    }
};

// The names one file's conversion reads and writes, each without extension: its pictures
// (pictures + "_" + level + ".bmp") and the game file it writes (target + "." + extension).
struct ConversionNames {
    ConversionNames(std::string base) : pictures(base), target(std::move(base)) {}
    ConversionNames(std::string picturesBase, std::string targetBase)
        : pictures(std::move(picturesBase)), target(std::move(targetBase)) {}

    std::string pictures;
    std::string target;
};

// The directory where a container's conversions read and write BMP files, with a trailing
// separator: the game directory, and below it the directory of the same name for a directory
// inside an archive.
std::string BmpDirectory(const PseudoDirectory& container);

// base for level 0, base + "_" + level for the others.
std::string LevelName(const std::string& base, std::uint32_t level);
// A picture dropped on a game file must be one that Convert From Bmp reads for it: a BMP or PNG
// file named as one of its levels' pictures (case ignored). XUsage otherwise.
void CheckPictureOf(const std::string& picture, const std::string& gameFile);

// XUsage "Unknown transparency method N" for a method that is none of the known ones.
void CheckMethod(std::int32_t method);

// The levels [first, end) to convert.
struct LevelRange {
    std::uint32_t first;
    std::uint32_t end;
};

// All count levels, or the 1-based level alone; XUsage when that is not between 1 and count.
LevelRange ChooseLevels(bool allLevels, std::int32_t level, std::uint32_t count,
                        const std::string& fileName);

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
    bool keepPalette = false;
};

// The per-file work. base is the BMP directory joined with the file's base name; every name read
// or written is built from it. A level outside the file's levels and an unknown transparency
// method fail with XUsage before anything is written. The failures of one file's pictures are
// XConversion, naming the file (fileName, as messages call it) or the picture.
void LevelsToBmp(const Trova::LevelTexture& file, const std::string& fileName,
                 const std::string& base, const ToBmpSettings& settings, const FileReporter& files);
void PictureToBmp(const Trova::PbfFile& file, const std::string& fileName, const std::string& base,
                  const TransparencyOptions& transparency, bool overwrite,
                  const FileReporter& files);

// These change the file they are given (pass a copy of a shared file), reading the pictures
// named by names.pictures, and write it as names.target + "." + extension.
void LevelsFromBmp(Trova::LevelTexture& file, const ConversionNames& names,
                   const std::string& extension, const FromBmpSettings& settings,
                   const FileReporter& files);
void PictureFromBmp(Trova::PbfFile& file, const ConversionNames& names,
                    const std::string& extension, const TransparencyOptions& transparency,
                    bool overwrite, const FileReporter& files);

// A new game file from the picture names.pictures + pictureExtension (".bmp" or ".png"), made by
// the factory's create facet and written as names.target with the extension the facet gives.
void NewMipFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpMipOptions& options,
                   const FileReporter& files);
void NewPbfFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpPbfOptions& options,
                   const FileReporter& files);
void NewSrbFromBmp(const Trova::FileFactory& factory, const ConversionNames& names,
                   const std::string& pictureExtension, const BmpSrbOptions& options,
                   const FileReporter& files);

// The corners of the textured rectangle that the geometry of "Bmp->Srb Options" describes.
std::array<Trova::WorldPoint, 4> WorldCorners(const SrbGeometry& geometry);
std::array<Trova::TexturePoint, 4> TextureCorners(const SrbGeometry& geometry);

} // namespace Ostrel::Vellix
