#pragma once

// The right-hand pane: the bitmap files of the container selected in the tree, in one of four
// styles, as type icons or thumbnails, sortable by any column of the details view, with the five
// conversion commands for the selected files. What is listed, the column texts, the sort keys and
// the command rules are those of the list logic; this view only draws them.

#include <QAction>
#include <QWidget>

#include "Vellix/BitmapList.h"
#include "Vellix/FileChangeNotifier.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QStandardItemModel;
class QTimer;
class QTreeView;

namespace Ostrel::Vellix {
class ConversionBatch;
class PseudoDirectory;
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class RecordSortModel;

// View styles (kStyleIcon...) and command ids (kCommandToBmp...) are those of
// Vellix/BitmapList.h.

class CVellixListView : public QWidget, public DirectoryChangeReceiver {
    Q_OBJECT
public:
    // Reads "SortOrder", "ViewStyle", "IndividualIcons" from settings; registers itself as the
    // receiver of directory-change reports.
    explicit CVellixListView(SettingsStore& settings, QWidget* parent = nullptr);
    // Writes the three settings; withdraws the registration.
    ~CVellixListView() override;

    // The container selected in the tree (not owned; null shows nothing). Fills the list.
    void ShowContainer(PseudoDirectory* container);

    int GetViewStyle() const;
    void SetViewStyle(int style);
    // Lines the icons up on the grid (icon and small-icon styles only).
    void Arrange();

    // The actions of the five conversion commands and of "&Thumbnails", with their menu texts;
    // the view keeps their enabled and checked states current for the selection, so the main
    // menu and the context menu can both hold them whichever pane has the focus.
    QAction* Action(int commandId) const;

    // The records of the listed files in entry order; the items show them sorted.
    const std::vector<FileRecord>& GetRecords() const { return records_; }
    // The record indices of the selected items, in list order.
    std::vector<std::size_t> GetSelection() const;
    // The record indices in list order.
    std::vector<std::size_t> GetListOrder() const;
    int GetSortOrder() const { return settings_.sortOrder; }
    bool HasIndividualIcons() const { return settings_.individualIcons; }
    // The item view of the current style, and the details view whose header sorts.
    QAbstractItemView* CurrentItemView() const;
    QTreeView* DetailsView() const { return details_; }
    QStandardItemModel* ItemModel() const { return model_; }
    QSize LargeIconSize() const { return largeIcon_; }
    QSize SmallIconSize() const { return smallIcon_; }
    // The millisecond clock of the delayed refresh.
    void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

    // Called on the watch service's thread: hands the report over to this view's thread, where
    // a report for the shown directory schedules its refresh.
    void PostDirectoryChanged(RealDirectory* directory) override;

signals:
    // After each filling of the list, by a selection or a refresh.
    void Filled();

private:
    void OnDirectoryChanged(const RealDirectory* directory);
    void OnRefreshTick();

    void Fill();
    void AddRow(const FileRecord& record);
    QIcon ItemIcon(const FileRecord& record) const;
    void Sort();
    void OnColumnClicked(int column);
    void UpdateCommands();
    void ShowContextMenu(const QPoint& position);
    void RunCommand(int commandId);
    void Convert(int commandId, ConversionBatch& batch);
    template <typename DialogT> void ConvertWith(ConversionBatch& batch);
    std::uint32_t CurrentEntryIndex(const FileRecord& record) const;
    QString FilePath(std::size_t record) const;
    std::size_t RecordOfRow(int row) const;
    void ShowError(const std::string& message);

    SettingsStore& store_;
    ListViewSettings settings_;
    PseudoDirectory* container_ = nullptr;
    std::vector<FileRecord> records_;
    QSize largeIcon_;
    QSize smallIcon_;
    QStandardItemModel* model_;
    RecordSortModel* sorter_;
    QStackedWidget* stack_;
    QListView* icons_;
    QTreeView* details_;
    std::map<int, QAction*> actions_;
    RefreshSchedule schedule_;
    QTimer* refreshTimer_;
    std::function<std::uint32_t()> clock_;
};

} // namespace Ostrel::Vellix::Gui
