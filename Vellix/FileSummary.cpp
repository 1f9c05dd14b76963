#include "Vellix/FileSummary.h"

#include "Trova/GPLBMAPSection.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Vellix/BitmapList.h"
#include "Vellix/PseudoDirectory.h"

#include <algorithm>
#include <array>

namespace Ostrel::Vellix {

namespace {

// The facts of a BMP file that its two headers and its colour table's size give.
struct BmpHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t tableEntries = 0;
};

// Reads the 54 bytes of headers and checks them as reading the whole picture would, including
// that the file holds the colour table and the pixels it announces, without reading either.
BmpHeader ReadBmpHeader(const std::string& path) {
    constexpr std::uint32_t kHeadersSize = 54;
    constexpr std::uint32_t kMostIndexableEntries = 256;
    const auto file = Util::OpenForRead(path);
    std::array<std::uint8_t, kHeadersSize> bytes;
    file->Read(kHeadersSize, bytes.data());
    BmpHeader header;
    header.bitCount = Util::ReadU16(&bytes[28]);
    const auto width = static_cast<std::int32_t>(Util::ReadU32(&bytes[18]));
    const auto height = static_cast<std::int32_t>(Util::ReadU32(&bytes[22]));
    const std::uint32_t pixelOffset = Util::ReadU32(&bytes[10]);
    if (Util::ReadU16(&bytes[0]) != 0x4D42 || Util::ReadU32(&bytes[14]) != 40 ||
        Util::ReadU16(&bytes[26]) != 1 || Util::ReadU32(&bytes[30]) != 0) {
        throw Util::XFileFormat(path, "Invalid or unsupported BMP file");
    }
    if (header.bitCount != 1 && header.bitCount != 4 && header.bitCount != 8 &&
        header.bitCount != 16 && header.bitCount != 24 && header.bitCount != 32) {
        throw Util::XFileFormat(path, "Unrecognized bit count");
    }
    header.width = static_cast<std::uint32_t>(width);
    header.height =
        height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
    const std::uint64_t imageSize =
        (std::uint64_t(header.width) * header.bitCount + 31) / 32 * 4 * header.height;
    if (width < 0 || (width == 0) != (height == 0) || imageSize > 0xFFFFFFFFu) {
        throw Util::XFileFormat(path, "Invalid BMP dimensions");
    }
    if (pixelOffset < kHeadersSize || (pixelOffset - kHeadersSize) % 4 != 0) {
        throw Util::XFileFormat(path, "Palette size error");
    }
    if (pixelOffset - kHeadersSize + imageSize > file->GetRemaining()) {
        throw Util::XFileRead(path);
    }
    header.tableEntries = std::min((pixelOffset - kHeadersSize) / 4, kMostIndexableEntries);
    return header;
}

void CaptureBmp(FileSummary& summary, const std::string& path) {
    const BmpHeader header = ReadBmpHeader(path);
    summary.width = header.width;
    summary.height = header.height;
    summary.redBits = summary.greenBits = summary.blueBits = 8;
    summary.palettised = header.bitCount <= 8;
    summary.paletteSize = summary.palettised ? header.tableEntries : 0;
    summary.levels = {{header.width, header.height}};
    summary.bitsPerPixel = header.bitCount;
}

void CaptureLevels(FileSummary& summary, const BitmapFile& file) {
    for (std::uint32_t level = 0; level < file.GetBitmapCount(); ++level) {
        const auto bitmap = file.GetBitmap(level);
        summary.levels.push_back(bitmap ? LevelSize{bitmap->GetWidth(), bitmap->GetHeight()}
                                        : LevelSize{});
        if (const auto section = bitmap.DynamicCast<Trova::GPLBMAPSection>();
            section && level == 0) {
            summary.storedFormat = {section->GetFormat(), section->GetCompression()};
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
            CaptureBmp(summary,
                       container.GetPathName().GetAsDirectory() + container.GetEntryName(index));
        } else if (kind != BitmapKind::Other) {
            summary = SummariseFile(*MakeBitmapFile(container, index));
        }
    } catch (const Util::Exception& exception) {
        summary = {};
        summary.error = exception.Message();
    } catch (const std::exception& exception) {
        summary = {};
        summary.error = exception.what();
    }
    summary.entryIndex = index;
    summary.entryName = container.GetEntryName(index);
    summary.baseName = container.GetEntryBaseName(index);
    summary.extension = container.GetEntryExtension(index);
    summary.kind = kind;
    return summary;
}

} // namespace Ostrel::Vellix
