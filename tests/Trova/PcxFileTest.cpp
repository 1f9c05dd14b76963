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

// Three bytes an entry in the file's last 768 bytes (alpha is not stored), zero past the
// palette's entries; the bytes before them are left alone.
TEST(PcxFile, WritesTheLast768BytesOfFilesLongEnough) {
    auto palette = Util::MakeCounted<Palette>(2);
    palette->SetColour(0, Colour(1, 0.5f, 0, 1));
    palette->SetColour(1, Colour(0.2f, 0.4f, 0.6f, 0.5f));
    const PcxFile pcx(palette);
    for (const std::size_t size : {768, 770}) {
        auto file = PictureOf(size);
        pcx.WritePalette(file);
        Bytes expected(size - 768, 0xEE);
        expected.insert(expected.end(), {0xFF, 0x80, 0x00, 51, 102, 153});
        expected.resize(size, 0);
        EXPECT_EQ(file->GetBytes(), expected) << size;
    }

    auto tooShort = PictureOf(767);
    EXPECT_THROW(pcx.WritePalette(tooShort), Util::XFileFormat);
    EXPECT_EQ(tooShort->GetBytes(), Bytes(767, 0xEE));

    EXPECT_THROW(PcxFile(Util::CountedPtr<Palette>()), Util::XAssertion);
}
