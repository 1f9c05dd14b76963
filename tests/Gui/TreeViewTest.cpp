#include "Gui/GuiTestEnvironment.h"
#include "Support/TestSupport.h"
#include "Vellix/Gui/VellixTreeView.h"
#include "Vellix/TreeNodes.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace Ostrel::Vellix;
using namespace Ostrel::Vellix::Gui;
using namespace Ostrel::Test;

namespace {

QTreeWidgetItem* Child(const QTreeWidgetItem* item, const QString& text) {
    return item->child(static_cast<int>(ChildTexts(item).indexOf(text)));
}

bool HasPlaceholder(const QTreeWidgetItem* item) {
    return item->childCount() == 1 && item->child(0)->text(0).isEmpty() &&
           !CVellixTreeView::DirectoryOf(item->child(0));
}

// A game directory: an archive in capitals, a directory with a folder in it, a directory of plain
// files and a file that only looks like an archive.
class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir / "CARS.DAT", ArchiveOfNames({"CAR1.MIP", "CAR2.MIP"}));
        WriteBytes(dir / "fake.dat", {'n', 'o'});
        std::filesystem::create_directories(dir / "tracks/monza");
        std::filesystem::create_directories(dir / "plain");
        WriteBytes(dir / "plain/car.mip", {});
        place = tree.AddPlace(dir.Path(), kTreeIconDisk);
        ASSERT_NE(place, nullptr);
    }

    TempDir dir;
    CVellixTreeView tree;
    QTreeWidgetItem* place = nullptr;
};

} // namespace

TEST_F(TreeViewTest, ExpandingListsFoldersAndArchivesInOrder) {
    EXPECT_TRUE(HasPlaceholder(place));
    place->setExpanded(true);
    EXPECT_EQ(ChildTexts(place), QStringList({"CARS.DAT", "plain", "tracks"}));

    QTreeWidgetItem* archive = Child(place, "CARS.DAT");
    EXPECT_EQ(archive->data(0, CVellixTreeView::kImageRole).toInt(), kTreeIconArchive);
    EXPECT_EQ(archive->data(0, CVellixTreeView::kSelectedImageRole).toInt(), kTreeIconOpenArchive);
    ASSERT_TRUE(CVellixTreeView::DirectoryOf(archive)->IsArchive());

    // Which picture each kind of node takes is the tree nodes' own test.
    EXPECT_TRUE(HasPlaceholder(Child(place, "tracks")));
    EXPECT_EQ(Child(place, "plain")->childCount(), 0); // files only, as in archives: no button
}

// Each expansion reads the disk afresh; collapsing drops the archives nobody holds, so that only a
// fresh read of an archive replaced on disk sees its third member.
TEST_F(TreeViewTest, ExpandingAndCollapsingFollowWhatIsOnDiskNow) {
    place->setExpanded(true);
    EXPECT_EQ(CVellixTreeView::DirectoryOf(Child(place, "CARS.DAT"))->GetEntryCount(), 2u);
    place->setExpanded(false);
    EXPECT_TRUE(HasPlaceholder(place));
    std::filesystem::create_directories(dir / "new folder/sub");
    std::filesystem::remove_all(dir / "plain");
    WriteBytes(dir / "next.dat", ArchiveOfNames({"CAR1.MIP", "CAR2.MIP", "CAR3.MIP"}));
    std::filesystem::rename(dir / "next.dat", dir / "CARS.DAT");
    place->setExpanded(true);
    EXPECT_EQ(ChildTexts(place), QStringList({"CARS.DAT", "new folder", "tracks"}));
    EXPECT_EQ(CVellixTreeView::DirectoryOf(Child(place, "CARS.DAT"))->GetEntryCount(), 3u);

    // A collapsed directory node keeps its button only while something is worth showing.
    QTreeWidgetItem* tracks = Child(place, "tracks");
    tracks->setExpanded(true);
    std::filesystem::remove(dir / "tracks/monza");
    tracks->setExpanded(false);
    EXPECT_EQ(tracks->childCount(), 0);

    // Expanding a node whose contents went away leaves it closed.
    QTreeWidgetItem* folder = Child(place, "new folder");
    ASSERT_TRUE(HasPlaceholder(folder));
    std::filesystem::remove(dir / "new folder/sub");
    QSignalSpy collapsed(&tree, &QTreeWidget::itemCollapsed);
    folder->setExpanded(true);
    EXPECT_FALSE(folder->isExpanded());
    EXPECT_EQ(folder->childCount(), 0);
    EXPECT_EQ(collapsed.count(), 0);

    // A top-level place keeps its button whatever is on disk.
    for (const char* name : {"CARS.DAT", "fake.dat", "tracks", "new folder"}) {
        std::filesystem::remove_all(dir / name);
    }
    place->setExpanded(false);
    EXPECT_TRUE(HasPlaceholder(place));
}

TEST_F(TreeViewTest, SelectionReachesTheListAndNeverOutlivesItsNode) {
    std::vector<PseudoDirectory*> shown;
    QObject::connect(&tree, &CVellixTreeView::ContainerSelected,
                     [&](PseudoDirectory* container) { shown.push_back(container); });
    tree.show();
    place->setExpanded(true);
    QTreeWidgetItem* archive = Child(place, "CARS.DAT");
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(archive).center());
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), CVellixTreeView::DirectoryOf(archive));

    // Collapsing the parent deletes the selected node: the list is given the parent instead.
    place->setExpanded(false);
    EXPECT_EQ(shown.back(), CVellixTreeView::DirectoryOf(place));
}

TEST_F(TreeViewTest, SelectPathOpensTheNodesOnTheWay) {
    EXPECT_TRUE(tree.SelectPath(dir / "tracks/monza"));
    EXPECT_EQ(tree.currentItem()->text(0), "monza");
    EXPECT_TRUE(Child(place, "tracks")->isExpanded());
    EXPECT_TRUE(tree.SelectPath(dir / "CARS.DAT"));
    EXPECT_EQ(tree.currentItem()->text(0), "CARS.DAT");
}
