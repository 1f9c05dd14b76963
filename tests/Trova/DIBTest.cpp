#include "Trova/DIB.h"

#include "Support/TestSupport.h"
#include "Util/BinaryStream.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <optional>
#include <tuple>

// Records the largest single allocation, so that a test can prove a reader refused a header's
// claim before allocating for it.
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

// The fields of a BMP built byte by byte; the defaults make a valid 1 × 1 24-bit file.
struct BmpFields {
    std::uint16_t type = 0x4D42;
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint8_t> table = {};          // raw blue, green, red, reserved entries
    std::optional<std::uint32_t> pixelOffset = {}; // right after the table unless given
    std::vector<std::uint8_t> pixels = {1, 2, 3, 0};
};

std::vector<std::uint8_t> BuildBmp(const BmpFields& fields) {
    std::vector<std::uint8_t> bytes(54, 0);
    const auto offset = fields.pixelOffset.value_or(54 + std::uint32_t(fields.table.size()));
    Util::WriteU16(&bytes[0], fields.type);
    Util::WriteU32(&bytes[2], offset + std::uint32_t(fields.pixels.size()));
    Util::WriteU32(&bytes[10], offset);
    Util::WriteU32(&bytes[14], fields.headerSize);
    Util::WriteU32(&bytes[18], std::uint32_t(fields.width));
    Util::WriteU32(&bytes[22], std::uint32_t(fields.height));
    Util::WriteU16(&bytes[26], fields.planes);
    Util::WriteU16(&bytes[28], fields.bitCount);
    Util::WriteU32(&bytes[30], fields.compression);
    bytes.insert(bytes.end(), fields.table.begin(), fields.table.end());
    bytes.insert(bytes.end(), fields.pixels.begin(), fields.pixels.end());
    return bytes;
}

// A colour table whose entry i is grey level i, so an index reads back as itself.
std::vector<std::uint8_t> GreyTable(std::uint32_t entries) {
    std::vector<std::uint8_t> table;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const auto level = std::uint8_t(i);
        table.insert(table.end(), {level, level, level, 0});
    }
    return table;
}

// Channel masks as the bytes that follow a 40-byte header with bit fields.
std::vector<std::uint8_t> Masks(std::initializer_list<std::uint32_t> masks) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t mask : masks) {
        bytes.resize(bytes.size() + 4);
        Util::WriteU32(&bytes[bytes.size() - 4], mask);
    }
    return bytes;
}

// The same file with an information header of another size: longer headers get zero fields
// (no masks, no colour space), the 16-byte OS/2 header keeps the fields up to the bit count.
std::vector<std::uint8_t> WithHeaderSize(std::vector<std::uint8_t> bytes, std::uint32_t size) {
    if (size < 40) {
        bytes.erase(bytes.begin() + 14 + size, bytes.begin() + 54);
    } else {
        bytes.insert(bytes.begin() + 54, size - 40, 0);
    }
    Util::WriteU32(&bytes[14], size);
    Util::WriteU32(&bytes[10], Util::ReadU32(&bytes[10]) + size - 40);
    return bytes;
}

Colour Grey(std::uint32_t level) {
    const float channel = Trova::IntToChannel(level, 8);
    return Colour(channel, channel, channel, 1);
}

Colour FromBytes(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour(Trova::IntToChannel(red, 8), Trova::IntToChannel(green, 8),
                  Trova::IntToChannel(blue, 8), 1);
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

std::string MessageOf(const std::vector<std::uint8_t>& bytes) {
    try {
        ReadBmp(bytes);
    } catch (const Util::Exception& error) {
        return error.Message();
    }
    return "(read without error)";
}

// ---- Layout, orientation and pixel encodings ----

TEST(DIBLayout, TwoByTwo24BitHasStrideEightAndPaddedRows) {
    DIB dib(24);
    dib.SetSize(2, 2);
    dib.SetPixel(0, 0, FromBytes(1, 2, 3));
    dib.SetPixel(0, 1, FromBytes(4, 5, 6));
    dib.SetPixel(1, 0, FromBytes(7, 8, 9));
    dib.SetPixel(1, 1, FromBytes(10, 11, 12));
    const auto bytes = SaveToBytes(dib);
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(Util::ReadU32(&bytes[2]), 70u);  // file size
    EXPECT_EQ(Util::ReadU32(&bytes[10]), 54u); // pixel-data offset
    EXPECT_EQ(Util::ReadU32(&bytes[34]), 16u); // image size
    // Bottom-up: the picture's last row is stored first.
    const std::vector<std::uint8_t> pixels(bytes.begin() + 54, bytes.end());
    EXPECT_EQ(pixels,
              (std::vector<std::uint8_t>{9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}));
}

TEST(DIBLayout, WidthOne24BitRowIsBlueGreenRedZero) {
    DIB dib(24);
    dib.SetSize(1, 1);
    dib.SetPixel(0, 0, FromBytes(30, 20, 10));
    const auto bytes = SaveToBytes(dib);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end()),
              (std::vector<std::uint8_t>{10, 20, 30, 0}));
}

TEST(DIBLayout, NewBitmapWritesDefaultHeaderFields) {
    DIB dib(24);
    dib.SetSize(3, 5);
    const auto bytes = SaveToBytes(dib);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Util::ReadU32(&bytes[14]), 40u);
    EXPECT_EQ(Util::ReadU32(&bytes[18]), 5u);
    EXPECT_EQ(Util::ReadU32(&bytes[22]), 3u);
    EXPECT_EQ(Util::ReadU16(&bytes[26]), 1u);
    EXPECT_EQ(Util::ReadU16(&bytes[28]), 24u);
    for (std::size_t offset : {6, 8, 30, 38, 42, 46, 50}) {
        EXPECT_EQ(Util::ReadU16(&bytes[offset]), 0u) << "offset " << offset;
    }
    EXPECT_TRUE(std::all_of(bytes.begin() + 54, bytes.end(), [](auto b) { return b == 0; }));
}

TEST(DIBLayout, BottomUpAndTopDownRowOrder) {
    BmpFields fields{.width = 1, .height = 2, .pixels = {1, 1, 1, 0, 2, 2, 2, 0}};
    EXPECT_EQ(ReadBmp(BuildBmp(fields))->GetPixel(0, 0), FromBytes(2, 2, 2));
    fields.height = -2;
    const auto topDown = ReadBmp(BuildBmp(fields));
    EXPECT_EQ(topDown->GetHeight(), 2u);
    EXPECT_EQ(topDown->GetPixel(0, 0), FromBytes(1, 1, 1));
    // Written pixels land in the same order, and the file keeps its negative height.
    topDown->SetPixel(1, 0, FromBytes(9, 9, 9));
    const auto bytes = SaveToBytes(*topDown);
    EXPECT_EQ(std::int32_t(Util::ReadU32(&bytes[22])), -2);
    EXPECT_EQ(bytes[58], 9);
}

TEST(DIBLayout, ColourTableSizeComesFromThePixelOffset) {
    const auto full = ReadBmp(BuildBmp({.width = 1, .bitCount = 8, .table = GreyTable(256)}));
    EXPECT_EQ(full->GetPalette()->GetCount(), 256u);
    const auto ten = ReadBmp(BuildBmp({.width = 1, .bitCount = 8, .table = GreyTable(10)}));
    EXPECT_EQ(ten->GetPalette()->GetCount(), 10u);
    EXPECT_EQ(ten->GetPalette()->GetColour(7), Grey(7));
    // No index reaches beyond 256 entries; the rest of a longer table is skipped.
    const auto longer = ReadBmp(BuildBmp({.table = GreyTable(300), .pixels = {1, 2, 3, 0}}));
    EXPECT_EQ(longer->GetPalette()->GetCount(), 256u);
    EXPECT_EQ(longer->GetPixel(0, 0), FromBytes(3, 2, 1));
    // A direct-colour file keeps a table it carries but takes no pixel from it.
    const auto direct = ReadBmp(BuildBmp({.table = GreyTable(4), .pixels = {1, 2, 3, 0}}));
    EXPECT_FALSE(direct->HasPalette());
    EXPECT_EQ(direct->GetPalette()->GetCount(), 4u);
    EXPECT_EQ(direct->GetPixel(0, 0), FromBytes(3, 2, 1));
    EXPECT_FALSE(ReadBmp(BuildBmp({}))->GetPalette());
}

TEST(DIBLayout, PaletteIndicesUnpackFromTheHighBitsDown) {
    const auto four = ReadBmp(BuildBmp(
        {.width = 3, .bitCount = 4, .table = GreyTable(16), .pixels = {0x3A, 0xF0, 0, 0}}));
    EXPECT_EQ(four->GetPixel(0, 0), Grey(3));
    EXPECT_EQ(four->GetPixel(0, 1), Grey(10));
    EXPECT_EQ(four->GetPixel(0, 2), Grey(15));
    const auto one = ReadBmp(BuildBmp(
        {.width = 10, .bitCount = 1, .table = GreyTable(2), .pixels = {0x81, 0x40, 0, 0}}));
    const std::vector<std::uint32_t> expected = {1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    for (std::uint32_t column = 0; column < 10; ++column) {
        EXPECT_EQ(one->GetPixel(0, column), Grey(expected[column])) << "column " << column;
    }
}

TEST(DIBLayout, SettingAnIndexLeavesItsByteNeighboursAlone) {
    auto one = ReadBmp(
        BuildBmp({.width = 9, .bitCount = 1, .table = GreyTable(2), .pixels = {0xFF, 0x80, 0, 0}}));
    one->SetPixel(0, 3, Grey(0));
    one->SetPixel(0, 8, Grey(0));
    auto bytes = SaveToBytes(*one);
    EXPECT_EQ(bytes[54 + 8], 0xEF);
    EXPECT_EQ(bytes[54 + 9], 0x00);
    auto four = ReadBmp(
        BuildBmp({.width = 2, .bitCount = 4, .table = GreyTable(16), .pixels = {0x3A, 0, 0, 0}}));
    four->SetPixel(0, 1, Grey(12));
    bytes = SaveToBytes(*four);
    EXPECT_EQ(bytes[54 + 64], 0x3C);
}

TEST(DIBLayout, SixteenBitWordsAreFiveFiveFive) {
    // 0x7FFF is white, 0xFC00 is red with the unused top bit set, 0x001F is blue.
    const auto dib = ReadBmp(
        BuildBmp({.width = 3, .bitCount = 16, .pixels = {0xFF, 0x7F, 0x00, 0xFC, 0x1F, 0, 0, 0}}));
    EXPECT_EQ(dib->GetPixel(0, 0), Colour(1, 1, 1, 1));
    EXPECT_EQ(dib->GetPixel(0, 1), Colour(1, 0, 0, 1));
    EXPECT_EQ(dib->GetPixel(0, 2), Colour(0, 0, 1, 1));
    dib->SetPixel(0, 0, Colour(1, 0, 0, 1));
    dib->SetPixel(0, 1, Colour(Trova::IntToChannel(3, 5), Trova::IntToChannel(17, 5), 0.5f, 1));
    const auto bytes = SaveToBytes(*dib);
    EXPECT_EQ(Util::ReadU16(&bytes[54]), 0x7C00);
    EXPECT_EQ(Util::ReadU16(&bytes[56]), 3 << 10 | 17 << 5 | 16);
}

// Without an alpha mask the fourth byte is padding when it is 0 everywhere, opaque when it is
// 255 everywhere, and alpha otherwise (editors keep alpha there without saying so).
TEST(DIBLayout, ThirtyTwoBitFourthByteIsAlphaOnlyWhenItVaries) {
    for (const auto& [fourth, hasAlpha] :
         {std::pair{0, false}, std::pair{255, false}, std::pair{40, true}}) {
        const auto dib = ReadBmp(BuildBmp({.width = 2,
                                           .bitCount = 32,
                                           .pixels = {10, 20, 30, std::uint8_t(fourth), 1, 2, 3,
                                                      std::uint8_t(fourth == 40 ? 0 : fourth)}}));
        EXPECT_EQ(dib->HasAlpha(), hasAlpha) << fourth;
        EXPECT_EQ(dib->GetPixel(0, 0).GetAlpha(), hasAlpha ? Trova::IntToChannel(40, 8) : 1.0f);
    }
    const auto opaque = ReadBmp(BuildBmp({.bitCount = 32, .pixels = {10, 20, 30, 0}}));
    EXPECT_EQ(opaque->GetPixel(0, 0), FromBytes(30, 20, 10));
    opaque->SetPixel(0, 0, Colour(0, 1, 0, 0.5f)); // alpha is not stored
    const auto bytes = SaveToBytes(*opaque);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end()),
              (std::vector<std::uint8_t>{0, 255, 0, 0}));
}

TEST(DIBLayout, EveryHeaderVersionReadsTheSamePixels) {
    const auto classic =
        BuildBmp({.width = 2, .bitCount = 4, .table = GreyTable(16), .pixels = {0x3A, 0, 0, 0}});
    for (std::uint32_t size : {16, 52, 56, 64, 108, 124}) {
        const auto dib = ReadBmp(WithHeaderSize(classic, size));
        EXPECT_EQ(dib->GetPixel(0, 1), Grey(10)) << size;
        EXPECT_EQ(dib->GetPalette()->GetCount(), 16u) << size;
    }
}

// Runs, literal strings with their word padding, a run cut at the row's end, end of line, a
// move and end of picture; pixels no code paints stay index 0. Rows are stored bottom-up.
TEST(DIBLayout, RunLengthCodesExpandToIndices) {
    const auto eight =
        ReadBmp(BuildBmp({.width = 4,
                          .height = 3,
                          .bitCount = 8,
                          .compression = 1,
                          .table = GreyTable(8),
                          .pixels = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 6, 7, 0, 1}}));
    const std::vector<std::vector<std::uint32_t>> eightRows = {
        {0, 7, 7, 7}, {0, 0, 0, 0}, {5, 5, 5, 1}};
    const auto four = ReadBmp(BuildBmp({.width = 4,
                                        .height = 2,
                                        .bitCount = 4,
                                        .compression = 2,
                                        .table = GreyTable(16),
                                        .pixels = {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}}));
    const std::vector<std::vector<std::uint32_t>> fourRows = {{3, 4, 5, 0}, {1, 2, 1, 2}};
    for (const auto& [dib, rows] : {std::pair{eight, eightRows}, std::pair{four, fourRows}}) {
        for (std::uint32_t row = 0; row < rows.size(); ++row) {
            for (std::uint32_t column = 0; column < 4; ++column) {
                EXPECT_EQ(dib->GetPixel(row, column), Grey(rows[row][column]))
                    << dib->GetBitCount() << " bits, row " << row << " column " << column;
            }
        }
        // Saved uncompressed, with the classic header.
        const auto bytes = SaveToBytes(*dib);
        EXPECT_EQ(Util::ReadU32(&bytes[30]), 0u);
        EXPECT_EQ(ReadBmp(bytes)->GetPixel(0, 2), dib->GetPixel(0, 2));
    }
}

TEST(DIBLayout, ChannelMasksPlaceEachChannel) {
    // 5-6-5 in the 40-byte header's bit fields; 4-4-4-4 with alpha in the 56-byte header.
    const auto rgb565 = ReadBmp(BuildBmp({.width = 2,
                                          .bitCount = 16,
                                          .compression = 3,
                                          .table = Masks({0xF800, 0x07E0, 0x001F}),
                                          .pixels = {0xE0, 0x07, 0x1F, 0xF8}}));
    EXPECT_EQ(rgb565->GetPixel(0, 0), Colour(0, 1, 0, 1));
    EXPECT_EQ(rgb565->GetPixel(0, 1), Colour(1, 0, 1, 1));
    EXPECT_FALSE(rgb565->HasAlpha());
    const auto alpha = ReadBmp(BuildBmp({.headerSize = 56,
                                         .bitCount = 16,
                                         .compression = 3,
                                         .table = Masks({0x0F00, 0x00F0, 0x000F, 0xF000}),
                                         .pixels = {0x0F, 0x80, 0, 0}}));
    EXPECT_TRUE(alpha->HasAlpha());
    EXPECT_EQ(alpha->GetPixel(0, 0), Colour(0, 0, 1, Trova::IntToChannel(8, 4)));
}

TEST(DIBLayout, AlphaIsSavedWithMasksInTheLargestHeader) {
    DIB dib(32, true);
    dib.SetSize(1, 2);
    dib.SetPixel(0, 0, FromBytes(10, 20, 30));
    dib.SetPixel(0, 1, Colour(1, 0, 0, Trova::IntToChannel(128, 8)));
    const auto bytes = SaveToBytes(dib);
    EXPECT_EQ(Util::ReadU32(&bytes[14]), 124u);
    EXPECT_EQ(Util::ReadU32(&bytes[30]), 3u);
    EXPECT_EQ(Util::ReadU32(&bytes[10]), 138u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 138, bytes.end()),
              (std::vector<std::uint8_t>{30, 20, 10, 255, 0, 0, 255, 128}));
    const auto copy = ReadBmp(bytes);
    EXPECT_TRUE(copy->HasAlpha());
    EXPECT_EQ(copy->GetPixel(0, 1), dib.GetPixel(0, 1));
}

TEST(DIBLayout, PaddingBytesAreNotPixels) {
    // Index 9 in the padding lies beyond the two-entry table but names no pixel.
    const auto dib = ReadBmp(
        BuildBmp({.width = 1, .bitCount = 8, .table = GreyTable(2), .pixels = {1, 9, 9, 9}}));
    EXPECT_EQ(dib->GetPixel(0, 0), Grey(1));
}

// ---- Round trips through our own writer, for every bit count ----

// A colour every bit count stores exactly: grey levels spread over the table, or 5-bit and
// 8-bit channel values.
Colour Sample(std::uint16_t bitCount, std::uint32_t row, std::uint32_t column) {
    const std::uint32_t level = (row * 11 + column * 7) % 32;
    switch (bitCount) {
    case 16:
        return Colour(Trova::IntToChannel(level, 5), 0, Trova::IntToChannel(31 - level, 5), 1);
    case 24:
    case 32:
        return FromBytes(std::uint8_t(level * 8), 0, std::uint8_t(255 - level * 8));
    default:
        return Grey(255 * (level % (1u << bitCount)) / ((1u << bitCount) - 1));
    }
}

TEST(DIBRoundTrip, EveryBitCountReadsBackWhatWasWritten) {
    for (std::uint16_t bitCount : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bitCount);
        DIB dib(bitCount);
        for (std::uint32_t i = 0; dib.HasPalette() && i < 1u << bitCount; ++i) {
            dib.GetPalette()->SetColour(i, Grey(255 * i / ((1u << bitCount) - 1)));
        }
        dib.SetSize(3, 11);
        for (std::uint32_t row = 0; row < 3; ++row) {
            for (std::uint32_t column = 0; column < 11; ++column) {
                dib.SetPixel(row, column, Sample(bitCount, row, column));
            }
        }
        const auto copy = ReadBmp(SaveToBytes(dib));
        EXPECT_EQ(copy->GetBitCount(), bitCount);
        ASSERT_EQ(copy->GetHeight(), 3u);
        ASSERT_EQ(copy->GetWidth(), 11u);
        for (std::uint32_t row = 0; row < 3; ++row) {
            for (std::uint32_t column = 0; column < 11; ++column) {
                EXPECT_EQ(copy->GetPixel(row, column), Sample(bitCount, row, column));
            }
        }
    }
}

TEST(DIBRoundTrip, ShortTableIsWrittenAtFullLengthAndReadsTheSame) {
    const auto dib = ReadBmp(
        BuildBmp({.width = 2, .bitCount = 4, .table = GreyTable(3), .pixels = {0x21, 0, 0, 0}}));
    const auto bytes = SaveToBytes(*dib);
    EXPECT_EQ(Util::ReadU32(&bytes[10]), 54u + 64u);
    const auto copy = ReadBmp(bytes);
    EXPECT_EQ(copy->GetPalette()->GetCount(), 16u);
    EXPECT_EQ(copy->GetPixel(0, 0), Grey(2));
    EXPECT_EQ(copy->GetPixel(0, 1), Grey(1));
}

TEST(DIBFiles, SaveRefusesToReplaceUnlessAsked) {
    Support::TempDir dir;
    const auto path = dir / "picture.bmp";
    Support::WriteBytes(path, {1, 2, 3});
    DIB dib(24);
    dib.SetSize(2, 2);
    EXPECT_THROW(dib.Save(path, false), Util::XFileOpen);
    EXPECT_EQ(Support::ReadBytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
    dib.Save(path, true);
    EXPECT_EQ(Support::ReadBytes(path).size(), 70u);
    EXPECT_EQ(DIB(path).GetWidth(), 2u);
}

TEST(DIBFiles, FormatErrorsNameThePathAsGiven) {
    Support::TempDir dir;
    Support::WriteBytes(dir / "wrong-type.bmp", BuildBmp({.type = 0x4D43}));
    const std::string path = dir.Path() + "/./wrong-type.bmp";
    try {
        DIB dib(path);
        FAIL() << "read a file of the wrong type";
    } catch (const Util::XFileFormat& error) {
        EXPECT_EQ(error.Message(), "A possible error was found in file " + path +
                                       "\nInvalid or unsupported BMP file\n");
    }
    EXPECT_THROW(DIB(dir / "missing.bmp"), Util::XFileOpen);
}

TEST(DIBMisuse, InternalErrorsAreAssertions) {
    try {
        DIB dib(2);
        FAIL() << "made a 2-bit bitmap";
    } catch (const Util::XAssertion& error) {
        EXPECT_TRUE(error.Message().starts_with("Assertion failure at DIB: "));
        EXPECT_TRUE(error.Message().ends_with("\nfalse\n"));
    }
    DIB paletted(8);
    paletted.SetSize(1, 1);
    try {
        paletted.SetPixel(0, 0, Colour(1, 0, 0, 1));
        FAIL() << "stored a colour missing from the palette";
    } catch (const Util::XAssertion& error) {
        EXPECT_TRUE(error.Message().ends_with("\nFindColour(colour, index)\n"));
    }
    DIB direct(24);
    EXPECT_THROW(direct.SetSize(0x80000000u, 1), Util::XAssertion);
    EXPECT_THROW(direct.SetSize(70000, 70000), Util::XAssertion);
}

// ---- Broken files, each named by its cause ----

struct BrokenFile {
    const char* cause;
    BmpFields fields;
    const char* detail;
};

TEST(DIBBrokenFiles, FormatErrorsCarryTheirSentence) {
    const BrokenFile cases[] = {
        {"wrong-type", {.type = 0x4142}, "Invalid or unsupported BMP file"},
        {"header-size-20", {.headerSize = 20}, "Invalid or unsupported BMP file"},
        {"two-planes", {.planes = 2}, "Invalid or unsupported BMP file"},
        {"rle8-at-24-bits", {.compression = 1}, "Invalid or unsupported BMP file"},
        {"rle4-at-8-bits", {.bitCount = 8, .compression = 2}, "Invalid or unsupported BMP file"},
        {"bit-fields-at-24-bits", {.compression = 3}, "Invalid or unsupported BMP file"},
        {"unknown-compression", {.compression = 7}, "Invalid or unsupported BMP file"},
        {"embedded-jpeg", {.compression = 4}, "BMP files holding a JPEG picture are not supported"},
        {"embedded-png", {.compression = 5}, "BMP files holding a PNG picture are not supported"},
        {"zero-mask",
         {.bitCount = 16, .compression = 3, .table = Masks({0xF800, 0, 0x1F})},
         "Invalid BMP channel masks"},
        {"overlapping-masks",
         {.bitCount = 16, .compression = 3, .table = Masks({0xF800, 0x0FE0, 0x1F})},
         "Invalid BMP channel masks"},
        {"split-mask",
         {.bitCount = 16, .compression = 3, .table = Masks({0xF800, 0x05E0, 0x1F})},
         "Invalid BMP channel masks"},
        {"mask-beyond-16-bits",
         {.bitCount = 16, .compression = 3, .table = Masks({0x1F0000, 0x7E0, 0x1F})},
         "Invalid BMP channel masks"},
        {"alpha-over-blue",
         {.bitCount = 32, .compression = 6, .table = Masks({0xFF0000, 0xFF00, 0xFF, 0x1FF})},
         "Invalid BMP channel masks"},
        {"run-beyond-last-row",
         {.width = 2,
          .bitCount = 8,
          .compression = 1,
          .table = GreyTable(4),
          .pixels = {0, 0, 2, 1}},
         "Invalid BMP run-length data"},
        {"delta-beyond-last-row",
         {.width = 2,
          .bitCount = 4,
          .compression = 2,
          .table = GreyTable(4),
          .pixels = {0, 2, 0, 1, 1, 1}},
         "Invalid BMP run-length data"},
        {"literal-beyond-data",
         {.width = 2,
          .bitCount = 8,
          .compression = 1,
          .table = GreyTable(4),
          .pixels = {0, 5, 1, 2}},
         "Invalid BMP run-length data"},
        {"delta-cut-short",
         {.width = 2, .bitCount = 8, .compression = 1, .table = GreyTable(4), .pixels = {0, 2, 1}},
         "Invalid BMP run-length data"},
        {"runs-claiming-a-huge-picture",
         {.width = 30000,
          .height = 30000,
          .bitCount = 8,
          .compression = 1,
          .table = GreyTable(4),
          .pixels = {0, 1}},
         "Invalid BMP run-length data"},
        {"run-index-beyond-table",
         {.width = 2, .bitCount = 8, .compression = 1, .table = GreyTable(4), .pixels = {2, 7}},
         "Palette index out of range"},
        {"bit-count-2", {.bitCount = 2}, "Unrecognized bit count"},
        {"bit-count-0", {.bitCount = 0}, "Unrecognized bit count"},
        {"offset-55", {.pixelOffset = 55}, "Palette size error"},
        {"offset-inside-headers", {.pixelOffset = 50}, "Palette size error"},
        {"offset-zero", {.pixelOffset = 0}, "Palette size error"},
        {"negative-width", {.width = -1}, "Invalid BMP dimensions"},
        {"stride-overflow", {.width = INT_MAX, .bitCount = 32}, "Invalid BMP dimensions"},
        {"image-size-overflow", {.width = 40000, .height = 40000}, "Invalid BMP dimensions"},
        // Found by fuzzing: no columns, but hundreds of millions of rows to walk.
        {"zero-width-tall", {.width = 0, .height = 0x2F000028}, "Invalid BMP dimensions"},
        {"zero-height-wide", {.width = 100, .height = 0}, "Invalid BMP dimensions"},
        {"most-negative-height",
         {.width = 4, .height = INT_MIN, .bitCount = 8},
         "Invalid BMP dimensions"},
        {"index-beyond-table",
         {.width = 2, .bitCount = 8, .table = GreyTable(2), .pixels = {1, 5, 0, 0}},
         "Palette index out of range"},
        {"1-bit-without-table",
         {.bitCount = 1, .pixels = {0, 0, 0, 0}},
         "Palette index out of range"},
    };
    for (const auto& broken : cases) {
        EXPECT_EQ(MessageOf(BuildBmp(broken.fields)),
                  std::string("A possible error was found in file memory.bmp\n") + broken.detail +
                      "\n")
            << broken.cause;
    }
}

TEST(DIBBrokenFiles, ShortFilesFailToReadBeforeAllocatingTheClaim) {
    const auto valid = BuildBmp({.width = 2, .height = 2, .pixels = std::vector<std::uint8_t>(16)});
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"empty", {}},
        {"truncated-headers", {valid.begin(), valid.begin() + 30}},
        {"short-last-row", {valid.begin(), valid.end() - 1}},
        {"table-beyond-end", BuildBmp({.pixelOffset = 54 + 1024})},
        {"table-offset-near-4-gib", BuildBmp({.pixelOffset = 0xFFFFFFFA})},
        {"pixel-data-beyond-end", BuildBmp({.width = 1000, .height = 1000})},
        {"gigabytes-of-pixel-data-beyond-end",
         BuildBmp({.width = 30000, .height = -30000, .pixels = {}})},
    };
    for (const auto& [cause, bytes] : cases) {
        largestAllocation = 0;
        EXPECT_EQ(MessageOf(bytes), "Couldn't read from memory.bmp\n") << cause;
        EXPECT_LE(largestAllocation, std::max<std::size_t>(bytes.size(), 4096)) << cause;
    }
}

// ---- Against an independent decoder and encoder: ImageMagick ----

// A picture whose bytes vary along both axes, so that a swapped row or column shows.
std::uint8_t PatternByte(std::uint32_t row, std::uint32_t column, std::uint32_t channel) {
    const std::uint32_t values[] = {column * 37 + row * 11, column * 13 + row * 71,
                                    column * row * 29 + 5};
    return std::uint8_t(values[channel]);
}

// With alpha, every eighth pixel is fully transparent and every fifth fully opaque.
std::vector<std::uint8_t> PatternPixels(std::uint32_t height, std::uint32_t width, bool alpha) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            bytes.insert(bytes.end(), {PatternByte(row, column, 0), PatternByte(row, column, 1),
                                       PatternByte(row, column, 2)});
            const std::uint32_t place = row * width + column;
            if (alpha) {
                bytes.push_back(place % 8 == 0 ? 0 : place % 5 == 0 ? 255 : place * 41 % 256);
            }
        }
    }
    return bytes;
}

// Flips the rows of a bottom-up file and negates its height: the same picture, top-down.
std::vector<std::uint8_t> MakeTopDown(const std::vector<std::uint8_t>& bottomUp) {
    const std::uint32_t offset = Util::ReadU32(&bottomUp[10]);
    const auto width = std::int32_t(Util::ReadU32(&bottomUp[18]));
    const auto height = std::int32_t(Util::ReadU32(&bottomUp[22]));
    const std::uint32_t stride = (width * Util::ReadU16(&bottomUp[28]) + 31) / 32 * 4;
    std::vector<std::uint8_t> topDown(bottomUp.begin(), bottomUp.begin() + offset);
    Util::WriteU32(&topDown[22], std::uint32_t(-height));
    for (std::int32_t row = height - 1; row >= 0; --row) {
        const auto begin = bottomUp.begin() + offset + row * stride;
        topDown.insert(topDown.end(), begin, begin + stride);
    }
    return topDown;
}

class DIBPeer : public ::testing::Test {
protected:
    void SetUp() override {
        VELLIX_POSIX_ONLY(Support::kPeerPrograms);
        if (Support::PeerMissing("convert")) {
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        }
    }

    // Writes the pattern through ImageMagick with the given output options and file prefix.
    std::string PeerWrite(std::uint32_t height, std::uint32_t width, const std::string& options,
                          const std::string& name, bool alpha) {
        const std::string source = dir_ / (name + ".raw");
        const std::string path = dir_ / (name + ".bmp");
        Support::WriteBytes(source, PatternPixels(height, width, alpha));
        Run("convert -size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 " +
            (alpha ? "rgba" : "rgb") + ":'" + source + "' " + options + ":'" + path + "'");
        return path;
    }

    // The pixels ImageMagick decodes from a file: red, green, blue, alpha bytes, top row first.
    std::vector<std::uint8_t> PeerRead(const std::string& path) {
        return Run("convert '" + path + "' -depth 8 rgba:-");
    }

    std::vector<std::uint8_t> Run(const std::string& command) {
        int status = -1;
        const std::string output = Support::RunCommand(command, &status);
        EXPECT_EQ(status, 0) << command;
        return {output.begin(), output.end()};
    }

    // Compared at the file's channel depth: the peer widens narrower channels to 8 bits by
    // shifting them up, then filling or not. A fully transparent pixel's colour is void.
    static void ExpectSamePixels(const Trova::Bitmap& bitmap, const std::vector<std::uint8_t>& rgba,
                                 unsigned bits = 8) {
        ASSERT_EQ(rgba.size(), std::size_t(bitmap.GetHeight()) * bitmap.GetWidth() * 4);
        auto byte = rgba.begin();
        for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
            for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column, byte += 4) {
                const Colour ours = bitmap.GetPixel(row, column);
                const float channels[] = {ours.GetRed(), ours.GetGreen(), ours.GetBlue(),
                                          ours.GetAlpha()};
                for (std::size_t channel = byte[3] == 0 ? 3 : 0; channel < 4; ++channel) {
                    ASSERT_EQ(Trova::ChannelToInt(channels[channel], bits),
                              std::uint32_t(byte[channel] >> (8 - bits)))
                        << "row " << row << " column " << column << " channel " << channel;
                }
            }
        }
    }

    Support::TempDir dir_;
};

struct PeerFormat {
    const char* name;
    const char* options;
    std::uint16_t bitCount;
    bool alpha = false;
    // Stored rows of equal length, so that flipping them makes the top-down variant.
    bool flippable = true;
    unsigned channelBits = 8;
    // Alpha kept in pixels whose header declares none: only reading the pixels finds it.
    bool undeclaredAlpha = false;
};

constexpr PeerFormat kPeerFormats[] = {
    {"1-bit", "-colors 2 -type Palette -compress None BMP3", 1},
    {"4-bit", "-colors 12 -type Palette -compress None BMP3", 4},
    {"8-bit", "-colors 40 -type Palette -compress None BMP3", 8},
    {"24-bit", "-type TrueColor -compress None BMP3", 24},
    {"32-bit", "-alpha set -define bmp3:alpha=true -compress None BMP3", 32},
    {"32-bit-alpha", "-define bmp3:alpha=true -compress None BMP3", 32, true, true, 8, true},
    {"core-4-bit", "-colors 12 -type Palette BMP2", 4, false, false},
    {"core-24-bit", "-type TrueColor BMP2", 24, false, false},
    {"v5-8-bit", "-colors 40 -type Palette -compress None BMP", 8},
    {"v5-24-bit", "-type TrueColor BMP", 24},
    {"v5-32-bit-alpha", "BMP", 32, true},
    {"rle8", "-colors 40 -type Palette -compress RLE BMP3", 8, false, false},
    {"v5-rle8", "-colors 40 -type Palette -compress RLE BMP", 8, false, false},
    {"rgb565", "-define bmp:subtype=RGB565 BMP", 16, false, true, 5},
    {"rgb555", "-define bmp:subtype=RGB555 BMP", 16, false, true, 5},
    {"argb4444", "-define bmp:subtype=ARGB4444 BMP", 16, true, true, 4},
    {"argb1555", "-define bmp:subtype=ARGB1555 BMP", 16, true, true, 1},
};

TEST_F(DIBPeer, ReadsWhatThePeerWritesBottomUpAndTopDown) {
    for (const PeerFormat& format : kPeerFormats) {
        for (std::uint32_t width : {1, 7, 13}) {
            const std::string name = format.name + std::string("-") + std::to_string(width);
            SCOPED_TRACE(name);
            // The peer pads one-pixel rows with runs that its own reader then spills into the
            // next rows; the codes say those runs end with their row.
            if (width == 1 && std::string(format.options).find("RLE") != std::string::npos) {
                continue;
            }
            const std::string bottomUp = PeerWrite(17, width, format.options, name, format.alpha);
            const DIB dib(bottomUp);
            ASSERT_EQ(dib.GetBitCount(), format.bitCount);
            ASSERT_EQ(dib.GetWidth(), width);
            ASSERT_EQ(dib.HasAlpha(), format.alpha);
            ExpectSamePixels(dib, PeerRead(bottomUp), format.channelBits);
            const Trova::PictureSummary summary = DIB::ReadSummary(bottomUp);
            EXPECT_EQ(
                std::tuple(summary.width, summary.height, summary.bitCount, summary.hasAlpha),
                std::tuple(width, 17u, format.bitCount, format.alpha && !format.undeclaredAlpha));
            EXPECT_EQ(summary.palette ? summary.palette->GetCount() : 0,
                      dib.GetPalette() ? dib.GetPalette()->GetCount() : 0);
            if (!format.flippable) {
                continue;
            }

            const std::string topDown = dir_ / (name + "-top-down.bmp");
            Support::WriteBytes(topDown, MakeTopDown(Support::ReadBytes(bottomUp)));
            const DIB flipped(topDown);
            ExpectSamePixels(flipped, PeerRead(topDown), format.channelBits);
            // Saving keeps the row order; the peer must still see the same picture.
            const std::string resaved = dir_ / (name + "-resaved.bmp");
            flipped.Save(resaved, false);
            ExpectSamePixels(flipped, PeerRead(resaved), format.channelBits);
        }
    }
}

TEST_F(DIBPeer, PeerDecodesExactlyWhatWeWrite) {
    for (const auto& [width, alpha] :
         {std::pair{1u, false}, {2u, false}, {7u, true}, {13u, false}}) {
        SCOPED_TRACE(width);
        DIB dib(alpha ? 32 : 24, alpha);
        dib.SetSize(5, width);
        const auto pattern = PatternPixels(5, width, true);
        for (std::uint32_t row = 0; row < 5; ++row) {
            for (std::uint32_t column = 0; column < width; ++column) {
                const std::uint8_t* rgba = &pattern[(row * width + column) * 4];
                dib.SetPixel(row, column,
                             Colour(Trova::IntToChannel(rgba[0], 8),
                                    Trova::IntToChannel(rgba[1], 8),
                                    Trova::IntToChannel(rgba[2], 8),
                                    alpha ? Trova::IntToChannel(rgba[3], 8) : 1));
            }
        }
        const std::string path = dir_ / ("ours-" + std::to_string(width) + ".bmp");
        dib.Save(path, false);
        ExpectSamePixels(dib, PeerRead(path));
    }
}

} // namespace
