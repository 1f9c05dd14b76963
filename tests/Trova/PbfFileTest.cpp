#include "GPLFileBytes.h"

#include "Support/TestSupport.h"
#include "Trova/GPLPbfFile.h"

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

std::uint8_t FormatOf(const Trova::PbfFile& pbf) {
    return pbf.GetBitmap().DynamicCast<GPLBMAPSection>()->GetFormat();
}

} // namespace

TEST(PbfFileRead, CompressedPicturesAreRefused) {
    BmapSpec compressed = BmapSpec::Of(3, 4, 4);
    compressed.compression = 1;
    EXPECT_EQ(FailureOf([&] { ReadPbf(compressed.Build()); }, "logo.pbf"),
              "GPL bitmap header unsupported compression method");
}

TEST(PbfFileRead, ReadsFromTheStartAndIgnoresTrailingBytes) {
    const Bytes bytes = BmapSpec::Of(3, 2, 2).Build();
    Bytes longer = bytes;
    longer.insert(longer.end(), {1, 2, 3, 4, 5});
    auto stream = StreamOf(longer);
    stream->SetPosition(7);
    const auto pbf = Util::MakeCounted<GPLPbfFile>(stream);
    EXPECT_EQ(pbf->GetWidth(), 2u);
    EXPECT_EQ(Written(*pbf), bytes);
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
        }
    }
    EXPECT_EQ(MessageOf([] { GPLPbfFile(8, 8, 8, 8, 1, true, 17); }),
              "GPL mip only supports 16 colour palettes");
}

// Read back, a palette written without its CMAP would show the grey ramp, and a CMAP written
// for direct colours would stand where the DATA section belongs.
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

    const auto back = ReadPbf(Written(pbf));
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
    const Bytes written = Written(pbf);
    // A1 R5 G5 B5: opaque pixels carry the alpha bit.
    const std::size_t data = written.size() - 4;
    EXPECT_EQ(Util::ReadU16(&written[data]), 0xFC00);
    EXPECT_EQ(Util::ReadU16(&written[data + 2]), 0x801F);
    EXPECT_EQ(ReadPbf(written)->GetBitmap()->GetPixel(0, 1), Colour(0, 0, 1, 1));
}

TEST(PbfFileCopy, CloneIsDeep) {
    BmapSpec spec = BmapSpec::Of(2, 4, 2);
    spec.cmap = SixteenColourCmap();
    const Bytes bytes = spec.Build();
    const auto pbf = ReadPbf(bytes);
    const auto copy = pbf->Clone();
    EXPECT_EQ(Written(*copy), bytes);
    EXPECT_FALSE(copy->GetPalette() == pbf->GetPalette());
    copy->GetPalette()->SetColour(5, Colour(1, 1, 1, 1));
    copy->GetBitmap()->SetPixel(0, 0, Colour(1, 1, 1, 1));
    EXPECT_EQ(Written(*pbf), bytes);
    EXPECT_EQ(copy->GetBitmap()->GetPixel(0, 0), Colour(1, 1, 1, 1));
}
