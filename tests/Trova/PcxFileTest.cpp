#include "Trova/PcxFile.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <gtest/gtest.h>

using namespace Ostrel;
using Trova::Colour;
using Trova::Palette;
using Trova::PcxFile;

namespace {
using Bytes = std::vector<std::uint8_t>;

Util::CountedPtr<Util::MemoryStream> PictureOf(std::size_t size) {
    return Util::MakeCounted<Util::MemoryStream>("title.pcx", Bytes(size, 0xEE));
}
} // namespace

TEST(PcxFile, WritesTheLast768Bytes) {
    auto palette = Util::MakeCounted<Palette>(256);
    palette->SetColour(0, Colour(1, 0.5f, 0, 1));
    palette->SetColour(255, Colour(0.2f, 0.4f, 0.6f, 0.5f)); // alpha is not stored
    const PcxFile pcx(palette);
    auto stream = PictureOf(1000);
    pcx.WritePalette(stream);
    const Bytes& bytes = stream->GetBytes();
    ASSERT_EQ(bytes.size(), 1000u);
    const std::size_t start = 1000 - 768;
    EXPECT_EQ(bytes[start - 1], 0xEE); // the marker before the palette is left alone
    EXPECT_EQ(Bytes(bytes.begin() + start, bytes.begin() + start + 3), (Bytes{0xFF, 0x80, 0x00}));
    EXPECT_EQ(Bytes(bytes.end() - 3, bytes.end()), (Bytes{51, 102, 153}));
}

TEST(PcxFile, ShortPalettesAndShortFiles) {
    auto palette = Util::MakeCounted<Palette>(2);
    palette->SetColour(1, Colour(1, 1, 1, 1));
    const PcxFile pcx(palette);

    auto exact = PictureOf(768);
    pcx.WritePalette(exact);
    Bytes expected(768, 0);
    std::fill_n(expected.begin() + 3, 3, 0xFF);
    EXPECT_EQ(exact->GetBytes(), expected);

    auto tooShort = PictureOf(767);
    EXPECT_THROW(pcx.WritePalette(tooShort), Util::XFileFormat);
    EXPECT_EQ(tooShort->GetBytes(), Bytes(767, 0xEE));

    EXPECT_THROW(PcxFile(Util::CountedPtr<Palette>()), Util::XAssertion);
}
