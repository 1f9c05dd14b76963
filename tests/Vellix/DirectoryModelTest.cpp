#include "Support/TestSupport.h"
#include "Util/BinaryStream.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

#include <gtest/gtest.h>
#include <set>

using namespace Ostrel::Vellix;
using namespace Ostrel::Util;
using Ostrel::Test::ArchiveOfNames;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;

namespace {} // namespace

TEST(RealDirectory, ListsEveryEntryButDotAndDotDot) {
    TempDir dir;
    WriteBytes(dir / "a.mip", {});
    WriteBytes(dir / "B.pbf", {});
    ASSERT_TRUE(Platform::MakeDirectory(dir / "sub"));
    RealDirectory node(dir.Path());
    ASSERT_EQ(node.GetEntryCount(), 3u);
    std::set<std::string> names;
    for (std::uint32_t i = 0; i < 3; ++i) {
        names.insert(node.GetEntryName(i));
        EXPECT_EQ(node.IsSubdirectory(i), node.GetEntryName(i) == "sub");
        EXPECT_EQ(node.GetEntryQualifiedName(i), node.GetEntryBaseName(i));
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.mip", "B.pbf", "sub"}));
    EXPECT_FALSE(node.IsArchive());
    EXPECT_EQ(node.GetPathName().GetFullName(), dir.Path());
    WriteBytes(dir / "c.srb", {});
    node.Refresh();
    EXPECT_EQ(node.GetEntryCount(), 4u);
}

TEST(DatDirectory, ListsTheMembersOfAnArchiveInArchiveOrder) {
    TempDir dir;
    const std::string archive = dir / "cars.dat";
    WriteBytes(archive, ArchiveOfNames({"CAR1.MIP", "TRACK.TRK", "NOEXT"}));
    DatDirectory node(archive, "");
    ASSERT_EQ(node.GetEntryCount(), 3u);
    EXPECT_EQ(node.GetEntryName(0), "CAR1.MIP");
    EXPECT_EQ(node.GetEntryBaseName(1), "TRACK");
    EXPECT_EQ(node.GetEntryExtension(1), "TRK");
    EXPECT_EQ(node.GetEntryName(2), "NOEXT."); // the dot stays even without an extension
    EXPECT_EQ(node.GetEntryQualifiedName(0), "CAR1");
    EXPECT_FALSE(node.IsSubdirectory(0));
    EXPECT_TRUE(node.IsArchive());
    EXPECT_EQ(node.GetPathName().GetFullName(), archive);
    EXPECT_TRUE(node.GetFileFactory());
}

TEST(DatDirectory, AFileThatIsNoArchiveIsRefused) {
    TempDir dir;
    WriteBytes(dir / "notes.dat", {'h', 'e', 'l', 'l', 'o'});
    try {
        DatDirectory node(dir / "notes.dat", "");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), ".DAT file not found");
    }
}
