#include "Vellix/TreeNodes.h"
#include "Support/TestSupport.h"
#include "Util/BinaryStream.h"
#include "Util/Platform.h"
#include "Vellix/RealDirectory.h"

#include <gtest/gtest.h>

#include <set>

using namespace Ostrel::Vellix;
using namespace Ostrel::Util;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;

namespace {

// A flat archive of empty members.
std::vector<std::uint8_t> ArchiveOf(const std::vector<std::string>& names) {
    std::vector<std::uint8_t> bytes(2 + 27 * names.size());
    WriteU16(bytes.data(), static_cast<std::uint16_t>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint8_t* record = bytes.data() + 2 + 27 * i;
        record[0] = 5;
        std::copy(names[i].begin(), names[i].end(), record + 10);
        WriteU32(record + 23, static_cast<std::uint32_t>(bytes.size()));
    }
    return bytes;
}

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

// An archive node that lists one directory, as archives with directories do.
class ArchiveWithDirectory : public PseudoDirectory {
public:
    explicit ArchiveWithDirectory(const std::string& archive) : path_(archive) {}
    std::uint32_t GetEntryCount() const override { return 1; }
    bool IsSubdirectory(std::uint32_t) const override { return true; }
    std::string GetEntryName(std::uint32_t) const override { return "tracks"; }
    std::string GetEntryBaseName(std::uint32_t) const override { return "tracks"; }
    std::string GetEntryExtension(std::uint32_t) const override { return {}; }
    std::string GetEntryQualifiedName(std::uint32_t) const override { return "tracks"; }
    CountedPtr<Ostrel::Trova::FileFactory> GetFileFactory() const override { return {}; }
    PathName GetPathName() const override { return path_; }
    bool IsArchive() const override { return true; }
    std::string GetArchiveSubdirectory() const override { return {}; }

private:
    PathName path_;
};

} // namespace

TEST(TreeNodes, SubdirectoriesAndOpenableArchivesAreWorthANode) {
    TempDir dir;
    ASSERT_TRUE(Platform::MakeDirectory(dir / "tracks"));
    WriteBytes(dir / "CARS.DAT", ArchiveOf({"CAR1.MIP", "CAR2.MIP"}));
    WriteBytes(dir / "notes.dat", {'h', 'e', 'l', 'l', 'o'});
    WriteBytes(dir / "empty.dat", {});
    WriteBytes(dir / "car.mip", {});
    RealDirectory node(dir.Path());
    EXPECT_EQ(TreeWorthyNames(node), (std::set<std::string>{"tracks", "CARS.DAT"}));
    EXPECT_TRUE(HasTreeWorthyEntry(node));
}

TEST(TreeNodes, FilesAloneAreNotWorthANode) {
    TempDir dir;
    WriteBytes(dir / "car.mip", {});
    WriteBytes(dir / "broken.dat", {1, 0, 7});
    EXPECT_FALSE(HasTreeWorthyEntry(RealDirectory(dir.Path())));
    // An archive's members are no files on disk, a DAT member included.
    WriteBytes(dir / "cars.dat", ArchiveOf({"INNER.DAT", "CAR1.MIP"}));
    const RealDirectory container(dir.Path());
    EXPECT_FALSE(
        HasTreeWorthyEntry(*MakeChildNode(container, IndexOf(container, "cars.dat")).directory));
}

TEST(TreeNodes, ChildNodesCarryTheirKindsPictures) {
    TempDir dir;
    ASSERT_TRUE(Platform::MakeDirectory(dir / "tracks"));
    WriteBytes(dir / "Cars.Dat", ArchiveOf({"CAR1.MIP"}));
    RealDirectory container(dir.Path());

    const TreeNode folder = MakeChildNode(container, IndexOf(container, "tracks"));
    EXPECT_EQ(folder.text, "tracks");
    EXPECT_EQ(folder.image, kTreeIconFolder);
    EXPECT_EQ(folder.selectedImage, kTreeIconOpenFolder);
    EXPECT_FALSE(folder.directory->IsArchive());
    EXPECT_EQ(folder.directory->GetPathName().GetFullName(), dir / "tracks");

    const TreeNode archive = MakeChildNode(container, IndexOf(container, "Cars.Dat"));
    EXPECT_EQ(archive.text, "Cars.Dat");
    EXPECT_EQ(archive.image, kTreeIconArchive);
    EXPECT_EQ(archive.selectedImage, kTreeIconOpenArchive);
    ASSERT_TRUE(archive.directory->IsArchive());
    EXPECT_EQ(archive.directory->GetArchiveSubdirectory(), "");
    EXPECT_EQ(archive.directory->GetEntryCount(), 1u);

    const TreeNode inside = MakeChildNode(ArchiveWithDirectory(dir / "Cars.Dat"), 0);
    EXPECT_EQ(inside.text, "tracks");
    EXPECT_EQ(inside.image, kTreeIconArchive);
    EXPECT_EQ(inside.directory->GetArchiveSubdirectory(), "tracks");
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
