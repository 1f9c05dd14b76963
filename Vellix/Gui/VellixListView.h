#pragma once

// The right-hand pane: the bitmap files of the container selected in the tree, in one of four
// styles, as type icons or thumbnails, sortable by any column of the details view, with the five
// conversion commands for the selected files. A file that cannot be read is listed with its
// message. What is listed, the column texts, the sort keys and
// the command rules are those of the list logic; this view only draws them.

#include <QAction>
#include <QUrl>
#include <QWidget>

#include "Vellix/BitmapList.h"
#include "Vellix/FileChangeNotifier.h"
#include "Vellix/Gui/ListedFileQueue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QTemporaryDir;
class QTimer;
class QTreeView;

namespace Ostrel::Vellix {
class PseudoDirectory;
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class ConversionCommands;
struct ConversionReport;
struct Selection;
class FileListModel;
class FileSortModel;
class ListedFileQueue;

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

    // The container selected in the tree (not owned; null shows nothing). Fills the list at
    // once with type icons; the thumbnails follow as they are made. A directory of more files
    // than SetSummariesAtOnce allows is listed by names first, their columns following as
    // worker threads read them.
    void ShowContainer(PseudoDirectory* container);
    PseudoDirectory* Container() const { return container_; }

    int GetViewStyle() const;
    void SetViewStyle(int style);
    // Lines the icons up on the grid (icon and small-icon styles only).
    void Arrange();
    // Narrows the list to the files whose name holds text, case ignored.
    void SetNameFilter(const QString& text);
    // The side of the large icons and their thumbnails; the thumbnails are made again.
    void SetThumbnailSize(int side);
    // Selects the listed file of that name and gives the list the focus; false when none.
    bool SelectEntry(const QString& name);

    // The actions of the five conversion commands and of "&Thumbnails", with their menu texts;
    // the view keeps their enabled and checked states current for the selection, so the main
    // menu and the context menu can both hold them whichever pane has the focus.
    QAction* Action(int commandId) const;

    // The listed files in entry order; the views show them sorted and filtered.
    const FileListModel& Files() const { return *files_; }
    // The row indices (into Files) of the selected items, in list order.
    std::vector<std::size_t> GetSelection() const;
    // The row indices in list order.
    std::vector<std::size_t> GetListOrder() const;
    int GetSortOrder() const { return settings_.sortOrder; }
    bool HasIndividualIcons() const { return settings_.individualIcons; }
    // The item view of the current style, and the details view whose header sorts.
    QAbstractItemView* CurrentItemView() const;
    QTreeView* DetailsView() const { return details_; }
    QSize LargeIconSize() const { return largeIcon_; }
    QSize SmallIconSize() const { return smallIcon_; }
    // Directories of up to count files (and archives) are listed with all their columns at once.
    void SetSummariesAtOnce(std::uint32_t count) { summariesAtOnce_ = count; }
    // The millisecond clock of the delayed refresh.
    void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }
    // Lists the shown directory again as it is on disk now.
    void Refresh();

    // Called on the watch service's thread: hands the report over to this view's thread, where
    // a report for the shown directory schedules its refresh.
    void PostDirectoryChanged(const PseudoDirectory* directory) override;

signals:
    // After each filling of the list, by a selection or a refresh.
    void Filled();
    // When the columns and thumbnails of the last filling are all in.
    void ThumbnailsMade();
    // When the selection or the listed files change.
    void SelectionChanged();
    // After each conversion: what it wrote and where.
    void ConversionReported(const Ostrel::Vellix::Gui::ConversionReport& report);

private:
    void OnDirectoryChanged(const PseudoDirectory* directory);
    void OnRefreshTick();

    void Fill();
    void RestoreColumnWidths();
    void WidenNameColumn();
    QIcon KindIcon(BitmapKind kind);
    void StartQueue();
    void OnSummarised(const RowSummaries& summaries);
    void OnQueueFinished();
    void OnThumbnailMade(std::size_t row, const QImage& large, const QImage& small);
    void Sort();
    void OnColumnClicked(int column);
    void UpdateCommands();
    void ShowContextMenu(const QPoint& position);
    BitmapKind CommandKind(std::size_t row) const;
    Selection SelectedFiles() const;
    void OnConverting(bool converting);
    std::uint32_t CurrentEntryIndex(const FileSummary& file) const;
    QString FilePath(std::size_t row) const;
    std::size_t RowOf(int listRow) const;
    QList<QUrl> DragUrls(const std::vector<std::size_t>& rows);
    void OnPictureDropped(std::size_t row, const QString& picture);

    SettingsStore& store_;
    ListViewSettings settings_;
    PseudoDirectory* container_ = nullptr;
    QSize largeIcon_;
    QSize smallIcon_;
    FileListModel* files_;
    FileSortModel* sorter_;
    ListedFileQueue* queue_;
    std::uint32_t summariesAtOnce_;
    std::map<BitmapKind, QIcon> kindIcons_;
    QStackedWidget* stack_;
    QListView* icons_;
    QTreeView* details_;
    ConversionCommands* commands_;
    RefreshSchedule schedule_;
    QTimer* refreshTimer_;
    bool converting_ = false;
    std::function<std::uint32_t()> clock_;
    // Archive members dragged out are copied here for the other program.
    std::unique_ptr<QTemporaryDir> dragCopies_;
};

} // namespace Ostrel::Vellix::Gui
