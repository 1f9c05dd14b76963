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

TEST(DIBLayout, ThirtyTwoBitIgnoresAndClearsTheFourthByte) {
    const auto dib = ReadBmp(BuildBmp({.bitCount = 32, .pixels = {10, 20, 30, 40}}));
    EXPECT_EQ(dib->GetPixel(0, 0), FromBytes(30, 20, 10));
    dib->SetPixel(0, 0, Colour(0, 1, 0, 0.5f)); // alpha is not stored
    const auto bytes = SaveToBytes(*dib);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end()),
              (std::vector<std::uint8_t>{0, 255, 0, 0}));
    EXPECT_EQ(dib->GetPixel(0, 0), Colour(0, 1, 0, 1));
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
        {"core-header", {.headerSize = 12}, "Invalid or unsupported BMP file"},
        {"v5-header", {.headerSize = 124}, "Invalid or unsupported BMP file"},
        {"two-planes", {.planes = 2}, "Invalid or unsupported BMP file"},
        {"rle8-compressed", {.bitCount = 8, .compression = 1}, "Invalid or unsupported BMP file"},
        {"bit-fields", {.bitCount = 16, .compression = 3}, "Invalid or unsupported BMP file"},
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

std::vector<std::uint8_t> PatternRgb(std::uint32_t height, std::uint32_t width) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            bytes.insert(bytes.end(), {PatternByte(row, column, 0), PatternByte(row, column, 1),
                                       PatternByte(row, column, 2)});
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
        if (!Support::HaveCommand("convert")) {
            if (std::getenv("CI")) {
                FAIL() << "ImageMagick's convert is required when CI is set";
            }
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        }
    }

    // Writes the pattern through ImageMagick with the given output options and file prefix.
    std::string PeerWrite(std::uint32_t height, std::uint32_t width, const std::string& options,
                          const std::string& name) {
        const std::string source = dir_ / (name + ".rgb");
        const std::string path = dir_ / (name + ".bmp");
        Support::WriteBytes(source, PatternRgb(height, width));
        Run("convert -size " + std::to_string(width) + "x" + std::to_string(height) +
            " -depth 8 rgb:'" + source + "' " + options + ":'" + path + "'");
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

    static void ExpectSamePixels(const Trova::Bitmap& bitmap,
                                 const std::vector<std::uint8_t>& rgba) {
        ASSERT_EQ(rgba.size(), std::size_t(bitmap.GetHeight()) * bitmap.GetWidth() * 4);
        auto byte = rgba.begin();
        for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
            for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column, byte += 4) {
                const Colour peer(Trova::IntToChannel(byte[0], 8), Trova::IntToChannel(byte[1], 8),
                                  Trova::IntToChannel(byte[2], 8), Trova::IntToChannel(byte[3], 8));
                ASSERT_EQ(bitmap.GetPixel(row, column), peer)
                    << "row " << row << " column " << column;
            }
        }
    }

    Support::TempDir dir_;
};

struct PeerFormat {
    const char* name;
    const char* options;
    std::uint16_t bitCount;
};

constexpr PeerFormat kPeerFormats[] = {
    {"1-bit", "-colors 2 -type Palette -compress None BMP3", 1},
    {"4-bit", "-colors 12 -type Palette -compress None BMP3", 4},
    {"8-bit", "-colors 40 -type Palette -compress None BMP3", 8},
    {"24-bit", "-type TrueColor -compress None BMP3", 24},
    {"32-bit", "-alpha set -define bmp3:alpha=true -compress None BMP3", 32},
};

TEST_F(DIBPeer, ReadsWhatThePeerWritesBottomUpAndTopDown) {
    for (const PeerFormat& format : kPeerFormats) {
        for (std::uint32_t width : {1, 7, 13}) {
            const std::string name = format.name + std::string("-") + std::to_string(width);
            SCOPED_TRACE(name);
            const std::string bottomUp = PeerWrite(17, width, format.options, name);
            const DIB dib(bottomUp);
            ASSERT_EQ(dib.GetBitCount(), format.bitCount);
            ASSERT_EQ(dib.GetWidth(), width);
            ExpectSamePixels(dib, PeerRead(bottomUp));

            const std::string topDown = dir_ / (name + "-top-down.bmp");
            Support::WriteBytes(topDown, MakeTopDown(Support::ReadBytes(bottomUp)));
            const DIB flipped(topDown);
            ExpectSamePixels(flipped, PeerRead(topDown));
            // Saving keeps the row order; the peer must still see the same picture.
            const std::string resaved = dir_ / (name + "-resaved.bmp");
            flipped.Save(resaved, false);
            ExpectSamePixels(flipped, PeerRead(resaved));
        }
    }
}

TEST_F(DIBPeer, PeerDecodesExactlyWhatWeWrite) {
    for (std::uint32_t width : {1, 2, 7, 13}) {
        SCOPED_TRACE(width);
        DIB dib(24);
        dib.SetSize(5, width);
        for (std::uint32_t row = 0; row < 5; ++row) {
            for (std::uint32_t column = 0; column < width; ++column) {
                dib.SetPixel(row, column,
                             FromBytes(PatternByte(row, column, 0), PatternByte(row, column, 1),
                                       PatternByte(row, column, 2)));
            }
        }
        const std::string path = dir_ / ("ours-" + std::to_string(width) + ".bmp");
        dib.Save(path, false);
        ExpectSamePixels(dib, PeerRead(path));
    }
}

} // namespace
