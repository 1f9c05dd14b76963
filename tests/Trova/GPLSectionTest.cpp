#include "Trova/GPLSection.h"
#include "GPLFileBytes.h"
#include "Trova/GPLCMAPSection.h"

#include <gtest/gtest.h>

using namespace Ostrel::Trova;
using namespace Ostrel::Test;
using Ostrel::Util::MemoryStream;

namespace {
Bytes CmapBytes(std::uint32_t id, std::uint32_t version, std::uint32_t size, const Bytes& entries) {
    Bytes bytes;
    PutHeader(bytes, id, version, size);
    Append(bytes, entries);
    return bytes;
}

std::string ReadError(const Bytes& bytes) {
    return FailureOf([&] { GPLCMAPSection{*StreamOf(bytes, "p.mip")}; }, "p.mip");
}
} // namespace

// The section ids the readers compare and the writers write, as literal bytes.
TEST(GPLSection, IdsAreWrittenWithTheirCharactersReversed) {
    MemoryStream stream("s");
    GPLSectionHeader(kBMAPSectionId, 1, 0x01020304).Write(stream);
    EXPECT_EQ(stream.GetBytes(), (Bytes{0x50, 0x41, 0x4D, 0x42, 1, 0, 0, 0, 4, 3, 2, 1}));
    stream.SetPosition(0);
    GPLSectionHeader header;
    header.Read(stream);
    EXPECT_EQ(header.id, kBMAPSectionId);
    EXPECT_EQ(header.size, 0x01020304u);
}

// A clear entry loses its colour; the others are written back as they were.
TEST(GPLCMAPSection, ReadsBgraEntriesAndWritesThemBack) {
    MemoryStream in("p", CmapBytes(kCMAPSectionId, 0, 12,
                                   {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0x80, 0x10, 0x20, 0x30, 0}));
    GPLCMAPSection section(in);
    const Palette& palette = *section.GetPalette();
    ASSERT_EQ(palette.GetCount(), 3u);
    EXPECT_EQ(palette.GetColour(0),
              Colour(IntToChannel(0x30, 8), IntToChannel(0x20, 8), IntToChannel(0x10, 8), 1));
    EXPECT_EQ(palette.GetColour(2), Colour());

    MemoryStream out("q");
    section.Write(out);
    EXPECT_EQ(out.GetBytes(), CmapBytes(kCMAPSectionId, 0, 12,
                                        {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0x80, 0, 0, 0, 0}));
}

TEST(GPLCMAPSection, ReaderChecksInOrder) {
    const Bytes four{1, 2, 3, 4};
    EXPECT_EQ(ReadError(CmapBytes(kDATASectionId, 1, 3, four)), "GPL palette id not CMAP");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 1, 3, four)), "GPL palette unsupported version");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 3, four)), "GPL palette incorrect size");
    // A size beyond the stream is refused before anything is allocated.
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 0xFFFFFFFC, four)),
              "Couldn't read from p.mip\n");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 0, {})), "no failure");
    EXPECT_EQ(ReadError({0x50, 0x41, 0x4D}), "Couldn't read from p.mip\n");
}
