#pragma once

#include "Trova/Bitmap.h"
#include "Trova/Colour.h"

#include <array>
#include <cstdint>
#include <set>
#include <vector>

namespace Ostrel::Trova {

// A colour table shared by the paletted formats, with an exact lookup from colour to index.
// Copies are deep.
//
// The lookup holds one key per indexed entry: the four channels' float bit patterns and the entry's
// index, each little-endian, compared as a byte string. Equal colours therefore sort by index (for
// indices below 256, lowest first), and the first one found is the one a lookup answers.
// Entries made by the count constructor are not indexed until they are stored or the count changes.
class Palette {
public:
    // count entries, each (0, 0, 0, 0), none of them indexed.
    explicit Palette(std::uint32_t count = 0);

    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(entries_.size()); }

    // The index must be below GetCount(); otherwise XAssertion.
    const Colour& GetColour(std::uint32_t index) const;
    void SetColour(std::uint32_t index, const Colour& colour);

    // True, with the index, when an indexed entry equals the colour.
    bool FindColour(const Colour& colour, std::uint32_t& index) const;
    // The index FindColour finds; XAssertion "FindColour(colour, index)" when there is none.
    std::uint32_t GetColourIndex(const Colour& colour) const;
    // The index of an equal indexed entry, or of the colour appended as a new entry.
    std::uint32_t AddColour(const Colour& colour);
    // On a change of count, keeps the leading entries, pads with (0, 0, 0, 0) and indexes all.
    void SetCount(std::uint32_t count);

private:
    using Key = std::array<std::uint8_t, 20>;

    static Key MakeKey(const Colour& colour, std::uint32_t index);
    void Index(std::uint32_t index);

    std::vector<Colour> entries_;
    std::set<Key> index_;
};

// At most maximum colours for the bitmap: all its distinct colours in order of first appearance
// when they fit, otherwise a reduction that minimises the alpha-weighted colour variance.
// maximum must be at least 1 (XUsage otherwise).
Palette MakePalette(const Bitmap& bitmap, std::uint32_t maximum);

// Sizes the destination like the source and sets each pixel to the nearest palette entry (the lower
// index on a tie). The palette must have an entry unless the source is empty (XAssertion
// otherwise).
void MapToPalette(const Bitmap& source, const Palette& palette, Bitmap& destination);

} // namespace Ostrel::Trova
