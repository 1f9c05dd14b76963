#include "Trova/GPLSection.h"
#include "Trova/GPLCMAPSection.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <gtest/gtest.h>

using namespace Ostrel::Trova;
using Ostrel::Util::MemoryStream;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes CmapBytes(std::uint32_t id, std::uint32_t version, std::uint32_t size, const Bytes& entries) {
    MemoryStream stream("cmap");
    GPLSectionHeader(id, version, size).Write(stream);
    stream.Write(static_cast<std::uint32_t>(entries.size()), entries.data());
    return stream.GetBytes();
}

std::string ReadError(const Bytes& bytes) {
    MemoryStream stream("p.mip", bytes);
    try {
        GPLCMAPSection section(stream);
    } catch (const Ostrel::Util::XFileFormat& e) {
        return e.GetDetail();
    } catch (const Ostrel::Util::XFileRead&) {
        return "XFileRead";
    }
    return "accepted";
}
} // namespace

TEST(GPLSection, IdsAreWrittenWithTheirCharactersReversed) {
    EXPECT_EQ(MakeSectionId('B', 'M', 'A', 'P'), 0x424D4150u);
    EXPECT_EQ(kDATASectionId, 0x44415441u);
    MemoryStream stream("s");
    GPLSectionHeader(kBMAPSectionId, 1, 0x01020304).Write(stream);
    EXPECT_EQ(stream.GetBytes(), (Bytes{0x50, 0x41, 0x4D, 0x42, 1, 0, 0, 0, 4, 3, 2, 1}));

    stream.SetPosition(0);
    GPLSectionHeader header;
    header.Read(stream);
    EXPECT_EQ(header.id, kBMAPSectionId);
    EXPECT_EQ(header.version, 1u);
    EXPECT_EQ(header.size, 0x01020304u);
    EXPECT_THROW(header.Read(stream), Ostrel::Util::XFileRead);
}

TEST(GPLSection, PeekLeavesThePositionAlone) {
    MemoryStream stream("s", {0, 0, 0x50, 0x41, 0x4D, 0x43, 9});
    stream.SetPosition(2);
    EXPECT_EQ(PeekSectionId(stream), kCMAPSectionId);
    EXPECT_EQ(stream.GetPosition(), 2u);
}

TEST(GPLSection, FillerPadsPayloadsToFourBytes) {
    MemoryStream stream("s");
    for (std::uint32_t size : {8u, 9u, 10u, 11u}) {
        WriteFiller(stream, size);
    }
    EXPECT_EQ(stream.GetBytes(), Bytes(3 + 2 + 1, 0x20));
    MemoryStream bad("s", {0x20, 0x00});
    EXPECT_FALSE(ReadFiller(bad, 10));
}

TEST(GPLCMAPSection, ReadsBgraEntriesAndWritesThemBack) {
    const Bytes entries{0x10, 0x20, 0x30, 0xFF, 0x01, 0x02, 0x03, 0x80};
    const Bytes bytes = CmapBytes(kCMAPSectionId, 0, 8, entries);
    MemoryStream in("p", bytes);
    GPLCMAPSection section(in);
    const Palette& palette = *section.GetPalette();
    ASSERT_EQ(palette.GetCount(), 2u);
    EXPECT_EQ(palette.GetColour(0),
              Colour(IntToChannel(0x30, 8), IntToChannel(0x20, 8), IntToChannel(0x10, 8), 1));
    std::uint32_t index = 9;
    EXPECT_TRUE(palette.FindColour(palette.GetColour(1), index));
    EXPECT_EQ(index, 1u);

    MemoryStream out("q");
    section.Write(out);
    EXPECT_EQ(out.GetBytes(), bytes);
}

TEST(GPLCMAPSection, TransparentEntryLosesItsColour) {
    MemoryStream in("p", CmapBytes(kCMAPSectionId, 0, 4, {0x10, 0x20, 0x30, 0x00}));
    GPLCMAPSection section(in);
    EXPECT_EQ(section.GetPalette()->GetColour(0), Colour());
    MemoryStream out("q");
    section.Write(out);
    EXPECT_EQ(out.GetBytes(), CmapBytes(kCMAPSectionId, 0, 4, {0, 0, 0, 0}));
}

TEST(GPLCMAPSection, ReaderChecksInOrder) {
    const Bytes four{1, 2, 3, 4};
    EXPECT_EQ(ReadError(CmapBytes(kDATASectionId, 1, 3, four)), "GPL palette id not CMAP");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 1, 3, four)), "GPL palette unsupported version");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 3, four)), "GPL palette incorrect size");
    // A size beyond the stream is refused before anything is allocated.
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 0xFFFFFFFC, four)), "XFileRead");
    EXPECT_EQ(ReadError(CmapBytes(kCMAPSectionId, 0, 0, {})), "accepted");
    EXPECT_EQ(ReadError({0x50, 0x41, 0x4D}), "XFileRead");
}
