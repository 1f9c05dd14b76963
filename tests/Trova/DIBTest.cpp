#include "Trova/DIB.h"

#include "Support/TestSupport.h"
#include "Util/BinaryStream.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <new>
#include <optional>
#include <tuple>

// Records the largest single allocation, so that a test can prove a reader refused a header's claim
// before allocating for it.
namespace {
std::size_t largestAllocation = 0;
}

void* operator new(std::size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
// The compiler cannot see that these pair with the malloc above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

using namespace Ostrel;
using Trova::Colour;
using Trova::DIB;
namespace Support = Ostrel::Test;
using Support::PixelRows;
using Support::PixelsOf;

// The fields of a BMP built byte by byte; the defaults make a valid 1 × 1 24-bit file.
struct BmpFields {
    std::uint16_t type = 0x4D42;
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint8_t> masks = {};          // after the 40 classic header bytes
    std::vector<std::uint8_t> table = {};          // raw blue, green, red, reserved entries
    std::optional<std::uint32_t> pixelOffset = {}; // right after the table unless given
    std::vector<std::uint8_t> pixels = {1, 2, 3, 0};
};

std::vector<std::uint8_t> BuildBmp(const BmpFields& fields) {
    std::vector<std::uint8_t> bytes(54, 0);
    Util::WriteU16(&bytes[0], fields.type);
    Util::WriteU32(&bytes[14], fields.headerSize);
    Util::WriteU32(&bytes[18], std::uint32_t(fields.width));
    Util::WriteU32(&bytes[22], std::uint32_t(fields.height));
    Util::WriteU16(&bytes[26], fields.planes);
    Util::WriteU16(&bytes[28], fields.bitCount);
    Util::WriteU32(&bytes[30], fields.compression);
    // Without masks a shorter header drops the fields beyond it (the 16-byte OS/2 header keeps
    // those up to the bit count) and a longer one adds zero fields: no masks, no colour space.
    if (fields.masks.empty()) {
        bytes.resize(14 + fields.headerSize);
    }
    bytes.insert(bytes.end(), fields.masks.begin(), fields.masks.end());
    const auto offset =
        fields.pixelOffset.value_or(std::uint32_t(bytes.size() + fields.table.size()));
    Util::WriteU32(&bytes[2], offset + std::uint32_t(fields.pixels.size()));
    Util::WriteU32(&bytes[10], offset);
    bytes.insert(bytes.end(), fields.table.begin(), fields.table.end());
    bytes.insert(bytes.end(), fields.pixels.begin(), fields.pixels.end());
    return bytes;
}

// A colour table whose entry i is grey level i, so an index reads back as itself.
std::vector<std::uint8_t> GreyTable(std::uint32_t entries) {
    std::vector<std::uint8_t> table;
    for (std::uint32_t i = 0; i < entries; ++i) {
        table.insert(table.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
    }
    return table;
}

// A picture of the given encoding, one row unless told.
BmpFields Picture(std::uint16_t bitCount, std::int32_t width, std::vector<std::uint8_t> pixels,
                  std::vector<std::uint8_t> table = {}, std::uint32_t compression = 0,
                  std::int32_t height = 1) {
    return {.width = width,
            .height = height,
            .bitCount = bitCount,
            .compression = compression,
            .table = std::move(table),
            .pixels = std::move(pixels)};
}

// Two 24-bit pixels stored top row first: (3, 2, 1) above (30, 20, 10).
BmpFields TopDown() {
    return Picture(24, 1, {1, 2, 3, 0, 10, 20, 30, 0}, {}, 0, -2);
}

// A 2 × 1 run-length coded picture over a four-entry table.
BmpFields Runs(std::uint16_t bitCount, std::vector<std::uint8_t> codes) {
    return Picture(bitCount, 2, std::move(codes), GreyTable(4), bitCount == 8 ? 1 : 2);
}

// Channel masks right after the 40-byte header: three make bit fields (3), four bit fields with
// alpha (6).
BmpFields BitFields(std::uint16_t bitCount, std::initializer_list<std::uint32_t> masks,
                    std::int32_t width = 1, std::vector<std::uint8_t> pixels = {0, 0, 0, 0}) {
    BmpFields fields = Picture(bitCount, width, std::move(pixels), {}, masks.size() == 3 ? 3 : 6);
    fields.masks.resize(4 * masks.size());
    for (std::size_t i = 0; i < masks.size(); ++i) {
        Util::WriteU32(&fields.masks[4 * i], masks.begin()[i]);
    }
    return fields;
}

Colour FromBytes(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour(Trova::IntToChannel(red, 8), Trova::IntToChannel(green, 8),
                  Trova::IntToChannel(blue, 8), 1);
}

Colour Grey(std::uint8_t level) {
    return FromBytes(level, level, level);
}

Util::CountedPtr<DIB> ReadBmp(const std::vector<std::uint8_t>& bytes) {
    Util::MemoryStream stream("memory.bmp", bytes);
    return Util::MakeCounted<DIB>(stream);
}

std::vector<std::uint8_t> SaveToBytes(const DIB& dib) {
    Util::MemoryStream stream("saved.bmp");
    dib.Save(stream);
    return stream.GetBytes();
}

TEST(DIBLayout, NewBitmapWritesTheClassicHeaderAndPaddedRowsBottomUp) {
    DIB dib(24);
    dib.SetSize(3, 2);
    for (std::uint8_t i = 0; i < 6; ++i) {
        dib.SetPixel(i / 2, i % 2, FromBytes(3 * i + 1, 3 * i + 2, 3 * i + 3));
    }
    // Type, file size, pixel offset; header size, width, height, planes, bit count, compression,
    // image size, the rest zero; then the rows, last first, each padded to four bytes.
    const std::vector<std::uint8_t> expected = {
        'B', 'M', 78, 0, 0, 0,  0,  0,  0,  0, 54, 0, 0, 0, 40, 0,  0,  0,  2,  0,
        0,   0,   3,  0, 0, 0,  1,  0,  24, 0, 0,  0, 0, 0, 24, 0,  0,  0,  0,  0,
        0,   0,   0,  0, 0, 0,  0,  0,  0,  0, 0,  0, 0, 0, 15, 14, 13, 18, 17, 16,
        0,   0,   9,  8, 7, 12, 11, 10, 0,  0, 3,  2, 1, 6, 5,  4,  0,  0};
    EXPECT_EQ(SaveToBytes(dib), expected);
}

// Each encoding's pixels and colour table, whose size comes from the pixel offset. A 32-bit file
// without an alpha mask has alpha only where its fourth bytes vary (editors keep alpha there
// without saying so): all 0 is padding, all 255 opaque.
TEST(DIBLayout, EachEncodingReadsItsPixels) {
    struct Encoded {
        const char* cause;
        BmpFields fields;
        PixelRows pixels;
        std::uint32_t tableEntries;
        bool alpha = false;
    };
    const auto greys = [](const std::vector<std::vector<std::uint32_t>>& levels) {
        PixelRows rows(levels.size());
        for (std::size_t row = 0; row < levels.size(); ++row) {
            std::transform(levels[row].begin(), levels[row].end(), std::back_inserter(rows[row]),
                           Grey);
        }
        return rows;
    };
    BmpFields maskedAlpha = BitFields(16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 1, {0x0F, 0x80, 0, 0});
    maskedAlpha.headerSize = 56;
    maskedAlpha.compression = 3;
    // Runs, literal strings with their word padding, a run cut at the row's end, end of line, a
    // move and end of picture; pixels no code paints stay index 0. Rows are stored bottom-up.
    const BmpFields rle8 =
        Picture(8, 4, {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 6, 7, 0, 1}, GreyTable(8), 1, 3);
    const BmpFields rle4 =
        Picture(4, 4, {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, GreyTable(16), 2, 2);
    const Colour sample = FromBytes(30, 20, 10);
    const Colour dark = FromBytes(3, 2, 1);
    const Encoded cases[] = {
        // 0x7FFF is white, 0xFC00 red with the unused top bit set, 0x001F blue.
        {"16-bit-five-five-five-top-bit-unused",
         Picture(16, 3, {0xFF, 0x7F, 0x00, 0xFC, 0x1F, 0, 0, 0}),
         {{Colour(1, 1, 1, 1), Colour(1, 0, 0, 1), Colour(0, 0, 1, 1)}},
         0},
        {"16-bit-fields-five-six-five",
         BitFields(16, {0xF800, 0x07E0, 0x001F}, 2, {0xE0, 0x07, 0x1F, 0xF8}),
         {{Colour(0, 1, 0, 1), Colour(1, 0, 1, 1)}},
         0},
        {"alpha-mask-in-56-byte-header",
         maskedAlpha,
         {{Colour(0, 0, 1, Trova::IntToChannel(8, 4))}},
         0,
         true},
        {"32-bit-fourth-0", Picture(32, 2, {10, 20, 30, 0, 1, 2, 3, 0}), {{sample, dark}}, 0},
        {"32-bit-fourth-255", Picture(32, 2, {10, 20, 30, 255, 1, 2, 3, 255}), {{sample, dark}}, 0},
        {"32-bit-fourth-varying",
         Picture(32, 2, {10, 20, 30, 40, 1, 2, 3, 0}),
         {{Colour(sample.GetRed(), sample.GetGreen(), sample.GetBlue(), 40 / 255.0f), Colour()}},
         0,
         true},
        {"top-down", TopDown(), {{dark}, {sample}}, 0},
        // Index 9 in the padding lies beyond the two-entry table but names no pixel.
        {"padding-is-not-pixels", Picture(8, 1, {1, 9, 9, 9}, GreyTable(2)), {{Grey(1)}}, 2},
        {"rle8", rle8, greys({{0, 7, 7, 7}, {0, 0, 0, 0}, {5, 5, 5, 1}}), 8},
        {"rle4", rle4, greys({{3, 4, 5, 0}, {1, 2, 1, 2}}), 16},
        {"short-table", Picture(8, 1, {7, 0, 0, 0}, GreyTable(10)), greys({{7}}), 10},
        // A direct-colour file keeps a table it carries but takes no pixel from it; no index
        // reaches beyond 256 entries, so the rest of a longer table is skipped.
        {"longer-table", Picture(24, 1, {1, 2, 3, 0}, GreyTable(300)), {{dark}}, 256},
    };
    for (const Encoded& c : cases) {
        SCOPED_TRACE(c.cause);
        const auto dib = ReadBmp(BuildBmp(c.fields));
        EXPECT_EQ(PixelsOf(*dib), c.pixels);
        EXPECT_EQ(dib->HasAlpha(), c.alpha);
        EXPECT_EQ(dib->GetPalette() ? dib->GetPalette()->GetCount() : 0, c.tableEntries);
    }
    for (std::uint32_t size : {16, 52, 56, 64, 108, 124}) {
        BmpFields classic = Picture(4, 2, {0x3A, 0, 0, 0}, GreyTable(16));
        classic.headerSize = size;
        EXPECT_EQ(PixelsOf(*ReadBmp(BuildBmp(classic))), greys({{3, 10}}))
            << size << "-byte header";
    }
}

// A pixel set and saved lands in the bytes of its encoding, leaving its neighbours alone, and the
// saved file reads back as the picture: coded pictures are saved uncompressed, a short colour table
// at the bit count's full length, a top-down picture top-down.
TEST(DIBLayout, SetPixelsAreSavedInTheirEncoding) {
    struct Setting {
        const char* cause;
        BmpFields fields;
        std::uint32_t column;
        Colour colour;
        std::vector<std::uint8_t> saved;
    };
    const Colour black = Grey(0);
    const Setting cases[] = {
        // Column 8 is the high bit of the second byte, whose other bits are padding.
        {"1-bit", Picture(1, 9, {0xFF, 0xFF, 0, 0}, GreyTable(2)), 8, black, {0xFF, 0x7F, 0, 0}},
        {"4-bit", Picture(4, 2, {0x3A, 0, 0, 0}, GreyTable(16)), 1, Grey(12), {0x3C, 0, 0, 0}},
        {"16-bit-five-five-five",
         Picture(16, 2, {0xFF, 0x7F, 0x1F, 0}),
         1,
         Colour(Trova::IntToChannel(3, 5), Trova::IntToChannel(17, 5), 0.5f, 1),
         {0xFF, 0x7F, 0x30, 0x0E}},
        {"32-bit-without-alpha", {.bitCount = 32}, 0, Colour(0, 1, 0, 0.5f), {0, 255, 0, 0}},
        {"rle4-with-short-table", Runs(4, {2, 0x12, 0, 1}), 0, Grey(3), {0x32, 0, 0, 0}},
        {"top-down-keeps-its-order", TopDown(), 0, black, {0, 0, 0, 0, 10, 20, 30, 0}},
    };
    for (const Setting& c : cases) {
        SCOPED_TRACE(c.cause);
        const auto dib = ReadBmp(BuildBmp(c.fields));
        dib->SetPixel(0, c.column, c.colour);
        const auto bytes = SaveToBytes(*dib);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + Util::ReadU32(&bytes[10]), bytes.end()),
                  c.saved);
        EXPECT_EQ(PixelsOf(*ReadBmp(bytes)), PixelsOf(*dib));
    }
}

TEST(DIBFiles, SaveReplacesOnlyWhenAskedAndErrorsNameThePathAsGiven) {
    Support::TempDir dir;
    const auto path = dir / "picture.bmp";
    Support::WriteBytes(path, {1, 2, 3});
    DIB dib(24);
    dib.SetSize(2, 2);
    EXPECT_THROW(dib.Save(path, false), Util::XFileOpen);
    dib.Save(path, true);
    EXPECT_EQ(DIB(path).GetWidth(), 2u);

    Support::WriteBytes(path, BuildBmp({.type = 0x4D43}));
    const std::string given = dir.Path() + "/./picture.bmp";
    EXPECT_EQ(Support::MessageOf([&] { DIB{given}; }), "A possible error was found in file " +
                                                           given +
                                                           "\nInvalid or unsupported BMP file\n");
}

TEST(DIBMisuse, InternalErrorsAreAssertions) {
    EXPECT_THROW(DIB(2), Util::XAssertion);
    DIB paletted(8);
    paletted.SetSize(1, 1);
    EXPECT_THROW(paletted.SetPixel(0, 0, Colour(1, 0, 0, 1)), Util::XAssertion);
    DIB direct(24);
    EXPECT_THROW(direct.SetSize(0x80000000u, 1), Util::XAssertion);
    EXPECT_THROW(direct.SetSize(70000, 70000), Util::XAssertion);
}

TEST(DIBBrokenFiles, FailWithTheirSentenceBeforeAllocatingTheClaim) {
    const std::string found = "A possible error was found in file memory.bmp\n";
    const std::string unsupported = found + "Invalid or unsupported BMP file\n";
    const std::string masks = found + "Invalid BMP channel masks\n";
    const std::string runs = found + "Invalid BMP run-length data\n";
    const std::string index = found + "Palette index out of range\n";
    const std::string dimensions = found + "Invalid BMP dimensions\n";
    const std::string unreadable = "Couldn't read from memory.bmp\n";
    const std::tuple<const char*, BmpFields, std::string> cases[] = {
        {"wrong-type", {.type = 0x4142}, unsupported},
        {"header-size-20", {.headerSize = 20}, unsupported},
        {"two-planes", {.planes = 2}, unsupported},
        {"rle8-at-24-bits", {.compression = 1}, unsupported},
        {"rle4-at-8-bits", {.bitCount = 8, .compression = 2}, unsupported},
        {"bit-fields-at-24-bits", {.compression = 3}, unsupported},
        {"embedded-jpeg",
         {.compression = 4},
         found + "BMP files holding a JPEG picture are not supported\n"},
        {"embedded-png",
         {.compression = 5},
         found + "BMP files holding a PNG picture are not supported\n"},
        {"zero-mask", BitFields(16, {0xF800, 0, 0x1F}), masks},
        {"overlapping-masks", BitFields(16, {0xF800, 0x0FE0, 0x1F}), masks},
        {"split-mask", BitFields(16, {0xF800, 0x05E0, 0x1F}), masks},
        {"mask-beyond-16-bits", BitFields(16, {0x1F0000, 0x7E0, 0x1F}), masks},
        {"alpha-over-blue", BitFields(32, {0xFF0000, 0xFF00, 0xFF, 0x1FF}), masks},
        {"run-beyond-last-row", Runs(8, {0, 0, 2, 1}), runs},
        {"literal-beyond-data", Runs(8, {0, 5, 1, 2}), runs},
        {"runs-claiming-a-huge-picture", Picture(8, 30000, {0, 1}, GreyTable(4), 1, 30000), runs},
        {"bit-count-2", {.bitCount = 2}, found + "Unrecognized bit count\n"},
        {"offset-55", {.pixelOffset = 55}, found + "Palette size error\n"},
        {"offset-inside-headers", {.pixelOffset = 50}, found + "Palette size error\n"},
        {"negative-width", {.width = -1}, dimensions},
        {"stride-overflow", {.width = INT_MAX, .bitCount = 32}, dimensions},
        {"image-size-overflow", {.width = 40000, .height = 40000}, dimensions},
        // Found by fuzzing: no columns, but hundreds of millions of rows to walk.
        {"zero-width-tall", {.width = 0, .height = 0x2F000028}, dimensions},
        {"zero-height-wide", {.width = 100, .height = 0}, dimensions},
        {"most-negative-height", {.width = 4, .height = INT_MIN, .bitCount = 8}, dimensions},
        {"index-beyond-table", Picture(8, 2, {1, 5, 0, 0}, GreyTable(2)), index},
        {"1-bit-without-table", {.bitCount = 1, .pixels = {0, 0, 0, 0}}, index},
        {"table-offset-near-4-gib", {.pixelOffset = 0xFFFFFFFA}, unreadable},
        {"pixel-data-beyond-end", {.width = 1000, .height = 1000}, unreadable},
    };
    for (const auto& [cause, fields, message] : cases) {
        const auto bytes = BuildBmp(fields);
        largestAllocation = 0;
        EXPECT_EQ(Support::MessageOf([&] { ReadBmp(bytes); }), message) << cause;
        EXPECT_LE(largestAllocation, std::max<std::size_t>(bytes.size(), 4096)) << cause;
    }
    auto cutShort = BuildBmp({});
    cutShort.resize(30);
    EXPECT_EQ(Support::MessageOf([&] { ReadBmp(cutShort); }), unreadable);
}

struct PeerFormat {
    const char* name;
    const char* options;
    std::uint16_t bitCount;
    bool alpha = false;
    unsigned channelBits = 8;
    // Alpha kept in pixels whose header declares none: only reading the pixels finds it.
    bool undeclaredAlpha = false;
};

constexpr PeerFormat kPeerFormats[] = {
    {"1-bit", "-colors 2 -type Palette -compress None BMP3", 1},
    {"4-bit", "-colors 12 -type Palette -compress None BMP3", 4},
    {"8-bit", "-colors 40 -type Palette -compress None BMP3", 8},
    {"24-bit", "-type TrueColor -compress None BMP3", 24},
    {"32-bit-alpha", "-define bmp3:alpha=true -compress None BMP3", 32, true, 8, true},
    {"core-4-bit", "-colors 12 -type Palette BMP2", 4},
    {"v5-8-bit", "-colors 40 -type Palette -compress None BMP", 8},
    {"v5-32-bit-alpha", "BMP", 32, true},
    {"rle8", "-colors 40 -type Palette -compress RLE BMP3", 8},
    {"v5-rle8", "-colors 40 -type Palette -compress RLE BMP", 8},
    {"rgb565", "-define bmp:subtype=RGB565 BMP", 16, false, 5},
    {"argb4444", "-define bmp:subtype=ARGB4444 BMP", 16, true, 4},
    {"argb1555", "-define bmp:subtype=ARGB1555 BMP", 16, true, 1},
};

using DIBPeer = Support::PeerTest;

TEST_F(DIBPeer, ReadsWhatThePeerWritesAndWritesWhatItReads) {
    for (const PeerFormat& format : kPeerFormats) {
        for (std::uint32_t width : {7, 13}) {
            const std::string path = dir_ / (format.name + std::to_string(width) + ".bmp");
            SCOPED_TRACE(path);
            // A photograph varies along both axes, so that a swapped row or column shows; alpha
            // runs from opaque on the top row to clear on the bottom one.
            const std::string size = std::to_string(width) + "x17";
            const std::string alpha =
                "\\( -size " + size + " gradient:'#fff-#000' \\) -compose CopyOpacity -composite ";
            Run("convert rose: -resize " + size + "! " + (format.alpha ? alpha : "") +
                format.options + ":'" + path + "'");
            const DIB dib(path);
            ASSERT_EQ(dib.HasAlpha(), format.alpha);
            ExpectPeerPixels(dib, path, format.channelBits);
            const Trova::PictureSummary summary = DIB::ReadSummary(path);
            EXPECT_EQ(
                std::tuple(summary.width, summary.height, summary.bitCount, summary.hasAlpha),
                std::tuple(width, 17u, format.bitCount, format.alpha && !format.undeclaredAlpha));
            // Saving keeps the bit count; the peer must still see the same picture.
            const std::string resaved = path + "-resaved.bmp";
            dib.Save(resaved, false);
            ExpectPeerPixels(dib, resaved, format.channelBits);
        }
    }
}

} // namespace
