#include "Gui/GuiTestEnvironment.h"
#include "Support/TestSupport.h"
#include "Trova/DIB.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/Gui/ConversionCommands.h"
#include "Vellix/Gui/FileListModel.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/Gui/OptionDialogs.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

using namespace Ostrel;
using namespace Ostrel::Vellix;
using namespace Ostrel::Vellix::Gui;
using namespace Ostrel::Test;

namespace {

// Red, green and blue levels in turn, so that a thumbnail tells which level it came from.
void WriteMip(const std::string& path, std::uint32_t height, std::uint32_t width,
              std::uint32_t levels) {
    WriteLevels({height, width, 8, 8, 8, 8, 0, false, 16, false, false, false, levels, 0, 8, 0},
                {{kRed}, {kGreen}, {kBlue}}, path);
}

void WritePbf(const std::string& path) {
    Trova::GPLPbfFile pbf(4, 4, 4, 4, 2, false, 16);
    pbf.SetBitmap(Util::CountedPtr<Trova::Bitmap>(new Trova::BitmapSimple(2, 2)));
    pbf.Write(Util::CreateNew(path));
}

// The texts of one column in list order.
std::vector<std::string> ColumnTexts(const CVellixListView& view, int column) {
    std::vector<std::string> texts;
    const auto* model = view.CurrentItemView()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        texts.push_back(model->index(row, column).data().toString().toStdString());
    }
    return texts;
}

std::set<std::string> Listing(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : Util::Platform::ListDirectory(directory)) {
        names.insert(entry.name);
    }
    return names;
}

void SelectRows(CVellixListView& view, const std::vector<int>& rows) {
    QAbstractItemView* items = view.CurrentItemView();
    items->selectionModel()->clearSelection();
    for (int row : rows) {
        items->selectionModel()->select(items->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void ClickColumn(const CVellixListView& view, int column) {
    QHeaderView* header = view.DetailsView()->header();
    const QPoint point(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, point);
}

// One tick of the view's refresh poll, given as its timer gives it while it runs: the test decides
// when the poll looks at the (injected) clock, instead of waiting for it.
void TickRefresh(const CVellixListView& view) {
    auto* poll = view.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    if (poll->isActive()) {
        QTimerEvent tick(poll->timerId());
        QCoreApplication::sendEvent(poll, &tick);
    }
}

// Opens the context menu over a row and returns the texts of its entries (separators empty).
std::vector<std::string> ContextMenuTexts(CVellixListView& view, int row) {
    std::vector<std::string> texts;
    ModalAnswer<QMenu> menu([&](QMenu& shown) {
        for (const QAction* action : shown.actions()) {
            texts.push_back(action->text().toStdString());
        }
        shown.close();
    });
    QAbstractItemView* items = view.CurrentItemView();
    const QPoint point = items->visualRect(items->model()->index(row, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, items->viewport()->mapToGlobal(point));
    QApplication::sendEvent(items->viewport(), &event);
    return texts;
}

// One file of each listed kind, a file of another kind and a subdirectory.
struct MixedDirectory {
    MixedDirectory() {
        WriteBmp(dir / "a.bmp", 4);
        WriteMip(dir / "b.MIP", 64, 64, 3);
        WriteMip(dir / "c.m16", 8, 32, 2);
        WritePbf(dir / "d.stp");
        WriteSrb(dir / "f.srb", 8);
        WriteBytes(dir / "e.txt", {'x'});
        Util::Platform::MakeDirectory(dir / "sub");
    }
    TempDir dir;
};

class ListViewTest : public ::testing::Test {
protected:
    MemorySettingsStore store;
};

} // namespace

// Filled at once with the type icons; the thumbnails, of the smallest level covering the icon
// (32 x 32, level 1 of b.MIP), arrive from the workers. A file that cannot be read is listed with
// its message among the others and takes part in no command.
TEST_F(ListViewTest, ListsTheBitmapsOfADirectoryWithTheirPropertiesAndThumbnails) {
    MixedDirectory files;
    const std::string broken = "broken_texture_of_the_long_straight.mip";
    WriteBytes(files.dir / broken, {'n', 'o', 't', ' ', 'a', ' ', 'm', 'i', 'p'});
    RealDirectory directory(files.dir.Path());
    CVellixListView view(store);
    QAbstractItemModelTester tester(view.CurrentItemView()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy made(&view, &CVellixListView::ThumbnailsMade);
    view.ShowContainer(&directory);
    EXPECT_EQ(view.CurrentItemView(), view.DetailsView());
    EXPECT_EQ(ColumnTexts(view, 0),
              (std::vector<std::string>{"a.bmp", "b.MIP", broken, "c.m16", "d.stp", "f.srb"}));
    EXPECT_EQ(ColumnTexts(view, 2), (std::vector<std::string>{"1", "3", "", "2", "1", "1"}));
    const auto* model = view.CurrentItemView()->model();
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), "Width");
    EXPECT_EQ(model->headerData(FileListModel::kErrorColumn, Qt::Horizontal).toString(), "Error");
    const std::string message = ColumnTexts(view, FileListModel::kErrorColumn)[2];
    EXPECT_NE(message.find(broken), std::string::npos) << message;
    const QModelIndex item = model->index(2, 0);
    EXPECT_EQ(item.data(Qt::ToolTipRole).toString().toStdString(), message);
    EXPECT_FALSE(item.data(Qt::DecorationRole).value<QIcon>().isNull());
    // The name column is wide enough for the longest name.
    EXPECT_GE(view.DetailsView()->header()->sectionSize(0),
              static_cast<QAbstractItemView*>(view.DetailsView())->sizeHintForColumn(0));
    SelectRows(view, {1, 2});
    EXPECT_FALSE(view.Action(kCommandToBmp)->isEnabled());

    ASSERT_EQ(view.LargeIconSize(), QSize(32, 32));
    ASSERT_TRUE(made.count() == 1 || made.wait(10000));
    const auto iconCentre = [&] {
        const QIcon icon = model->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
        return icon.pixmap(view.LargeIconSize()).toImage().pixel(16, 16);
    };
    EXPECT_EQ(iconCentre(), qRgb(0, 255, 0));
    // A large directory shows its names at once; workers read the columns, and the sort by a
    // column follows when they are all in.
    view.SetSummariesAtOnce(0);
    emit view.DetailsView()->header()->sectionClicked(3); // "Width"
    emit view.DetailsView()->header()->sectionClicked(3); // descending
    view.ShowContainer(&directory);
    EXPECT_THAT(ColumnTexts(view, 0), ::testing::UnorderedElementsAre("a.bmp", "b.MIP", broken,
                                                                      "c.m16", "d.stp", "f.srb"));
    EXPECT_EQ(ColumnTexts(view, 3), std::vector<std::string>(6, ""));
    ASSERT_TRUE(made.wait(10000));
    EXPECT_EQ(ColumnTexts(view, 3), (std::vector<std::string>{"64", "32", "8", "4", "2", ""}));
    // Switching thumbnails off takes effect at once.
    view.Action(kCommandThumbnails)->trigger();
    EXPECT_EQ(iconCentre(), TypeIcon(BitmapKind::Mip, 32).toImage().pixel(16, 16));
    // The filter and a second filling keep the model sound.
    view.SetNameFilter("MIP");
    EXPECT_EQ(ColumnTexts(view, 0), (std::vector<std::string>{"b.MIP", broken}));
    view.ShowContainer(&directory);
    EXPECT_EQ(view.CurrentItemView()->model()->rowCount(), 2);
    view.ShowContainer(nullptr);
    EXPECT_EQ(view.CurrentItemView()->model()->rowCount(), 0);
}

// The commands and the context menu follow the kinds of the selection. Files drag out as file
// URLs, an archive's members as copies; a picture dropped on a game file goes back into it through
// "Convert From Bmp", and a picture of another file is refused.
TEST_F(ListViewTest, CommandsFollowTheSelectionAndPicturesDragInAndOut) {
    MixedDirectory files; // rows: a.bmp, b.MIP, c.m16, d.stp, f.srb
    Util::Platform::MakeDirectory(files.dir / "edits");
    WriteBmp(files.dir / "edits/b.bmp", 64);
    WriteBmp(files.dir / "edits/x.bmp", 64);
    RealDirectory directory(files.dir.Path());
    CVellixListView view(store);
    view.resize(800, 300);
    view.show();
    view.ShowContainer(&directory);
    // The conversions enabled, in the menu's order: to Bmp, from Bmp, to Mip, to Pbf, to Srb.
    const auto enabled = [&] {
        std::string flags;
        for (int command :
             {kCommandToBmp, kCommandFromBmp, kCommandToMip, kCommandToPbf, kCommandToSrb}) {
            flags += view.Action(command)->isEnabled() ? 'x' : '-';
        }
        return flags;
    };
    EXPECT_EQ(enabled(), "-----");
    SelectRows(view, {1, 3, 4}); // any mix of game files makes pictures
    EXPECT_EQ(enabled(), "x----");
    EXPECT_EQ(view.Action(kCommandToMip)->statusTip(),
              "Select only BMP or PNG files to make new game files");
    // The context menu: the commands, then the file itself only for one file on disk.
    std::vector<std::string> menu{"Convert &To Bmp", "Convert &From Bmp", "Convert to &Mip",
                                  "Convert to &Pbf/Stp", "Convert to &Srb"};
    SelectRows(view, {1, 2});
    EXPECT_EQ(ContextMenuTexts(view, 1), menu);
    menu.insert(menu.end(), {"", "Open", "Show in Folder"});
    SelectRows(view, {1});
    EXPECT_EQ(ContextMenuTexts(view, 1), menu);
    SelectRows(view, {0});
    EXPECT_EQ(enabled(), "--xxx");

    QAbstractItemView* items = view.CurrentItemView();
    const std::unique_ptr<QMimeData> drag(
        items->model()->mimeData({items->model()->index(0, 0), items->model()->index(2, 3)}));
    EXPECT_EQ(drag->urls(),
              (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(files.dir / "a.bmp")),
                           QUrl::fromLocalFile(QString::fromStdString(files.dir / "c.m16"))}));
    EXPECT_FALSE(items->model()->canDropMimeData(drag.get(), Qt::CopyAction, -1, -1,
                                                 items->model()->index(0, 0)));

    const auto drop = [&](const std::string& picture, int row) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(picture))});
        const QPoint at = items->visualRect(items->model()->index(row, 0)).center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(items->viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(items->viewport(), &move);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(items->viewport(), &dropped);
        return dropped.isAccepted();
    };
    const auto before = ReadBytes(files.dir / "b.MIP");
    MessageBoxAnswer refusal;
    ModalAnswer<CMipFromBmpDlg> options([](CMipFromBmpDlg& dialog) {
        for (Control control : {Control::NoTransparency, Control::Overwrite}) {
            qobject_cast<QAbstractButton*>(dialog.ControlWidget(control))->click();
        }
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(drop(files.dir / "edits/x.bmp", 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return refusal.count == 1; }, 10000));
    EXPECT_NE(refusal.text.find("is no picture of b.MIP"), std::string::npos) << refusal.text;
    EXPECT_EQ(ReadBytes(files.dir / "b.MIP"), before);
    EXPECT_TRUE(drop(files.dir / "edits/b.bmp", 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadBytes(files.dir / "b.MIP") != before; }, 10000));
    EXPECT_EQ(options.count, 1);
    EXPECT_EQ(view.GetSelection(), (std::vector<std::size_t>{1}));

    // An archive's members come from the archive alone, and one drags as a copy of its bytes.
    WriteBytes(files.dir / "cars.dat", ArchiveBytes({{"car1.mip", ReadBytes(files.dir / "c.m16")},
                                                     {"sky.pbf", ReadBytes(files.dir / "d.stp")},
                                                     {"notes.txt", {'n'}}}));
    DatDirectory archive(files.dir / "cars.dat", "");
    view.ShowContainer(&archive);
    EXPECT_EQ(ColumnTexts(view, 0), (std::vector<std::string>{"car1.mip", "sky.pbf"}));
    const std::unique_ptr<QMimeData> member(
        items->model()->mimeData({items->model()->index(0, 0)}));
    ASSERT_EQ(member->urls().size(), 1);
    const std::string copy = member->urls()[0].toLocalFile().toStdString();
    EXPECT_EQ(Util::PathName(copy).GetFileName(), "car1.mip");
    EXPECT_EQ(ReadBytes(copy), ReadBytes(files.dir / "c.m16"));
    view.ShowContainer(nullptr);
}

// An unknown stored style shows the details; every style shows the same items and selection;
// column clicks sort; the order, the style and the column widths outlive the view.
TEST_F(ListViewTest, StylesAndColumnClicksShowTheSameItemsAndOutliveTheView) {
    MixedDirectory files;
    RealDirectory directory(files.dir.Path());
    store.WriteInt(kSettingsSection, kViewStyleKey, 9);
    {
        CVellixListView view(store);
        EXPECT_EQ(view.GetViewStyle(), kStyleReport);
        view.resize(800, 300);
        view.show();
        view.ShowContainer(&directory);
        ClickColumn(view, 2); // "Levels"
        ClickColumn(view, 2); // descending
        EXPECT_EQ(ColumnTexts(view, 2), (std::vector<std::string>{"3", "2", "1", "1", "1"}));
        view.DetailsView()->header()->resizeSection(4, 77);
        SelectRows(view, {2});
        const struct {
            int style;
            QListView::ViewMode mode;
            QListView::Flow flow;
            int icon;
        } styles[] = {{kStyleSmallIcon, QListView::ListMode, QListView::LeftToRight, 16},
                      {kStyleList, QListView::ListMode, QListView::TopToBottom, 16},
                      {kStyleIcon, QListView::IconMode, QListView::LeftToRight, 32}};
        for (const auto& each : styles) {
            view.SetViewStyle(each.style);
            auto* icons = qobject_cast<QListView*>(view.CurrentItemView());
            ASSERT_NE(icons, nullptr);
            EXPECT_EQ(icons->viewMode(), each.mode);
            EXPECT_EQ(icons->flow(), each.flow);
            EXPECT_EQ(icons->iconSize(), QSize(each.icon, each.icon));
            EXPECT_EQ(view.GetSelection(), (std::vector<std::size_t>{view.GetListOrder()[2]}));
        } // ends with the large icons
    }
    CVellixListView again(store);
    again.ShowContainer(&directory);
    EXPECT_EQ(ColumnTexts(again, 0).front(), "b.MIP");
    EXPECT_EQ(again.GetViewStyle(), kStyleIcon);
    EXPECT_EQ(again.DetailsView()->header()->sortIndicatorSection(), 2);
    EXPECT_EQ(again.DetailsView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(again.DetailsView()->header()->sectionSize(4), 77);
    EXPECT_NE(again.CurrentItemView(), again.DetailsView()); // the icons, shown at once
}

// Cancelled in its dialog, the command writes nothing; accepted, it writes every level of any mix
// of game files, remembers the options and reports what it wrote. Again without overwriting, the
// first file fails and the failure is shown.
TEST_F(ListViewTest, ConvertToBmpAsksForOptionsAndWritesEveryLevel) {
    MixedDirectory files; // rows: a.bmp, b.MIP, c.m16, d.stp, f.srb
    RealDirectory directory(files.dir.Path());
    CVellixListView view(store);
    view.ShowContainer(&directory);
    SelectRows(view, {1, 3, 4});
    bool accept = false;
    ModalAnswer<CMipBmpDlg> dialog([&](CMipBmpDlg& options) {
        if (!accept) {
            return options.reject();
        }
        qobject_cast<QAbstractButton*>(options.ControlWidget(Control::AllLevels))->click();
        options.accept();
    });
    MessageBoxAnswer failure;
    ConversionReport report;
    QObject::connect(&view, &CVellixListView::ConversionReported,
                     [&](const ConversionReport& made) { report = made; });
    const std::set<std::string> before = Listing(files.dir.Path());
    view.Action(kCommandToBmp)->trigger();
    EXPECT_EQ(Listing(files.dir.Path()), before);
    EXPECT_TRUE(store.GetWrites().empty());

    accept = true;
    view.Action(kCommandToBmp)->trigger();
    std::set<std::string> expected = before;
    expected.insert({"b.bmp", "b_ti.bmp", "b_1.bmp", "b_1_ti.bmp", "b_2.bmp", "b_2_ti.bmp", "d.bmp",
                     "d_ti.bmp", "f.bmp", "f_ti.bmp"});
    EXPECT_EQ(Listing(files.dir.Path()), expected);
    EXPECT_EQ(store.GetInt(kSettingsSection, "MipBmpAllLevels", 0), 1);
    EXPECT_EQ(report.folder.toStdString(), files.dir.Path());
    EXPECT_TRUE(report.text.startsWith("Wrote ")) << report.text.toStdString();

    view.Action(kCommandToBmp)->trigger();
    EXPECT_EQ(failure.count, 1); // none for the conversion before
    EXPECT_EQ(failure.caption, "Vellix");
    EXPECT_NE(failure.text.find("b.bmp"), std::string::npos) << failure.text;
}

TEST_F(ListViewTest, ACancelledConversionLeavesOnlyCompleteFiles) {
    TempDir dir;
    constexpr int kFiles = 12;
    for (int file = 0; file < kFiles; ++file) {
        WriteMip(dir / ("t" + std::to_string(file) + ".mip"), 256, 256, 9);
    }
    RealDirectory directory(dir.Path());
    CVellixListView view(store);
    view.ShowContainer(&directory);
    view.CurrentItemView()->selectAll();
    ModalAnswer<CMipBmpDlg> dialog([](CMipBmpDlg& options) {
        qobject_cast<QAbstractButton*>(options.ControlWidget(Control::AllLevels))->click();
        options.accept();
    });
    ModalAnswer<QProgressDialog> progress(
        [](QProgressDialog& shown) { shown.findChild<QPushButton*>()->click(); });
    ConversionReport report;
    QObject::connect(&view, &CVellixListView::ConversionReported,
                     [&](const ConversionReport& made) { report = made; });
    view.Action(kCommandToBmp)->trigger();
    EXPECT_TRUE(report.text.endsWith("cancelled")) << report.text.toStdString();
    std::set<std::string> pictures;
    for (const std::string& name : Listing(dir.Path())) {
        if (name.ends_with(".bmp")) {
            pictures.insert(name);
            EXPECT_NO_THROW(Trova::DIB(dir / name)) << name; // complete, or not there at all
        } else {
            EXPECT_TRUE(name.ends_with(".mip")) << name; // no temporary file stays
        }
    }
    // Stopped after the file at hand: fewer than every file's nine levels and their masks.
    EXPECT_LT(pictures.size(), static_cast<std::size_t>(kFiles * 18));
}

TEST_F(ListViewTest, ANewGameFileReplacesAnExistingOneOnlyWhenTheUserSaysSo) {
    for (const QString answer : {"&Skip", "Cancel", "&Replace"}) {
        TempDir dir;
        WriteBmp(dir / "sign.bmp", 8);
        WriteBmp(dir / "sign_ti.bmp", 8);
        WriteBytes(dir / "sign.mip", {'o', 'l', 'd'});
        RealDirectory directory(dir.Path());
        CVellixListView view(store);
        view.ShowContainer(&directory);
        ASSERT_TRUE(view.SelectEntry("sign.bmp"));
        ModalAnswer<CBmpMipDlg> dialog([](CBmpMipDlg& options) { options.accept(); });
        MessageBoxAnswer question(answer);
        view.Action(kCommandToMip)->trigger();
        ASSERT_EQ(question.count, 1) << answer.toStdString();
        EXPECT_NE(question.text.find("sign.mip exists already"), std::string::npos);
        EXPECT_EQ(ReadBytes(dir / "sign.mip").size() != 3, answer == "&Replace")
            << answer.toStdString();
    }
}

// A burst of change reports refills the list once, a quiet time after the last report for the
// directory shown; a new file on disk arrives the same way, reported by the real watch.
TEST_F(ListViewTest, ChangeReportsRefillTheListOnceAfterTheQuietTime) {
    TempDir dir;
    WriteBmp(dir / "a.bmp", 4);
    RealDirectory directory(dir.Path());
    RealDirectory other(dir.Path());
    std::uint32_t now = 5000;
    CVellixListView view(store);
    ASSERT_EQ(view.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    view.SetClock([&] { return now; });
    view.ShowContainer(&directory);
    QSignalSpy fills(&view, &CVellixListView::Filled);
    // The reports arrive on the watch service's thread.
    const auto report = [&](RealDirectory* changed) {
        std::thread([&view, changed] { view.PostDirectoryChanged(changed); }).join();
        QCoreApplication::sendPostedEvents();
    };
    for (int change = 0; change < 5; ++change) {
        report(&directory);
        now += 100;
    }
    report(&other); // a directory that is not shown: no change
    now = 5400 + 999;
    TickRefresh(view);
    EXPECT_EQ(fills.count(), 0);
    now = 5400 + 1000;
    TickRefresh(view);
    EXPECT_EQ(fills.count(), 1);
    // Written again until the watch, which opens on the service's own thread, has reported it a
    // quiet time ago.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        WriteBmp(dir / "b.bmp", 4);
        now += 1000;
        TickRefresh(view);
        return fills.count() == 2;
    }));
    EXPECT_EQ(ColumnTexts(view, 0), (std::vector<std::string>{"a.bmp", "b.bmp"}));
}
