#include "Vellix/TreeNodes.h"
#include "Support/TestSupport.h"
#include "Util/Platform.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/RealDirectory.h"

#include <gtest/gtest.h>

#include <set>

using namespace Ostrel::Vellix;
using namespace Ostrel::Util;
using Ostrel::Test::ArchiveOfNames;
using Ostrel::Test::MessageOf;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;

namespace {

std::set<std::string> TreeWorthyNames(const PseudoDirectory& container) {
    std::set<std::string> names;
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (IsTreeWorthy(container, index)) {
            names.insert(container.GetEntryName(index));
        }
    }
    return names;
}

std::uint32_t IndexOf(const PseudoDirectory& container, const std::string& name) {
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (container.GetEntryName(index) == name) {
            return index;
        }
    }
    throw std::runtime_error("no entry " + name);
}

} // namespace

// A directory lists neither "." nor "..", which would be worth a node; an archive's members are no
// files on disk, a DAT member included.
TEST(TreeNodes, SubdirectoriesAndOpenableArchivesAreWorthANodeOfTheirKind) {
    TempDir dir;
    ASSERT_TRUE(Platform::MakeDirectory(dir / "tracks"));
    WriteBytes(dir / "Cars.Dat", ArchiveOfNames({"INNER.DAT", "TRACK.TRK", "NOEXT"}));
    WriteBytes(dir / "notes.dat", {'h', 'e', 'l', 'l', 'o'});
    WriteBytes(dir / "broken.dat", {1, 0, 7});
    WriteBytes(dir / "empty.dat", {});
    WriteBytes(dir / "car.mip", {});
    RealDirectory container(dir.Path());
    EXPECT_EQ(TreeWorthyNames(container), (std::set<std::string>{"tracks", "Cars.Dat"}));
    EXPECT_TRUE(HasTreeWorthyEntry(container));
    EXPECT_EQ(container.GetEntryQualifiedName(IndexOf(container, "car.mip")), "car");
    EXPECT_EQ(MessageOf([&] { DatDirectory(dir / "notes.dat", ""); }), ".DAT file not found");

    const TreeNode folder = MakeChildNode(container, IndexOf(container, "tracks"));
    EXPECT_EQ(folder.text, "tracks");
    EXPECT_EQ(folder.image, kTreeIconFolder);
    EXPECT_EQ(folder.selectedImage, kTreeIconOpenFolder);
    EXPECT_EQ(folder.directory->GetPathName().GetFullName(), dir / "tracks");

    const TreeNode archive = MakeChildNode(container, IndexOf(container, "Cars.Dat"));
    EXPECT_EQ(archive.text, "Cars.Dat");
    EXPECT_EQ(archive.image, kTreeIconArchive);
    EXPECT_EQ(archive.selectedImage, kTreeIconOpenArchive);
    const PseudoDirectory& members = *archive.directory;
    ASSERT_TRUE(members.IsArchive());
    EXPECT_FALSE(HasTreeWorthyEntry(members));
    // The members in archive order.
    ASSERT_EQ(members.GetEntryCount(), 3u);
    EXPECT_EQ(members.GetEntryName(0), "INNER.DAT");
    EXPECT_EQ(members.GetEntryQualifiedName(0), "INNER");
    EXPECT_FALSE(members.IsSubdirectory(0));
    EXPECT_EQ(members.GetEntryName(2), "NOEXT."); // the dot stays even without an extension
    EXPECT_EQ(members.GetPathName().GetFullName(), dir / "Cars.Dat");

    // An archive's entry opens as a directory inside the archive, as archives with directories do.
    const TreeNode inside = MakeChildNode(members, 0);
    EXPECT_EQ(inside.text, "inner.dat");
    EXPECT_EQ(inside.image, kTreeIconArchive);
    EXPECT_EQ(inside.directory->GetArchiveSubdirectory(), "inner.dat");
}

TEST(TreeNodes, TopLevelHoldsHomeRootAndRealVolumesOnce) {
    const std::vector<MountedVolume> volumes = {
        {"/", "ext4"},          {"/proc", "proc"},        {"/run", "tmpfs"},
        {"/mnt/games", "ext4"}, {"/media/cd", "iso9660"}, {"/sys", "sysfs"},
        {"/home/ann", "ext4"}};
    const auto places = TopLevelPlaces("/home/ann", "/", volumes);
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[0].path, "/home/ann");
    EXPECT_EQ(places[1].path, "/");
    EXPECT_EQ(places[2].path, "/mnt/games");
    EXPECT_EQ(places[2].image, kTreeIconDisk);
    EXPECT_EQ(places[3].path, "/media/cd");
    EXPECT_EQ(places[3].image, kTreeIconDisc);
}
