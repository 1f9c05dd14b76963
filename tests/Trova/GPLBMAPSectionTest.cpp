#include "Trova/GPLBMAPSection.h"
#include "GPLFileBytes.h"
#include "Support/TestSupport.h"
#include "Trova/GPLCMAPSection.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSection.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Ostrel;
using namespace Ostrel::Test;
using namespace Ostrel::Trova;
using Util::CountedPtr;
using Util::MakeCounted;
using Util::MemoryStream;

namespace {
// The section every test starts from: format 6, 2 x 2.
const BmapSpec kPlain = BmapSpec::Of(6, 2, 2);

CountedPtr<GPLBMAPSection> Read(const Bytes& bytes, CountedPtr<Palette> palette = {},
                                std::uint8_t highestCompression = 0) {
    return MakeCounted<GPLBMAPSection>(*StreamOf(bytes, "t.pbf"), palette, highestCompression);
}

std::string Failure(const std::function<void()>& action) {
    return FailureOf(action, "t.pbf");
}

Colour Bytes8(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a = 255) {
    return Colour(IntToChannel(r, 8), IntToChannel(g, 8), IntToChannel(b, 8), IntToChannel(a, 8));
}

CountedPtr<Palette> Ramp(std::uint32_t count) {
    auto palette = MakeCounted<Palette>(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        palette->SetColour(i, Bytes8(i * 16, 255 - i, i, 255));
    }
    return palette;
}

std::string ReadError(const Bytes& bytes) {
    return Failure([&] { GPLCMAPSection{*StreamOf(bytes, "t.pbf")}; });
}

CountedPtr<GPLPbfFile> ReadPbf(const Bytes& bytes) {
    return MakeCounted<GPLPbfFile>(StreamOf(bytes, "t.pbf"));
}
} // namespace

TEST(GPLBMAPSection, EveryFormatWritesBackByteForByte) {
    for (std::uint8_t format : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) {
        for (std::uint32_t width : {1u, 5u, 9u}) {
            BmapSpec bmap = BmapSpec::Of(format, width, 3);
            const Bytes bytes = bmap.Build();
            const auto section = Read(bytes);
            section->GetPixel(2, width - 1);
            EXPECT_EQ(Written(*section), bytes) << int(format) << " width " << width;
        }
    }
}

TEST(GPLBMAPSection, PalettisedFormatsKeepOwnSharedOrDefaultPalette) {
    for (std::uint8_t format : {0, 1, 2}) {
        BmapSpec bmap = BmapSpec::Of(format, 5, 2);
        const Bytes plain = bmap.Build();
        bmap.cmap = Cmap({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
        const Bytes own = bmap.Build();

        EXPECT_EQ(Written(*Read(own, Ramp(16))), own);

        const auto shared = Ramp(16);
        const auto withShared = Read(plain, shared);
        EXPECT_EQ(withShared->GetPalette(), shared);
        EXPECT_EQ(Written(*withShared), plain);

        const auto grey = Read(plain);
        EXPECT_EQ(grey->GetPalette()->GetColour(5), Colour(1 / 3.f, 1 / 3.f, 1 / 3.f, 1));
        EXPECT_EQ(grey->GetPalette()->GetColour(15), Colour(1, 1, 1, 1));
        EXPECT_EQ(Written(*grey), plain);
    }
}

// Each format's pixel as stored and as a colour, read and written.
TEST(GPLBMAPSection, PixelCodecs) {
    enum Direction { Both, DecodeOnly, EncodeOnly };
    struct Case {
        const char* cause;
        std::uint8_t format;
        Bytes stored;
        Colour colour;
        Direction direction = Both;
    };
    const std::vector<Case> cases{
        {"R5 G6 B5", 3, {0x08, 0x84}, Colour(16 / 31.f, 32 / 63.f, 8 / 31.f, 1)},
        {"A1 R5 G5 B5", 4, {0x10, 0xFC}, Colour(1, 0, 16 / 31.f, 1)},
        {"A1 R5 G5 B5 clear, whatever its colour", 4, {0xFF, 0x7F}, Colour(), DecodeOnly},
        {"A1 R5 G5 B5 clear, written as nothing", 4, {0x00, 0x00}, Colour()},
        {"A4 R4 G4 B4", 5, {0x4A, 0x8F}, Colour(1, 4 / 15.f, 10 / 15.f, 8 / 15.f)},
        {"B8 G8 R8", 6, {0x10, 0x20, 0x30}, Bytes8(0x30, 0x20, 0x10)},
        {"B8 G8 R8 A8", 7, {0x10, 0x20, 0x30, 0x80}, Bytes8(0x30, 0x20, 0x10, 0x80)},
        {"B8 G8 R8 A8 clear", 7, {0x10, 0x20, 0x30, 0x00}, Colour(), DecodeOnly},
        {"grey", 8, {0x40}, Bytes8(0x40, 0x40, 0x40), DecodeOnly},
        {"grey written from the red", 8, {0x40}, Bytes8(0x40, 0x99, 0x99, 0x10), EncodeOnly},
        {"blocks with alpha",
         11,
         {0, 0x09, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x00, 0xF8, 0x10, 0, 0, 0},
         Colour(1, 0, 0, 9 / 15.f),
         DecodeOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        const std::size_t size = c.stored.size();
        if (c.direction != EncodeOnly) {
            // The third pixel of a row (or of a block's first row).
            BmapSpec bmap = BmapSpec::Of(c.format, 3, 1);
            bmap.data = Bytes(StoredDataSize(c.format, 3, 1));
            std::copy(c.stored.begin(), c.stored.end(),
                      bmap.data->begin() + (c.format < 10 ? 2 * size : 0));
            EXPECT_EQ(Read(bmap.Build())->GetPixel(0, 2), c.colour);
        }
        if (c.direction != DecodeOnly) {
            GPLBMAPSection section(c.format, false, 0, {}, 0);
            section.SetSize(1, 2);
            section.SetPixel(0, 1, c.colour);
            const Bytes row(section.GetPixelData().Get(), section.GetPixelData().Get() + 2 * size);
            EXPECT_EQ(Bytes(row.begin() + size, row.end()), c.stored);
            EXPECT_EQ(Bytes(row.begin(), row.begin() + size), Bytes(size, 0));
        }
    }
}

TEST(GPLBMAPSection, BlockExampleDecodesItsFirstRow) {
    BmapSpec bmap = BmapSpec::Of(10, 4, 4);
    bmap.data = Bytes{0x00, 0x00, 0xFF, 0xFF, 0xE4, 0x00, 0x00, 0x00};
    const auto section = Read(bmap.Build());
    const float oneThird = 1 - 0.6666667f;
    const float twoThirds = 1 - 0.3333333f;
    EXPECT_EQ(section->GetPixel(0, 0), Colour(0, 0, 0, 1));
    EXPECT_EQ(section->GetPixel(0, 1), Colour(1, 1, 1, 1));
    EXPECT_EQ(section->GetPixel(0, 2), Colour(oneThird, oneThird, oneThird, 1));
    EXPECT_EQ(section->GetPixel(0, 3), Colour(twoThirds, twoThirds, twoThirds, 1));
}

TEST(GPLBMAPSection, PaletteIndicesUseNibblesHighFirst) {
    const auto palette = Ramp(16);
    GPLBMAPSection section(2, false, 0, palette, 0);
    section.SetSize(1, 3);
    section.SetPixel(0, 0, palette->GetColour(3));
    section.SetPixel(0, 1, palette->GetColour(10));
    section.SetPixel(0, 2, palette->GetColour(15));
    EXPECT_EQ(section.GetPixelData()[0], 0x3A);
    EXPECT_EQ(section.GetPixelData()[1], 0xF0);
    EXPECT_NE(Failure([&] {
                  section.SetPixel(0, 0, Colour(0.5f, 0.5f, 0.5f, 0.5f));
              }).find("FindColour(colour, index)"),
              std::string::npos);

    // An index beyond a short palette reads transparent.
    BmapSpec bmap = BmapSpec::Of(0, 2, 1);
    bmap.cmap = Cmap({{1, 2, 3, 255}, {4, 5, 6, 255}});
    bmap.data = Bytes{0x1F, 0, 0, 0};
    const auto shortPalette = Read(bmap.Build());
    EXPECT_EQ(shortPalette->GetPixel(0, 0), Bytes8(6, 5, 4));
    EXPECT_EQ(shortPalette->GetPixel(0, 1), Colour());
    // No nibble reaches beyond entry 15 of a longer palette.
    GPLBMAPSection wide(0, true, 17, {}, 0);
    wide.GetPalette()->SetColour(16, Colour(1, 1, 1, 1));
    wide.SetSize(1, 1);
    EXPECT_NE(
        Failure([&] { wide.SetPixel(0, 0, Colour(1, 1, 1, 1)); }).find("index < kNibbleLimit"),
        std::string::npos);
}

TEST(GPLBMAPSection, ReaderChecksInOrder) {
    using Change = std::function<void(BmapSpec&)>;
    const std::vector<std::pair<Change, std::string>> cases{
        {[](BmapSpec& b) { b.id = kDATASectionId; }, "GPL bitmap id not BMAP"},
        {[](BmapSpec& b) { b.version = 1; }, "GPL bitmap unsupported version"},
        {[](BmapSpec& b) { b.headerId = kBMAPSectionId; }, "GPL bitmap header not found"},
        {[](BmapSpec& b) { b.headerVersion = 1; }, "GPL bitmap header unsupported version"},
        {[](BmapSpec& b) { b.headerSize = 16; }, "GPL bitmap header incorrect size"},
        {[](BmapSpec& b) { b.format = 9, b.rowBytes = 0, b.data = Bytes{}, b.compression = 1; },
         "GPL bitmap header unknown format"},
        {[](BmapSpec& b) { b.format = 12, b.rowBytes = 0, b.data = Bytes{}; },
         "GPL bitmap header unknown format"},
        {[](BmapSpec& b) { b.compression = 1; },
         "GPL bitmap header unsupported compression method"},
        {[](BmapSpec& b) { b.width = 5, b.rowBytes = 15, b.fill0 = 0; },
         "GPL bitmap header width in bytes incorrect"},
        {[](BmapSpec& b) { b.fill0 = 0, b.fill1 = 0; }, "GPL bitmap header fill byte 0 not blank"},
        {[](BmapSpec& b) { b.fill1 = 0; }, "GPL bitmap header fill byte 1 not blank"},
        {[](BmapSpec& b) { b.dataId = kCMAPSectionId; }, "GPL bitmap data header id not DATA"},
        {[](BmapSpec& b) { b.dataVersion = 1; }, "GPL bitmap data unsupported version"},
        {[](BmapSpec& b) {
             b.data = Bytes(10, 1), b.filler = Bytes{0x20, 0};
         },
         "GPL bitmap filler incorrect"},
        {[](BmapSpec& b) { b.sizeError = 4; }, "GPL bitmap incorrect size"},
        {[](BmapSpec& b) { b.sizeError = -4; }, "GPL bitmap incorrect size"},
        // A row size that only fits when truncated to 32 bits is wrong, not accepted.
        {[](BmapSpec& b) { b.format = 7, b.width = 0x40000000, b.rowBytes = 0, b.data = Bytes{}; },
         "GPL bitmap header width in bytes incorrect"},
        {[](BmapSpec& b) { b.width = 0, b.rowBytes = 0, b.height = 0x20000000, b.data = Bytes{}; },
         "GPL bitmap header dimensions incorrect"},
        {[](BmapSpec& b) { b.width = 4, b.height = 0x40000000, b.data = Bytes{}; },
         "GPL bitmap header dimensions too large"},
        {[](BmapSpec& b) { b.dataSize = 0xFFFFFFF0; }, "Couldn't read from t.pbf\n"},
    };
    for (const auto& [change, message] : cases) {
        BmapSpec bmap = kPlain;
        change(bmap);
        EXPECT_EQ(Failure([&] { Read(bmap.Build()); }), message);
    }
    BmapSpec accepted = kPlain;
    accepted.data = Bytes(9, 1);
    EXPECT_EQ(Failure([&] { Read(accepted.Build()); }), "no failure");
    const Bytes whole = kPlain.Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Bytes shortened(whole.begin(), whole.begin() + size);
        EXPECT_EQ(Failure([&] { Read(shortened); }), "Couldn't read from t.pbf\n") << size;
    }
}

TEST(GPLBMAPSection, InconsistentStoredDataFailsOnFirstPixel) {
    const auto failure = [](BmapSpec bmap, std::uint8_t highestCompression) {
        const auto section = Read(bmap.Build(), {}, highestCompression);
        return Failure([&] { section->GetPixel(0, 0); });
    };
    BmapSpec wrongSize = kPlain;
    wrongSize.data = Bytes(12, 1);
    EXPECT_EQ(failure(wrongSize, 0),
              "Assertion failure at GPLBMAPSection: 566\nCompressedDataSize == "
              "UncompressedDataSize\n");

    BmapSpec shortStream = kPlain;
    shortStream.compression = 1;
    // Eight bytes of 0x55, PK-compressed: half of what the section needs.
    shortStream.data = Bytes{0x00, 0x06, 0xAA, 0xCA, 0x40, 0xC0, 0x3F};
    const std::string expanded =
        "Assertion failure at GPLBMAPSection: 577\nresult_size == UncompressedDataSize\n";
    EXPECT_EQ(failure(shortStream, 1), expanded);
    // A claim no stream of this size could expand to is refused without allocating it.
    shortStream.format = 8, shortStream.width = 0xFFFC, shortStream.height = 0xFFFF;
    EXPECT_EQ(failure(shortStream, 1), expanded);

    BmapSpec unknownMethod = kPlain;
    unknownMethod.compression = 2;
    EXPECT_EQ(failure(unknownMethod, 2), "Assertion failure at GPLBMAPSection: 581\nfalse\n");
    const auto section = Read(unknownMethod.Build(), {}, 2);
    section->SetSize(1, 1);
    EXPECT_EQ(Failure([&] { Written(*section); }),
              "Assertion failure at GPLBMAPSection: 609\nfalse\n");
}

TEST(GPLBMAPSection, CompressedSectionRoundTrips) {
    GPLBMAPSection section(7, false, 0, {}, 1);
    section.SetSize(5, 7);
    for (std::uint32_t row = 0; row < 5; ++row) {
        for (std::uint32_t column = 0; column < 7; ++column) {
            section.SetPixel(row, column, Bytes8(row * 40, column * 30, 7, row == 2 ? 0 : 200));
        }
    }
    const Bytes bytes = Written(section);
    EXPECT_LT(section.GetStoredSize(), section.GetUncompressedSize());
    const auto read = Read(bytes, {}, 1);
    EXPECT_EQ(Written(*read), bytes);
    const std::uint8_t* const pixels = section.GetPixelData().Get();
    EXPECT_TRUE(std::equal(pixels, pixels + 5 * 7 * 4, read->GetPixelData().Get()));
    // A pixel changed after reading is not lost to the old compressed data.
    read->SetPixel(4, 6, Bytes8(1, 2, 3));
    EXPECT_EQ(Read(Written(*read), {}, 1)->GetPixel(4, 6), Bytes8(1, 2, 3));
}

TEST(GPLBMAPSection, BlockPixelsSetAreWrittenAndOtherBlocksKept) {
    for (std::uint8_t format : {std::uint8_t(10), std::uint8_t(11)}) {
        SCOPED_TRACE(int(format));
        const Bytes original = BmapSpec::Of(format, 6, 5).Build();
        const auto section = Read(original);
        const Colour red(1, 0, 0, 1);
        const Colour left = format == 11 ? Colour() : red;
        section->SetPixel(4, 5, red);
        section->SetPixel(4, 4, left);
        const Bytes written = Written(*section);
        const auto reread = Read(written);
        EXPECT_EQ(reread->GetPixel(4, 5), red);
        EXPECT_EQ(reread->GetPixel(4, 4), left);
        const std::size_t blockBytes = format == 10 ? 8 : 16;
        EXPECT_TRUE(std::equal(original.begin(), original.end() - 2 * blockBytes, written.begin()));
        EXPECT_NE(Bytes(original.end() - blockBytes, original.end()),
                  Bytes(written.end() - blockBytes, written.end()));
        EXPECT_EQ(section->GetUncompressedSize(), 4 * blockBytes);
        EXPECT_EQ(written.size(), original.size());
    }
}

TEST(GPLBMAPSection, CloneIsDeepAndEncodedAfresh) {
    BmapSpec bmap{.format = 2, .width = 2, .height = 2, .cmap = Cmap({{1, 2, 3, 4}, {5, 6, 7, 8}})};
    const auto shared = Ramp(16);
    // A section with a palette of its own keeps its colours even when offered a shared palette.
    EXPECT_EQ(Written(*Read(bmap.Build())->Clone(shared)), bmap.Build());

    bmap.cmap.reset();
    const auto grey = Read(bmap.Build());
    EXPECT_EQ(grey->Clone(shared)->GetPalette(), shared);
    // Without a shared palette the copy keeps the colours it had.
    EXPECT_EQ(grey->Clone({})->GetPixel(0, 1), grey->GetPixel(0, 1));

    bmap.format = 11;
    const auto blocks = Read(bmap.Build());
    blocks->SetPixel(0, 0, Colour(0, 0, 1, 1));
    const auto blockCopy = blocks->Clone({});
    blocks->SetPixel(0, 0, Colour(0, 1, 0, 1));
    EXPECT_EQ(blockCopy->GetPixel(0, 0), Colour(0, 0, 1, 1));
}

// The section ids the readers compare and the writers write, as literal bytes.
TEST(GPLSection, IdsAreWrittenWithTheirCharactersReversed) {
    MemoryStream stream("s");
    GPLSectionHeader(kBMAPSectionId, 1, 0x01020304).Write(stream);
    EXPECT_EQ(stream.GetBytes(), (Bytes{0x50, 0x41, 0x4D, 0x42, 1, 0, 0, 0, 4, 3, 2, 1}));
}

// A clear entry loses its colour; the others are written back as they were.
TEST(GPLCMAPSection, ReadsBgraEntriesAndWritesThemBack) {
    MemoryStream in("p", Section(Id("CMAP"), 0, 12,
                                 {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0x80, 0x10, 0x20, 0x30, 0}));
    GPLCMAPSection section(in);
    const Palette& palette = *section.GetPalette();
    ASSERT_EQ(palette.GetCount(), 3u);
    EXPECT_EQ(palette.GetColour(0), Bytes8(0x30, 0x20, 0x10));
    EXPECT_EQ(palette.GetColour(2), Colour());
    EXPECT_EQ(Written(section),
              Section(Id("CMAP"), 0, 12, {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0x80, 0, 0, 0, 0}));
}

TEST(GPLCMAPSection, ReaderChecksInOrder) {
    const Bytes four{1, 2, 3, 4};
    EXPECT_EQ(ReadError(Section(Id("DATA"), 1, 3, four)), "GPL palette id not CMAP");
    EXPECT_EQ(ReadError(Section(Id("CMAP"), 1, 3, four)), "GPL palette unsupported version");
    EXPECT_EQ(ReadError(Section(Id("CMAP"), 0, 3, four)), "GPL palette incorrect size");
    // A size beyond the stream is refused before anything is allocated.
    EXPECT_EQ(ReadError(Section(Id("CMAP"), 0, 0xFFFFFFFC, four)), "Couldn't read from t.pbf\n");
    EXPECT_EQ(ReadError(Section(Id("CMAP"), 0, 0, {})), "no failure");
}

TEST(PbfFileRead, ReadsOneUncompressedSectionFromTheStartAndIgnoresTrailingBytes) {
    const BmapSpec compressed{.format = 3, .width = 4, .height = 4, .compression = 1};
    EXPECT_EQ(Failure([&] { ReadPbf(compressed.Build()); }),
              "GPL bitmap header unsupported compression method");

    const Bytes bytes = BmapSpec::Of(3, 2, 2).Build();
    Bytes longer = bytes;
    longer.insert(longer.end(), {1, 2, 3, 4, 5});
    auto stream = StreamOf(longer);
    stream->SetPosition(7);
    EXPECT_EQ(Written(GPLPbfFile(stream)), bytes);
}

TEST(PbfFileCreate, FormatChoice) {
    struct Case {
        std::uint8_t red, green, blue;
        std::uint32_t transparency;
        bool usePalette;
        std::uint8_t expected;
    };
    const std::vector<Case> cases = {
        {5, 5, 5, 0, false, 4}, {5, 6, 5, 0, false, 3}, {8, 8, 8, 1, false, 5},
        {4, 4, 4, 2, false, 5}, {1, 1, 1, 0, false, 4}, {8, 8, 8, 0, true, 0},
        {8, 8, 8, 1, true, 1},  {8, 8, 8, 2, true, 2},  {8, 8, 8, 7, true, 0},
    };
    for (const Case& c : cases) {
        // The alpha bits are not consulted: 8 of them would make the opaque cases format 5.
        const GPLPbfFile pbf(c.red, c.green, c.blue, 8, c.transparency, c.usePalette, 16);
        EXPECT_EQ(pbf.GetBitmap().DynamicCast<GPLBMAPSection>()->GetFormat(), c.expected);
    }
    EXPECT_EQ(MessageOf([] { GPLPbfFile(8, 8, 8, 8, 1, true, 17); }),
              "GPL mip only supports 16 colour palettes");
}

// Read back, a palette written without its CMAP would show the grey ramp, and a CMAP written
// for direct colours would stand where the DATA section belongs.
TEST(PbfFileCreate, PalettisedFileCarriesItsCmapAndDirectColourFileNone) {
    GPLPbfFile pbf(8, 8, 8, 8, 1, true, 16);
    ASSERT_EQ(pbf.GetPalette()->GetCount(), 16u);
    pbf.GetPalette()->SetColour(0, Colour());
    pbf.GetPalette()->SetColour(1, Colour(1, 0, 0, 1));
    auto picture = MakeCounted<BitmapSimple>(2, 3);
    picture->SetPixel(1, 2, Colour(1, 0, 0, 1));
    pbf.SetBitmap(picture);

    const auto back = ReadPbf(Written(pbf));
    EXPECT_EQ(back->GetBitmap()->GetPixel(1, 2), Colour(1, 0, 0, 1));
    EXPECT_EQ(back->GetBitmap()->GetPixel(0, 0), Colour());

    GPLPbfFile direct(5, 5, 5, 1, 0, false, 0);
    direct.SetBitmap(picture);
    EXPECT_EQ(ReadPbf(Written(direct))->GetBitmap()->GetPixel(1, 2), Colour(1, 0, 0, 1));
}

TEST(PbfFileCopy, CloneIsDeep) {
    BmapSpec spec = BmapSpec::Of(2, 4, 2);
    spec.cmap = Cmap({{1, 2, 3, 4}, {5, 6, 7, 8}});
    const Bytes bytes = spec.Build();
    const auto pbf = ReadPbf(bytes);
    const auto copy = pbf->Clone();
    EXPECT_EQ(Written(*copy), bytes);
    copy->GetPalette()->SetColour(1, Colour(1, 1, 1, 1));
    copy->GetBitmap()->SetPixel(0, 0, Colour(1, 1, 1, 1));
    EXPECT_EQ(Written(*pbf), bytes);
    EXPECT_EQ(copy->GetBitmap()->GetPixel(0, 0), Colour(1, 1, 1, 1));
}
