#include "GPLFileBytes.h"
#include "Support/TestSupport.h"

#include "Trova/GPLPbfFile.h"
#include "Util/Exception.h"

#include <gtest/gtest.h>

using namespace Ostrel;
using namespace Ostrel::Test;
using Trova::Colour;
using Trova::GPLBMAPSection;
using Trova::GPLPbfFile;

namespace {

Util::CountedPtr<GPLPbfFile> ReadPbf(const Bytes& bytes) {
    return Util::MakeCounted<GPLPbfFile>(StreamOf(bytes, "logo.pbf"));
}

Bytes WritePbf(const Trova::PbfFile& pbf) {
    auto stream = NewStream();
    pbf.Write(stream);
    return stream->GetBytes();
}

std::uint8_t FormatOf(const Trova::PbfFile& pbf) {
    return pbf.GetBitmap().DynamicCast<GPLBMAPSection>()->GetFormat();
}

// Section ids at the top level of a BMAP and inside it, in file order.
std::vector<std::uint32_t> SectionIds(const Bytes& bytes) {
    std::vector<std::uint32_t> ids{Util::ReadU32(bytes.data())};
    std::size_t at = 12;
    while (at + 12 <= bytes.size()) {
        ids.push_back(Util::ReadU32(&bytes[at]));
        const std::uint32_t size = Util::ReadU32(&bytes[at + 8]);
        at += 12 + size + (ids.back() == Id("BMHD") ? 2 : (4 - size % 4) % 4);
    }
    return ids;
}

} // namespace

TEST(PbfFileRead, EveryFormatRoundTrips) {
    for (std::uint8_t format : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) {
        BmapSpec spec = BmapSpec::Of(format, 7, 5);
        if (format < 3) {
            spec.cmap = SixteenColourCmap();
        }
        const Bytes bytes = spec.Build();
        const auto pbf = ReadPbf(bytes);
        EXPECT_EQ(FormatOf(*pbf), format);
        EXPECT_EQ(pbf->GetWidth(), 7u);
        EXPECT_EQ(pbf->GetHeight(), 5u);
        EXPECT_EQ(WritePbf(*pbf), bytes) << int(format);
    }
}

TEST(PbfFileRead, PalettesOwnAndDefault) {
    BmapSpec own = BmapSpec::Of(1, 4, 4);
    own.cmap = SixteenColourCmap();
    const auto ownPbf = ReadPbf(own.Build());
    EXPECT_TRUE(ownPbf->IsPalettised());
    EXPECT_EQ(ownPbf->GetPalette()->GetColour(0), Colour(0, 1, 0, 1));
    EXPECT_EQ(ownPbf->GetTransparency(), 1u);

    // Without a CMAP the picture reads with a grey ramp, and is written without one.
    const Bytes grey = BmapSpec::Of(0, 4, 4).Build();
    const auto greyPbf = ReadPbf(grey);
    EXPECT_EQ(greyPbf->GetPalette()->GetCount(), 16u);
    EXPECT_EQ(greyPbf->GetPalette()->GetColour(15), Colour(1, 1, 1, 1));
    EXPECT_EQ(WritePbf(*greyPbf), grey);

    const auto direct = ReadPbf(BmapSpec::Of(5, 4, 4).Build());
    EXPECT_FALSE(direct->IsPalettised());
    EXPECT_FALSE(direct->GetPalette());
    EXPECT_EQ(direct->GetRedBits(), 4u);
    EXPECT_EQ(direct->GetAlphaBits(), 4u);
}

TEST(PbfFileRead, Failures) {
    BmapSpec compressed = BmapSpec::Of(3, 4, 4);
    compressed.compression = 1;
    try {
        ReadPbf(compressed.Build());
        FAIL();
    } catch (const Util::XFileFormat& e) {
        EXPECT_EQ(e.GetPathName(), "logo.pbf");
        EXPECT_EQ(e.GetDetail(), "GPL bitmap header unsupported compression method");
    }
    try {
        ReadPbf(MipSpec().StandardLevels(1).Build());
        FAIL();
    } catch (const Util::XFileFormat& e) {
        EXPECT_EQ(e.GetDetail(), "GPL bitmap id not BMAP");
    }
    const Bytes valid = BmapSpec::Of(6, 5, 3).Build();
    for (std::size_t length = 0; length < valid.size(); ++length) {
        EXPECT_THROW(ReadPbf(Bytes(valid.begin(), valid.begin() + length)), Util::Exception);
    }
}

TEST(PbfFileRead, ReadsFromTheStartAndIgnoresTrailingBytes) {
    const Bytes bytes = BmapSpec::Of(3, 2, 2).Build();
    Bytes longer = bytes;
    longer.insert(longer.end(), {1, 2, 3, 4, 5});
    auto stream = StreamOf(longer);
    stream->SetPosition(7);
    const auto pbf = Util::MakeCounted<GPLPbfFile>(stream);
    EXPECT_EQ(pbf->GetWidth(), 2u);
    EXPECT_EQ(WritePbf(*pbf), bytes);
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
        // The alpha bits are not consulted.
        for (std::uint8_t alpha : {0, 8}) {
            GPLPbfFile pbf(c.red, c.green, c.blue, alpha, c.transparency, c.usePalette, 16);
            EXPECT_EQ(FormatOf(pbf), c.expected);
            EXPECT_EQ(pbf.GetWidth(), 0u);
        }
    }
    try {
        GPLPbfFile(8, 8, 8, 8, 1, true, 17);
        FAIL();
    } catch (const Util::XUsage& e) {
        EXPECT_EQ(e.Message(), "GPL mip only supports 16 colour palettes");
    }
}

TEST(PbfFileCreate, PalettisedFileCarriesItsCmap) {
    GPLPbfFile pbf(8, 8, 8, 8, 1, true, 16);
    ASSERT_EQ(pbf.GetPalette()->GetCount(), 16u);
    pbf.GetPalette()->SetColour(0, Colour());
    pbf.GetPalette()->SetColour(1, Colour(1, 0, 0, 1));
    auto picture = Util::MakeCounted<Trova::BitmapSimple>(2, 3);
    picture->SetPixel(1, 2, Colour(1, 0, 0, 1));
    pbf.SetBitmap(picture);
    EXPECT_EQ(pbf.GetWidth(), 3u);
    EXPECT_EQ(pbf.GetHeight(), 2u);

    const Bytes written = WritePbf(pbf);
    EXPECT_EQ(SectionIds(written),
              (std::vector<std::uint32_t>{Id("BMAP"), Id("BMHD"), Id("CMAP"), Id("DATA")}));
    const auto back = ReadPbf(written);
    EXPECT_EQ(FormatOf(*back), 1);
    EXPECT_EQ(back->GetBitmap()->GetPixel(1, 2), Colour(1, 0, 0, 1));
    EXPECT_EQ(back->GetBitmap()->GetPixel(0, 0), Colour());
}

TEST(PbfFileCreate, DirectColourFile) {
    GPLPbfFile pbf(5, 5, 5, 1, 0, false, 0);
    auto picture = Util::MakeCounted<Trova::BitmapSimple>(1, 2);
    picture->SetPixel(0, 0, Colour(1, 0, 0, 1));
    picture->SetPixel(0, 1, Colour(0, 0, 1, 1));
    pbf.SetBitmap(picture);
    const Bytes written = WritePbf(pbf);
    EXPECT_EQ(SectionIds(written),
              (std::vector<std::uint32_t>{Id("BMAP"), Id("BMHD"), Id("DATA")}));
    // A1 R5 G5 B5: opaque pixels carry the alpha bit.
    const std::size_t data = written.size() - 4;
    EXPECT_EQ(Util::ReadU16(&written[data]), 0xFC00);
    EXPECT_EQ(Util::ReadU16(&written[data + 2]), 0x801F);
}

TEST(PbfFileCopy, CloneIsDeep) {
    BmapSpec spec = BmapSpec::Of(2, 4, 2);
    spec.cmap = SixteenColourCmap();
    const auto pbf = ReadPbf(spec.Build());
    const Bytes original = WritePbf(*pbf);
    const auto copy = pbf->Clone();
    EXPECT_EQ(WritePbf(*copy), original);
    EXPECT_FALSE(copy->GetPalette() == pbf->GetPalette());
    copy->GetPalette()->SetColour(5, Colour(1, 1, 1, 1));
    copy->GetBitmap()->SetPixel(0, 0, Colour(1, 1, 1, 1));
    EXPECT_EQ(WritePbf(*pbf), original);
    EXPECT_EQ(copy->GetBitmap()->GetPixel(0, 0), Colour(1, 1, 1, 1));
}

// Found by fuzzing: no columns but half a billion rows made every routine that walks the rows
// spin through them.
TEST(PbfFileRead, ZeroWidthWithManyRowsIsRefused) {
    const Bytes bytes = Ostrel::Test::ReadBytes(std::string(VELLIX_SOURCE_DIR) +
                                                "/fuzz/corpus/PbfFileFuzz/zero-width-tall.pbf");
    try {
        ReadPbf(bytes);
        FAIL() << "accepted";
    } catch (const Util::XFileFormat& e) {
        EXPECT_EQ(e.GetDetail(), "GPL bitmap header dimensions incorrect");
    }
}
