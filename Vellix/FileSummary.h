#pragma once

// What the list and the info command show of a file, captured once from its headers: the
// columns never reopen a file, and no pixels are read or decoded for a listing.

#include "Vellix/BitmapFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

class PseudoDirectory;

struct LevelSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const LevelSize&) const = default;
};

struct FileSummary {
    std::uint32_t entryIndex = 0;
    std::string entryName; // with extension
    std::string baseName;
    std::string extension;
    BitmapKind kind = BitmapKind::Other;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t redBits = 0;
    std::uint32_t greenBits = 0;
    std::uint32_t blueBits = 0;
    std::uint32_t alphaBits = 0;
    bool palettised = false;
    bool individualPalettes = false;
    std::uint32_t paletteSize = 0; // of the shared palette, or of level 0's; 0 without one
    std::uint32_t transparency = 0;
    std::vector<LevelSize> levels;                   // empty for a file without a picture
    std::optional<Trova::StoredFormat> storedFormat; // of level 0
    std::uint32_t bitsPerPixel = 0;                  // BMP files only
    // Set when the file could not be read; the values above are then empty.
    std::string error;

    std::uint32_t LevelCount() const { return static_cast<std::uint32_t>(levels.size()); }
    bool operator==(const FileSummary&) const = default;
};

// The summary of entry index of a container, from the file's headers only: a game file's pixel
// data is neither read nor decoded. A file that cannot be read gives a summary that carries the
// reason instead of failing.
FileSummary SummariseEntry(const PseudoDirectory& container, std::uint32_t index);
// The names and kind of entry index alone, before its headers are read.
FileSummary NameEntry(const PseudoDirectory& container, std::uint32_t index);
// Gives a summary the names and kind of entry index.
void NameEntry(FileSummary& summary, const PseudoDirectory& container, std::uint32_t index);
// The values an adapter answers, under the adapter's own names.
FileSummary SummariseFile(const BitmapFile& file);

} // namespace Ostrel::Vellix
