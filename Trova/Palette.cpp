#include "Trova/Palette.h"

#include "Util/Exception.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "Palette";
// The line a missing colour's failure names, whatever the layout of this file.
constexpr std::uint32_t kGetColourIndexLine = 69;

void PutU32(std::uint8_t* bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        *bytes++ = static_cast<std::uint8_t>(value >> shift);
    }
}

std::uint32_t GetU32(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
}
} // namespace

Palette::Palette(std::uint32_t count) : entries_(count) {}

Palette::Key Palette::MakeKey(const Colour& colour, std::uint32_t index) {
    Key key;
    PutU32(&key[0], std::bit_cast<std::uint32_t>(colour.GetRed()));
    PutU32(&key[4], std::bit_cast<std::uint32_t>(colour.GetGreen()));
    PutU32(&key[8], std::bit_cast<std::uint32_t>(colour.GetBlue()));
    PutU32(&key[12], std::bit_cast<std::uint32_t>(colour.GetAlpha()));
    PutU32(&key[16], index);
    return key;
}

void Palette::Index(std::uint32_t index) {
    index_.insert(MakeKey(entries_[index], index));
}

const Colour& Palette::GetColour(std::uint32_t index) const {
    OSTREL_ASSERT(index < GetCount());
    return entries_[index];
}

void Palette::SetColour(std::uint32_t index, const Colour& colour) {
    OSTREL_ASSERT(index < GetCount());
    index_.erase(MakeKey(entries_[index], index));
    entries_[index] = colour;
    Index(index);
}

// The first key at or after (colour, 0) is the lowest-keyed entry holding exactly these bits.
bool Palette::FindColour(const Colour& colour, std::uint32_t& index) const {
    const auto found = index_.lower_bound(MakeKey(colour, 0));
    if (found == index_.end()) {
        return false;
    }
    const std::uint32_t foundIndex = GetU32(&(*found)[16]);
    if (entries_[foundIndex] != colour) {
        return false;
    }
    index = foundIndex;
    return true;
}

std::uint32_t Palette::GetColourIndex(const Colour& colour) const {
    std::uint32_t index = 0;
    if (!FindColour(colour, index)) {
        Util::AssertionFailed("FindColour(colour, index)", kSourceUnit, kGetColourIndexLine);
    }
    return index;
}

std::uint32_t Palette::AddColour(const Colour& colour) {
    std::uint32_t index = 0;
    if (FindColour(colour, index)) {
        return index;
    }
    index = GetCount();
    entries_.push_back(colour);
    Index(index);
    return index;
}

void Palette::SetCount(std::uint32_t count) {
    if (count == GetCount()) {
        return;
    }
    entries_.resize(count);
    index_.clear();
    for (std::uint32_t index = 0; index < count; ++index) {
        Index(index);
    }
}

namespace {

// Grid quantiser. Every channel is brought to 32 levels, so each pixel falls into one cell of a
// 32^4 grid. Boxes of cells are split, largest error first, where the split leaves the smallest
// summed error, until there are enough boxes; each box gives its alpha-weighted mean colour.
//
// Sums are added in a fixed order, cell by cell in grid address order (red major, alpha minor), so
// that the float results do not depend on how the work is organised. Each box keeps its cells as a
// contiguous, address-ordered range of one cell list, which makes a split cost time in proportion
// to the cells the box holds rather than to its volume on the grid.

constexpr unsigned kChannels = 4;
constexpr unsigned kLevels = 32;
constexpr std::uint32_t kGridSize = 1u << 20;
constexpr float kNoCost = std::numeric_limits<float>::max();

using Levels = std::array<std::uint8_t, kChannels>;

// Sums over a set of pixels: count, alpha-weighted square sum, alpha-weighted colour sums, alpha.
struct Sums {
    float n = 0;
    float q = 0;
    float sr = 0;
    float sg = 0;
    float sb = 0;
    float sa = 0;

    void Add(const Sums& other) {
        n += other.n;
        q += other.q;
        sr += other.sr;
        sg += other.sg;
        sb += other.sb;
        sa += other.sa;
    }
    Sums operator-(const Sums& other) const {
        return {n - other.n,   q - other.q,   sr - other.sr,
                sg - other.sg, sb - other.sb, sa - other.sa};
    }
    // Alpha weighs three times one colour channel; colour counts in proportion to opacity.
    void AddPixel(const Colour& pixel) {
        const float r = pixel.GetRed();
        const float g = pixel.GetGreen();
        const float b = pixel.GetBlue();
        const float a = pixel.GetAlpha();
        n += 1;
        q += a * (r * r + g * g + b * b) + 3 * (a * a);
        sr += r * a;
        sg += g * a;
        sb += b * a;
        sa += a;
    }
    // The alpha-weighted sum of squared deviations from the mean colour.
    float Error() const {
        const float colourTerm = sa == 0 ? 0 : (sr * sr + sg * sg + sb * sb) / sa;
        return q - 3 * (sa * sa) / n - colourTerm;
    }
    Colour Mean() const { return sa == 0 ? Colour() : Colour(sr / sa, sg / sa, sb / sa, sa / n); }
};

struct Cell {
    Levels levels;
    Sums sums;
};

struct Box {
    float error = 0;
    Sums sums;
    Levels minimum{};
    Levels maximum{};
    std::uint32_t begin = 0; // the box's cells in the cell list
    std::uint32_t end = 0;

    bool IsSplittable() const {
        unsigned extent = 0;
        for (unsigned channel = 0; channel < kChannels; ++channel) {
            extent += maximum[channel] - minimum[channel];
        }
        return extent != 0;
    }
};

struct Cut {
    float cost = kNoCost;
    unsigned channel = 0;
    std::uint8_t level = 0; // the last level of the lower part
};

// Channels outside 0 to 1 (never produced by the file formats) are clamped to keep every cell
// inside the grid.
std::uint8_t ToLevel(float channel) {
    const float clamped = channel >= 0 ? std::min(channel, 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(ChannelToInt(clamped, 8) >> 3);
}

Levels ToLevels(const Colour& pixel) {
    return {ToLevel(pixel.GetRed()), ToLevel(pixel.GetGreen()), ToLevel(pixel.GetBlue()),
            ToLevel(pixel.GetAlpha())};
}

std::uint32_t GridAddress(const Levels& levels) {
    return levels[0] << 15 | levels[1] << 10 | levels[2] << 5 | levels[3];
}

// The working storage of one reduction. It lives for one call only; the cell list holds one record
// per occupied grid cell, so it never outgrows the bitmap's pixel count.
class GridQuantiser {
public:
    GridQuantiser(const Bitmap& bitmap, std::uint32_t maximum);
    std::vector<Colour> GetColours() const;

private:
    void CollectCells(const Bitmap& bitmap);
    Box MakeBox(std::uint32_t begin, std::uint32_t end) const;
    Cut FindCut(const Box& box);
    Cut FindChannelCut(const Box& box, unsigned channel);
    void SplitTop();
    void SiftDown(std::size_t position);
    void SiftUp(std::size_t position);
    float HeapError(std::size_t position) const { return boxes_[heap_[position]].error; }

    std::vector<Cell> cells_;
    std::vector<Box> boxes_;
    std::vector<std::uint32_t> heap_;      // box numbers, 1-based: element 0 is unused
    std::vector<std::uint32_t> slabOrder_; // a box's cells grouped by level, for FindChannelCut
};

GridQuantiser::GridQuantiser(const Bitmap& bitmap, std::uint32_t maximum) {
    CollectCells(bitmap);
    const auto cellCount = static_cast<std::uint32_t>(cells_.size());
    // A split never leaves a box empty, so there are never more boxes than cells.
    boxes_.reserve(std::min(maximum, cellCount));
    heap_.reserve(std::size_t(std::min(maximum, cellCount)) + 1);
    heap_.push_back(0);
    boxes_.push_back(MakeBox(0, cellCount));
    if (boxes_[0].IsSplittable()) {
        heap_.push_back(0);
    }
    while (boxes_.size() < maximum && heap_.size() > 1) {
        SplitTop();
    }
}

// Accumulates each pixel into its cell in row order, then lists the cells in grid address order.
void GridQuantiser::CollectCells(const Bitmap& bitmap) {
    std::vector<std::uint32_t> grid(kGridSize); // 0, or 1 + the cell's number in cells_
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            const Colour pixel = bitmap.GetPixel(row, column);
            const Levels levels = ToLevels(pixel);
            std::uint32_t& slot = grid[GridAddress(levels)];
            if (slot == 0) {
                cells_.push_back({levels, Sums()});
                slot = static_cast<std::uint32_t>(cells_.size());
            }
            cells_[slot - 1].sums.AddPixel(pixel);
        }
    }
    std::sort(cells_.begin(), cells_.end(), [](const Cell& left, const Cell& right) {
        return GridAddress(left.levels) < GridAddress(right.levels);
    });
}

// The box of the cells in [begin, end), shrunk to their extent.
Box GridQuantiser::MakeBox(std::uint32_t begin, std::uint32_t end) const {
    Box box;
    box.begin = begin;
    box.end = end;
    box.minimum.fill(kLevels - 1);
    for (std::uint32_t cell = begin; cell < end; ++cell) {
        box.sums.Add(cells_[cell].sums);
        for (unsigned channel = 0; channel < kChannels; ++channel) {
            box.minimum[channel] = std::min(box.minimum[channel], cells_[cell].levels[channel]);
            box.maximum[channel] = std::max(box.maximum[channel], cells_[cell].levels[channel]);
        }
    }
    box.error = box.sums.Error();
    return box;
}

// The channel whose best cut costs least; a later channel wins only when strictly cheaper.
Cut GridQuantiser::FindCut(const Box& box) {
    Cut best;
    bool found = false;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        if (box.minimum[channel] == box.maximum[channel]) {
            continue;
        }
        const Cut cut = FindChannelCut(box, channel);
        if (!found || cut.cost < best.cost) {
            best = cut;
            found = true;
        }
    }
    return best;
}

// Tries every cut of one channel, adding the lower part slab by slab; the first cheapest wins.
Cut GridQuantiser::FindChannelCut(const Box& box, unsigned channel) {
    // Group the box's cells by their level on this channel, keeping address order within a level.
    std::array<std::uint32_t, kLevels + 1> slabStart{};
    for (std::uint32_t cell = box.begin; cell < box.end; ++cell) {
        ++slabStart[cells_[cell].levels[channel] + 1];
    }
    for (unsigned level = 0; level < kLevels; ++level) {
        slabStart[level + 1] += slabStart[level];
    }
    slabOrder_.resize(box.end - box.begin);
    std::array<std::uint32_t, kLevels + 1> fill = slabStart;
    for (std::uint32_t cell = box.begin; cell < box.end; ++cell) {
        slabOrder_[fill[cells_[cell].levels[channel]]++] = cell;
    }

    Cut best{kNoCost, channel, box.minimum[channel]};
    Sums lower;
    for (unsigned level = box.minimum[channel]; level < box.maximum[channel]; ++level) {
        for (std::uint32_t slot = slabStart[level]; slot < slabStart[level + 1]; ++slot) {
            lower.Add(cells_[slabOrder_[slot]].sums);
        }
        const float cost = lower.Error() + (box.sums - lower).Error();
        if (cost < best.cost) {
            best.cost = cost;
            best.level = static_cast<std::uint8_t>(level);
        }
    }
    return best;
}

// Splits the box of largest error: the lower part keeps its record, the upper part is appended.
void GridQuantiser::SplitTop() {
    const std::uint32_t number = heap_[1];
    const Box whole = boxes_[number];
    const Cut cut = FindCut(whole);
    const auto middle = std::stable_partition(
        cells_.begin() + whole.begin, cells_.begin() + whole.end,
        [&cut](const Cell& cell) { return cell.levels[cut.channel] <= cut.level; });
    const auto split = static_cast<std::uint32_t>(middle - cells_.begin());

    const Box lower = MakeBox(whole.begin, split);
    Box upper = MakeBox(split, whole.end);
    upper.sums = whole.sums - lower.sums;
    upper.error = upper.sums.Error();
    boxes_[number] = lower;
    const auto upperNumber = static_cast<std::uint32_t>(boxes_.size());
    boxes_.push_back(upper);

    if (!lower.IsSplittable() && !upper.IsSplittable()) {
        heap_[1] = heap_.back();
        heap_.pop_back();
        if (heap_.size() > 1) {
            SiftDown(1);
        }
    } else if (!lower.IsSplittable()) {
        heap_[1] = upperNumber;
        SiftDown(1);
    } else {
        SiftDown(1);
        if (upper.IsSplittable()) {
            heap_.push_back(upperNumber);
            SiftUp(heap_.size() - 1);
        }
    }
}

void GridQuantiser::SiftDown(std::size_t position) {
    const std::size_t size = heap_.size() - 1;
    while (2 * position <= size) {
        std::size_t child = 2 * position;
        if (child + 1 <= size && HeapError(child + 1) > HeapError(child)) {
            ++child;
        }
        if (!(HeapError(child) > HeapError(position))) {
            return;
        }
        std::swap(heap_[child], heap_[position]);
        position = child;
    }
}

void GridQuantiser::SiftUp(std::size_t position) {
    while (position > 1 && HeapError(position) > HeapError(position / 2)) {
        std::swap(heap_[position], heap_[position / 2]);
        position /= 2;
    }
}

std::vector<Colour> GridQuantiser::GetColours() const {
    std::vector<Colour> colours;
    colours.reserve(boxes_.size());
    for (const Box& box : boxes_) {
        colours.push_back(box.sums.Mean());
    }
    return colours;
}

} // namespace

Palette MakePalette(const Bitmap& bitmap, std::uint32_t maximum) {
    if (maximum == 0) {
        throw Util::XUsage("A palette must be allowed at least one colour");
    }
    Palette exact;
    for (std::uint32_t row = 0; row < bitmap.GetHeight() && exact.GetCount() <= maximum; ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            exact.AddColour(bitmap.GetPixel(row, column));
        }
    }
    if (exact.GetCount() <= maximum) {
        return exact;
    }
    const std::vector<Colour> colours = GridQuantiser(bitmap, maximum).GetColours();
    Palette reduced;
    for (const Colour& colour : colours) {
        reduced.AddColour(colour);
    }
    // Means that came out equal collapsed onto one entry; pad back to one entry per box.
    reduced.SetCount(static_cast<std::uint32_t>(colours.size()));
    return reduced;
}

namespace {

// Finds the first entry of least distance from a pixel, as comparing every entry in index order
// would, without comparing most of them: the entries sit in the leaves of a k-d tree over the
// four channels, and a subtree is skipped when even the nearest point of its box is further than
// the best entry found. Entries at equal distance are decided by index.
class NearestColourSearch {
public:
    explicit NearestColourSearch(const Palette& palette) {
        for (std::uint32_t index = 0; index < palette.GetCount(); ++index) {
            const Colour colour = palette.GetColour(index);
            entries_.push_back(
                {{colour.GetRed(), colour.GetGreen(), colour.GetBlue(), colour.GetAlpha()},
                 colour,
                 index});
        }
        if (!entries_.empty()) {
            Build(0, static_cast<std::uint32_t>(entries_.size()));
        }
    }

    std::uint32_t Find(const Colour& pixel) const {
        OSTREL_ASSERT(!entries_.empty());
        Query query{{pixel.GetRed(), pixel.GetGreen(), pixel.GetBlue(), pixel.GetAlpha()},
                    {pixel.GetAlpha(), pixel.GetAlpha(), pixel.GetAlpha(), 1},
                    pixel,
                    {pixel.Distance(entries_[0].colour), entries_[0].index}};
        std::array<float, 4> offsets{};
        Search(0, query, offsets, 0);
        return query.best.index;
    }

private:
    static constexpr std::uint32_t kLeafSize = 6;

    struct Entry {
        std::array<float, 4> channels;
        Colour colour;
        std::uint32_t index;
    };

    // Entries first to last of the tree order; an inner node splits them at middle on channel,
    // the lower half holding channel values up to split and the upper half those from split.
    struct Node {
        std::uint32_t first;
        std::uint32_t last;
        std::uint32_t middle = 0;
        unsigned channel = 0;
        float split = 0;
        std::uint32_t lower = 0;
        std::uint32_t upper = 0;
    };

    struct Best {
        float distance;
        std::uint32_t index;
    };

    struct Query {
        std::array<float, 4> channels;
        std::array<float, 4> weights; // colour differences count by the pixel's alpha
        Colour pixel;
        Best best;
    };

    std::uint32_t Build(std::uint32_t first, std::uint32_t last) {
        const auto node = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back({first, last});
        if (last - first <= kLeafSize) {
            return node;
        }
        const unsigned channel = WidestChannel(first, last);
        const std::uint32_t middle = first + (last - first) / 2;
        std::nth_element(entries_.begin() + first, entries_.begin() + middle,
                         entries_.begin() + last, [&](const Entry& a, const Entry& b) {
                             return a.channels[channel] < b.channels[channel];
                         });
        nodes_[node].middle = middle;
        nodes_[node].channel = channel;
        nodes_[node].split = entries_[middle].channels[channel];
        const std::uint32_t lower = Build(first, middle);
        const std::uint32_t upper = Build(middle, last);
        nodes_[node].lower = lower;
        nodes_[node].upper = upper;
        return node;
    }

    unsigned WidestChannel(std::uint32_t first, std::uint32_t last) const {
        unsigned widest = 0;
        float widestSpread = -1;
        for (unsigned channel = 0; channel < 4; ++channel) {
            const auto [low, high] =
                std::minmax_element(entries_.begin() + first, entries_.begin() + last,
                                    [&](const Entry& a, const Entry& b) {
                                        return a.channels[channel] < b.channels[channel];
                                    });
            const float spread = high->channels[channel] - low->channels[channel];
            if (spread > widestSpread) {
                widest = channel;
                widestSpread = spread;
            }
        }
        return widest;
    }

    // bound is the weighted squared distance from the pixel to the box of the node's entries,
    // offsets its parts along each channel: a lower bound of four times any entry's distance.
    // The margin covers the rounding of the float sums.
    void Search(std::uint32_t index, Query& query, std::array<float, 4>& offsets,
                float bound) const {
        if (bound / 4 > query.best.distance * 1.0001f + 1e-30f) {
            return;
        }
        const Node& node = nodes_[index];
        if (node.last - node.first <= kLeafSize) {
            for (std::uint32_t entry = node.first; entry < node.last; ++entry) {
                Consider(query, entries_[entry]);
            }
            return;
        }
        const float along = query.channels[node.channel] - node.split;
        const bool lowerFirst = along < 0;
        Search(lowerFirst ? node.lower : node.upper, query, offsets, bound);
        const float before = offsets[node.channel];
        const float weight = query.weights[node.channel];
        offsets[node.channel] = along;
        Search(lowerFirst ? node.upper : node.lower, query, offsets,
               bound - weight * before * before + weight * along * along);
        offsets[node.channel] = before;
    }

    static void Consider(Query& query, const Entry& entry) {
        const float distance = query.pixel.Distance(entry.colour);
        if (distance < query.best.distance ||
            (distance == query.best.distance && entry.index < query.best.index)) {
            query.best = {distance, entry.index};
        }
    }

    std::vector<Entry> entries_;
    std::vector<Node> nodes_;
};

} // namespace

void MapToPalette(const Bitmap& source, const Palette& palette, Bitmap& destination) {
    const std::uint32_t height = source.GetHeight();
    const std::uint32_t width = source.GetWidth();
    destination.SetSize(height, width);
    const NearestColourSearch search(palette);
    // Runs of one colour are common in textures; the search is repeated only when the colour
    // changes.
    Colour previous;
    std::uint32_t previousNearest = 0;
    bool havePrevious = false;
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            const Colour pixel = source.GetPixel(row, column);
            if (!havePrevious || pixel != previous) {
                previous = pixel;
                previousNearest = search.Find(pixel);
                havePrevious = true;
            }
            destination.SetPixel(row, column, palette.GetColour(previousNearest));
        }
    }
}

} // namespace Ostrel::Trova
