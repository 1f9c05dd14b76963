#include "Trova/UncompressedSubFile.h"
#include "Support/TestSupport.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <gtest/gtest.h>

#include <array>

using namespace Ostrel::Util;
using Ostrel::Test::MessageOf;
using Ostrel::Trova::UncompressedSubFile;

namespace {

// Bytes 0..99; members are windows onto them.
CountedPtr<MemoryStream> Archive() {
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return MakeCounted<MemoryStream>("archive.dat", bytes);
}

} // namespace

TEST(UncompressedSubFile, TransfersAndSeeksStayInTheMemberAndFailNamingIt) {
    const auto archive = Archive();
    UncompressedSubFile member(archive, "CAR1.MIP", 20, 8);
    std::uint8_t bytes[9] = {};
    member.Read(8, bytes);
    EXPECT_EQ(bytes[7], 27);
    EXPECT_TRUE(member.IsAtEnd());
    member.SetPosition(1);
    EXPECT_EQ(MessageOf([&] { member.Read(8, bytes); }), "Couldn't read from CAR1.MIP\n");
    EXPECT_EQ(member.GetPosition(), 1u);
    EXPECT_EQ(MessageOf([&] { member.Write(8, bytes); }), "Couldn't write to CAR1.MIP\n");
    const std::uint8_t written[] = {0xAA, 0xBB};
    member.SetPosition(6);
    member.Write(2, written);
    EXPECT_EQ(archive->GetBytes()[25], 25);
    EXPECT_EQ(archive->GetBytes()[26], 0xAA);
    EXPECT_EQ(archive->GetBytes()[27], 0xBB);
    EXPECT_EQ(archive->GetBytes()[28], 28);
    EXPECT_TRUE(member.IsAtEnd());
    EXPECT_EQ(MessageOf([&] { member.SetPosition(9); }), "Couldn't seek in CAR1.MIP\n");
    EXPECT_EQ(member.GetPosition(), 8u);
    EXPECT_EQ(member.GetSize(), 8u);
    EXPECT_EQ(member.GetName(), "CAR1.MIP");
}

TEST(UncompressedSubFile, AClaimBeyondTheArchiveEndsWithItsBytes) {
    const std::vector<std::array<std::uint64_t, 3>> cases = {
        // start, claimed size, size held
        {20, 8, 8},
        {20, 0xFFFFFFFF, 80},
        {100, 5, 0},
        {0xFFFFFFF0, 0xFFFFFFFF, 0},
    };
    for (const auto& [start, claimed, held] : cases) {
        UncompressedSubFile member(Archive(), "BIG.MIP", start, claimed);
        EXPECT_EQ(member.GetSize(), held) << start << " " << claimed;
        EXPECT_EQ(member.GetRemaining(), held);
    }
}
