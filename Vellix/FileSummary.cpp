#include "Vellix/FileSummary.h"

#include "Trova/DIB.h"
#include "Trova/PngFile.h"
#include "Trova/TextureSummary.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Vellix/BitmapList.h"
#include "Vellix/PseudoDirectory.h"

#include <algorithm>
#include <array>

namespace Ostrel::Vellix {

namespace {

void CapturePicture(FileSummary& summary, const Trova::PictureSummary& header) {
    summary.width = header.width;
    summary.height = header.height;
    summary.redBits = summary.greenBits = summary.blueBits = 8;
    summary.alphaBits = header.hasAlpha ? 8 : 0;
    // A PNG of few bits per pixel is still read as true colour; only a colour table makes a
    // palette.
    summary.palettised = header.bitCount <= 8 && header.palette;
    summary.paletteSize = summary.palettised ? header.palette->GetCount() : 0;
    summary.levels = {{header.width, header.height}};
    summary.bitsPerPixel = header.bitCount;
}

// The game file's headers only, read as its factory finds the file.
Trova::TextureSummary ReadTextureSummary(const PseudoDirectory& container, std::uint32_t index,
                                         BitmapKind kind) {
    const auto factory = container.GetFileFactory();
    const std::string name = container.GetEntryQualifiedName(index);
    const std::string extension = container.GetEntryExtension(index);
    const bool archiveOnly = container.IsArchive();
    switch (kind) {
    case BitmapKind::Mip:
        return factory->GetFacet<Trova::MakeMip>()->Summarise(name, extension, archiveOnly);
    case BitmapKind::Pbf:
        return factory->GetFacet<Trova::MakePbf>()->Summarise(name, extension, archiveOnly);
    default:
        return factory->GetFacet<Trova::MakeSrb>()->Summarise(name, extension, archiveOnly);
    }
}

void CaptureTexture(FileSummary& summary, const Trova::TextureSummary& texture) {
    if (texture.levels.empty()) {
        return;
    }
    for (const auto& level : texture.levels) {
        summary.levels.push_back({level.width, level.height});
    }
    summary.width = texture.levels[0].width;
    summary.height = texture.levels[0].height;
    summary.redBits = texture.redBits;
    summary.greenBits = texture.greenBits;
    summary.blueBits = texture.blueBits;
    summary.alphaBits = texture.alphaBits;
    summary.palettised = texture.palettised;
    summary.individualPalettes = texture.individualPalettes;
    summary.paletteSize = texture.palettised ? texture.paletteSize : 0;
    summary.transparency = texture.transparency;
    summary.storedFormat = {texture.storedFormat, texture.storedCompression};
}

void CaptureLevels(FileSummary& summary, const BitmapFile& file) {
    for (std::uint32_t level = 0; level < file.GetBitmapCount(); ++level) {
        const auto bitmap = file.GetBitmap(level);
        summary.levels.push_back(bitmap ? LevelSize{bitmap->GetWidth(), bitmap->GetHeight()}
                                        : LevelSize{});
        if (bitmap && level == 0) {
            summary.storedFormat = bitmap->GetStoredFormat();
        }
    }
}

} // namespace

FileSummary SummariseFile(const BitmapFile& file) {
    FileSummary summary;
    summary.baseName = file.GetBaseName();
    summary.extension = file.GetExtension();
    if (file.GetBitmapCount() == 0) {
        return summary;
    }
    summary.width = file.GetWidth();
    summary.height = file.GetHeight();
    summary.redBits = file.GetRedBits();
    summary.greenBits = file.GetGreenBits();
    summary.blueBits = file.GetBlueBits();
    summary.alphaBits = file.GetAlphaBits();
    summary.palettised = file.IsPalettised();
    summary.individualPalettes = file.HasIndividualPalettes();
    summary.paletteSize = file.IsPalettised() ? file.GetPaletteSize() : 0;
    summary.transparency = file.GetTransparency();
    CaptureLevels(summary, file);
    return summary;
}

FileSummary SummariseEntry(const PseudoDirectory& container, std::uint32_t index) {
    const BitmapKind kind = ListedKind(container, index);
    FileSummary summary;
    try {
        if (kind == BitmapKind::Bmp) {
            CapturePicture(summary, Trova::DIB::ReadSummary(*OpenEntry(container, index)));
        } else if (kind == BitmapKind::Png) {
            CapturePicture(summary, Trova::PngFile::ReadSummary(*OpenEntry(container, index)));
        } else if (kind != BitmapKind::Other) {
            CaptureTexture(summary, ReadTextureSummary(container, index, kind));
        }
    } catch (const Util::Exception& exception) {
        summary = {};
        summary.error = exception.Message();
    } catch (const std::exception& exception) {
        summary = {};
        summary.error = exception.what();
    }
    NameEntry(summary, container, index);
    return summary;
}

FileSummary NameEntry(const PseudoDirectory& container, std::uint32_t index) {
    FileSummary summary;
    NameEntry(summary, container, index);
    return summary;
}

void NameEntry(FileSummary& summary, const PseudoDirectory& container, std::uint32_t index) {
    summary.entryIndex = index;
    summary.entryName = container.GetEntryName(index);
    summary.baseName = container.GetEntryBaseName(index);
    summary.extension = container.GetEntryExtension(index);
    summary.kind = ListedKind(container, index);
}

} // namespace Ostrel::Vellix
