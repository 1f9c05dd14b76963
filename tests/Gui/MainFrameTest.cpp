#include "Vellix/Gui/MainFrame.h"
#include "Gui/GuiTestEnvironment.h"
#include "Support/TestSupport.h"
#include "Util/Platform.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/Gui/NavigationBar.h"
#include "Vellix/Gui/QtSettingsStore.h"
#include "Vellix/Gui/VellixApp.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/Gui/VellixTreeView.h"
#include "Vellix/SettingsStore.h"
#include "Vellix/TreeNodes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace Ostrel::Vellix;
using namespace Ostrel::Vellix::Gui;
using namespace Ostrel::Test;

namespace {

QStringList Texts(const QWidget* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? "-" : action->text());
    }
    return texts;
}

QMenu* TopMenu(const CMainFrame& frame, int index) {
    return frame.menuBar()->actions().at(index)->menu();
}

std::string ShownPlace(const CMainFrame& frame) {
    const PseudoDirectory* shown = frame.ListView()->Container();
    return shown ? shown->GetPathName().GetFullName() : "";
}

// Pixels inside the frame that are darker than light grey: the drawn label.
int DarkPixels(const QImage& image) {
    int count = 0;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 1; x < image.width() - 1; ++x) {
            count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return count;
}

class MainFrameTest : public ::testing::Test {
protected:
    MemorySettingsStore settings;
    CMainFrame frame{settings};
};

} // namespace

TEST_F(MainFrameTest, MenusHoldTheirEntriesInOrderWithTheirPromptsInTheStatusBar) {
    EXPECT_EQ(Texts(frame.menuBar()), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(Texts(TopMenu(frame, 0)),
              QStringList({"Convert &To Bmp", "Convert &From Bmp", "Convert to &Mip",
                           "Convert to &Pbf/Stp", "Convert to &Srb", "-", "E&xit"}));
    EXPECT_EQ(Texts(TopMenu(frame, 1)),
              QStringList({"Large &Icons", "&Small Icons", "&List", "&Details", "&Arrange Icons",
                           "-", "&Thumbnails", "Thumbnail &Size", "Show &Hidden Folders",
                           "&Refresh", "-", "&Preview", "Status &Bar"}));
    EXPECT_EQ(Texts(TopMenu(frame, 2)), QStringList({"&About Vellix..."}));

    // The conversion entries are the list view's own actions, so its enabling rules hold.
    EXPECT_EQ(TopMenu(frame, 0)->actions()[1], frame.ListView()->Action(kCommandFromBmp));
    EXPECT_EQ(TopMenu(frame, 1)->actions()[6], frame.ListView()->Action(kCommandThumbnails));

    // The entries' prompts show in the status bar, which says "Ready" otherwise and can be hidden.
    const std::pair<int, const char*> prompts[] = {
        {kCommandLargeIcons, "Display bitmaps by using large icons."},
        {kCommandDetails, "Displays detailed bitmap information."},
        {kCommandThumbnails, "Displays individual thumbnail for each bitmap."}};
    for (const auto& [command, prompt] : prompts) {
        frame.Action(command)->showStatusText(&frame);
        EXPECT_EQ(frame.statusBar()->currentMessage(), prompt);
    }
    frame.statusBar()->clearMessage();
    const auto* idle = frame.statusBar()->findChild<QLabel*>();
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->text(), "Ready");
    frame.show();
    frame.Action(kCommandStatusBar)->trigger();
    EXPECT_FALSE(frame.statusBar()->isVisible());
    frame.Action(kCommandStatusBar)->trigger();
    EXPECT_TRUE(frame.statusBar()->isVisible());
}

TEST_F(MainFrameTest, ViewStylesCarryTheRadioMarkAndArrangeOnlyOnTheGrid) {
    const std::pair<int, int> styles[] = {{kCommandLargeIcons, kStyleIcon},
                                          {kCommandSmallIcons, kStyleSmallIcon},
                                          {kCommandList, kStyleList},
                                          {kCommandDetails, kStyleReport}};
    for (const auto& [command, style] : styles) {
        frame.Action(command)->trigger();
        EXPECT_EQ(frame.ListView()->GetViewStyle(), style);
        for (const auto& [other, unused] : styles) {
            EXPECT_EQ(frame.Action(other)->isChecked(), other == command) << other;
        }
        EXPECT_EQ(frame.Action(kCommandArrange)->isEnabled(),
                  style == kStyleIcon || style == kStyleSmallIcon);
    }
    // A style set elsewhere shows when the menu opens.
    frame.ListView()->SetViewStyle(kStyleSmallIcon);
    emit TopMenu(frame, 1)->aboutToShow();
    EXPECT_TRUE(frame.Action(kCommandSmallIcons)->isChecked());
    EXPECT_TRUE(frame.Action(kCommandArrange)->isEnabled());
}

TEST_F(MainFrameTest, F6AndShiftF6SwitchPanes) {
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.TreeView()->setFocus();
    QTest::keyClick(&frame, Qt::Key_F6);
    EXPECT_TRUE(frame.ListView()->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(&frame, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), frame.TreeView());
}

TEST_F(MainFrameTest, TheNavigationBarGoesBackForwardAndUpAndNarrowsTheList) {
    TempDir dir;
    WriteBmp(dir / "a.bmp", 8);
    WriteBmp(dir / "b.bmp", 8);
    ASSERT_TRUE(Ostrel::Util::Platform::MakeDirectory(dir / "sub"));
    NavigationBar& bar = *frame.Navigation();
    const QLabel* counts = frame.statusBar()->findChildren<QLabel*>().back();
    ASSERT_TRUE(frame.NavigateTo(dir.Path()));
    EXPECT_EQ(bar.PathField()->text().toStdString(), dir.Path());
    EXPECT_EQ(counts->text(), "2 files");
    // The conversion commands follow the list's selection while the tree has the focus too.
    frame.TreeView()->setFocus();
    frame.ListView()->CurrentItemView()->selectAll();
    EXPECT_TRUE(frame.Action(kCommandToMip)->isEnabled());
    EXPECT_FALSE(frame.Action(kCommandToBmp)->isEnabled());
    ASSERT_TRUE(frame.NavigateTo(dir / "sub"));
    const std::pair<QAction*, std::string> steps[] = {{bar.BackAction(), dir.Path()},
                                                      {bar.ForwardAction(), dir / "sub"},
                                                      {bar.UpAction(), dir.Path()},
                                                      {bar.BackAction(), dir / "sub"}};
    for (const auto& [action, place] : steps) {
        action->trigger();
        EXPECT_EQ(ShownPlace(frame), place);
    }
    EXPECT_FALSE(frame.NavigateTo(dir / "missing/x"));
    // A file's path shows its folder with the file selected.
    ASSERT_TRUE(frame.NavigateTo(dir / "b.bmp"));
    EXPECT_EQ(ShownPlace(frame), dir.Path());
    EXPECT_EQ(counts->text(), "2 files, 1 selected");
    bar.FilterField()->setText("A.");
    EXPECT_EQ(frame.ListView()->CurrentItemView()->model()->rowCount(), 1);
    EXPECT_EQ(counts->text(), "1 file");
}

TEST_F(MainFrameTest, HiddenFoldersShowOnlyWhenAskedFor) {
    TempDir dir;
    ASSERT_TRUE(Ostrel::Util::Platform::MakeDirectory(dir / ".cache"));
    ASSERT_TRUE(Ostrel::Util::Platform::MakeDirectory(dir / "cars"));
    CVellixTreeView& tree = *frame.TreeView();
    const auto children = [&] {
        const std::unique_ptr<QTreeWidgetItem> place(tree.AddPlace(dir.Path(), kTreeIconDisk));
        place->setExpanded(true);
        return ChildTexts(place.get());
    };
    EXPECT_EQ(children(), QStringList({"cars"}));
    frame.Action(kCommandShowHidden)->trigger();
    EXPECT_EQ(children(), QStringList({".cache", "cars"}));
}

TEST_F(MainFrameTest, AboutBoxShowsNameAndVersion) {
    QStringList texts; // the title, then the labels
    ModalAnswer<QDialog> about([&](QDialog& box) {
        texts << box.windowTitle();
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            texts << label->text();
        }
        box.findChild<QPushButton*>()->click();
    });
    frame.Action(kCommandAbout)->trigger();
    EXPECT_EQ(texts.value(0), "About Vellix");
    EXPECT_TRUE(texts.contains("Vellix Version 2.0"));
    EXPECT_EQ(texts.filter("Version 2.0.0.0, built on").size(), 1) << texts.join('|').toStdString();
}

// The report reaches the user in a critical message box; what the report says, with or without a
// log, is the abort handlers' own test.
TEST(AbortReport, ShowsTheReportInACriticalBox) {
    const auto box = MakeAbortMessageBox("terminate() called\n\nreport");
    EXPECT_EQ(box->windowTitle(), "Vellix");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), "terminate() called\n\nreport");
}

// Existing settings files keep working: the keys sit under "Settings", and a value that is no
// integer reads as the default.
TEST(QtSettingsStore, KeepsValuesUnderTheSettingsSection) {
    TempDir dir;
    const QString file = QString::fromStdString(dir / "vellix.ini");
    QtSettingsStore(file).WriteInt(kSettingsSection, kSortOrderKey, -61206);
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Settings/SortOrder").toInt(), -61206);
    QSettings(file, QSettings::IniFormat).setValue("Settings/IndividualIcons", "many");
    EXPECT_EQ(QtSettingsStore(file).GetInt(kSettingsSection, kIndividualIconsKey, 1), 1);
    EXPECT_EQ(QtSettingsStore(file).GetString(kSettingsSection, "Other", "none"), "none");
}

TEST(Icons, TypeIconsAreWhiteSquaresBearingTheirKindAndTheTreeStripHasSevenPictures) {
    for (BitmapKind kind : {BitmapKind::Bmp, BitmapKind::Mip, BitmapKind::Pbf, BitmapKind::Srb}) {
        const QImage image = TypeIcon(kind, 32).toImage();
        ASSERT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(QColor(image.pixel(2, 2)), QColor(Qt::white));
        EXPECT_GT(DarkPixels(image), 10);
    }
    EXPECT_EQ(DarkPixels(TypeIcon(BitmapKind::Other, 16).toImage()), 0);
    EXPECT_EQ(TypeIcon(BitmapKind::Mip, 16).size(), QSize(16, 16));
    // The tree's strip: seven pictures, archives green.
    for (int index = 0; index < kTreeIconCount; ++index) {
        EXPECT_FALSE(TreeIcon(index).isNull()) << index;
    }
    EXPECT_TRUE(TreeIcon(kTreeIconCount).isNull());
    const QColor archive(TreeIcon(kTreeIconArchive).pixmap(16).toImage().pixel(7, 10));
    const QColor folder(TreeIcon(kTreeIconFolder).pixmap(16).toImage().pixel(7, 10));
    EXPECT_GT(archive.green(), archive.red());
    EXPECT_GT(folder.red(), folder.blue());
    EXPECT_FALSE(ApplicationIcon().isNull());
}

// The view is remembered through the settings file from one run of the main window to the next
// (what the list view keeps of itself: ListViewTest).
TEST(MainFrameRestart, TheViewTheFolderTheWindowAndItsSplitterSurviveARestart) {
    TempDir dir;
    const QString file = QString::fromStdString(dir / "Vellix.ini");
    QByteArray splitter;
    {
        QtSettingsStore store(file);
        CMainFrame frame(store);
        frame.show();
        frame.resize(900, 500);
        frame.Splitter()->setSizes({200, 700});
        splitter = frame.Splitter()->saveState();
        frame.Action(kCommandLargeIcons)->trigger();
        ASSERT_TRUE(frame.NavigateTo(dir.Path()));
    }
    QtSettingsStore store(file);
    CMainFrame frame(store);
    EXPECT_EQ(ShownPlace(frame), dir.Path());
    EXPECT_EQ(frame.size(), QSize(900, 500));
    EXPECT_EQ(frame.Splitter()->saveState(), splitter);
    EXPECT_EQ(frame.ListView()->GetViewStyle(), kStyleIcon);
    EXPECT_TRUE(frame.Action(kCommandLargeIcons)->isChecked());
}
