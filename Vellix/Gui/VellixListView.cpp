#include "Vellix/Gui/VellixListView.h"

#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/DetachedPicture.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/ConversionCommands.h"
#include "Vellix/Gui/FileListModel.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/PseudoDirectory.h"
#include "Vellix/SettingsStore.h"
#include "Vellix/WorkerDirectory.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

namespace Ostrel::Vellix::Gui {

namespace {

// How often a pending refresh looks at the clock.
constexpr int kRefreshPollMilliseconds = 50;

// A directory of up to this many files is listed with all its columns before it is shown.
constexpr std::uint32_t kSummariesAtOnce = 100;

// The widths of the details view's columns, as "100,50,...".
constexpr char kColumnWidthsKey[] = "ColumnWidths";

int ColumnOfKey(int sortKey) {
    const auto& columns = ListColumns();
    for (std::size_t column = 0; column < columns.size(); ++column) {
        if (columns[column].id == sortKey) {
            return static_cast<int>(column);
        }
    }
    return -1;
}

QSize SquareMetric(const QStyle* style, QStyle::PixelMetric metric) {
    const int size = style->pixelMetric(metric);
    return {size, size};
}

} // namespace

CVellixListView::CVellixListView(SettingsStore& settings, QWidget* parent)
    : QWidget(parent), store_(settings), settings_(ListViewSettings::Read(settings)),
      largeIcon_(SquareMetric(style(), QStyle::PM_LargeIconSize)),
      smallIcon_(SquareMetric(style(), QStyle::PM_SmallIconSize)), files_(new FileListModel(this)),
      sorter_(new FileSortModel(files_, this)),
      queue_(new ListedFileQueue(largeIcon_, smallIcon_, this)), summariesAtOnce_(kSummariesAtOnce),
      stack_(new QStackedWidget(this)), icons_(new QListView), details_(new QTreeView),
      commands_(new ConversionCommands(settings, this, [this] { return SelectedFiles(); })),
      refreshTimer_(new QTimer(this)), clock_(&Util::Platform::TickCount) {
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDragDropOverwriteMode(true); // a picture drops onto a file, not between
        view->setDefaultDropAction(Qt::CopyAction);
        connect(view, &QWidget::customContextMenuRequested, this,
                &CVellixListView::ShowContextMenu);
        stack_->addWidget(view);
    }
    files_->SetDragAndDrop([this](const auto& rows) { return DragUrls(rows); },
                           [this](std::size_t row, const QString& picture) {
                               // After the drop is done, not inside the view's drop handling.
                               QMetaObject::invokeMethod(
                                   this, [=, this] { OnPictureDropped(row, picture); },
                                   Qt::QueuedConnection);
                           });
    icons_->setModel(sorter_);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static); // the icons stay arranged
    icons_->setWrapping(true);
    icons_->setUniformItemSizes(true);
    details_->setModel(sorter_);
    details_->setSelectionModel(icons_->selectionModel());
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setIconSize(smallIcon_);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    RestoreColumnWidths();
    connect(details_->header(), &QHeaderView::sectionClicked, this,
            &CVellixListView::OnColumnClicked);
    connect(icons_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CVellixListView::UpdateCommands);
    connect(queue_, &ListedFileQueue::Summarised, this, &CVellixListView::OnSummarised);
    connect(queue_, &ListedFileQueue::Made, this, &CVellixListView::OnThumbnailMade);
    connect(queue_, &ListedFileQueue::Finished, this, &CVellixListView::OnQueueFinished);
    connect(commands_, &ConversionCommands::Running, this, &CVellixListView::OnConverting);
    connect(commands_, &ConversionCommands::Reported, this, &CVellixListView::ConversionReported);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    QAction* thumbnails = commands_->Action(kCommandThumbnails);
    thumbnails->setChecked(settings_.individualIcons);
    connect(thumbnails, &QAction::toggled, this, [this](bool checked) {
        settings_.individualIcons = checked;
        Fill();
    });

    refreshTimer_->setInterval(kRefreshPollMilliseconds);
    connect(refreshTimer_, &QTimer::timeout, this, &CVellixListView::OnRefreshTick);

    const int style = settings_.viewStyle;
    SetViewStyle(style >= kStyleIcon && style <= kStyleList ? style : kStyleReport);
    Sort();
    UpdateCommands();
    SetDirectoryChangeReceiver(this);
}

CVellixListView::~CVellixListView() {
    SetDirectoryChangeReceiver(nullptr);
    settings_.Write(store_);
    QStringList widths;
    for (int column = 0; column < details_->header()->count(); ++column) {
        widths << QString::number(details_->header()->sectionSize(column));
    }
    store_.WriteString(kSettingsSection, kColumnWidthsKey, widths.join(',').toStdString());
}

void CVellixListView::RestoreColumnWidths() {
    const QStringList widths =
        QString::fromStdString(store_.GetString(kSettingsSection, kColumnWidthsKey, "")).split(',');
    QHeaderView* header = details_->header();
    for (int column = 0; column < header->count(); ++column) {
        const int remembered = widths.value(column).toInt();
        const auto listed = static_cast<std::size_t>(column);
        const int standard = listed < ListColumns().size() ? ListColumns()[listed].width : 200;
        header->resizeSection(column, remembered > 0 ? remembered : standard);
    }
}

// Names are never cut off while the column could show them whole.
void CVellixListView::WidenNameColumn() {
    const int wanted = static_cast<const QAbstractItemView*>(details_)->sizeHintForColumn(0);
    if (wanted > details_->header()->sectionSize(0)) {
        details_->header()->resizeSection(0, wanted);
    }
}

QAction* CVellixListView::Action(int commandId) const {
    return commands_->Action(commandId);
}

int CVellixListView::GetViewStyle() const {
    return settings_.viewStyle;
}

void CVellixListView::SetViewStyle(int style) {
    settings_.viewStyle = style;
    if (style == kStyleReport) {
        stack_->setCurrentWidget(details_);
        return;
    }
    icons_->setViewMode(style == kStyleIcon ? QListView::IconMode : QListView::ListMode);
    icons_->setMovement(QListView::Static);
    icons_->setIconSize(style == kStyleIcon ? largeIcon_ : smallIcon_);
    icons_->setFlow(style == kStyleList ? QListView::TopToBottom : QListView::LeftToRight);
    icons_->setWrapping(true);
    // A static list view turns dragging and dropping off.
    icons_->setDragEnabled(true);
    icons_->setAcceptDrops(true);
    icons_->viewport()->setAcceptDrops(true);
    stack_->setCurrentWidget(icons_);
}

void CVellixListView::Arrange() {
    if (settings_.viewStyle == kStyleIcon || settings_.viewStyle == kStyleSmallIcon) {
        icons_->doItemsLayout();
    }
}

QAbstractItemView* CVellixListView::CurrentItemView() const {
    return static_cast<QAbstractItemView*>(stack_->currentWidget());
}

void CVellixListView::ShowContainer(PseudoDirectory* container) {
    container_ = container;
    schedule_ = RefreshSchedule();
    refreshTimer_->stop();
    Fill();
}

void CVellixListView::SetNameFilter(const QString& text) {
    sorter_->SetNameFilter(text);
    UpdateCommands();
}

bool CVellixListView::SelectEntry(const QString& name) {
    QAbstractItemView* view = CurrentItemView();
    const QModelIndexList found =
        sorter_->match(sorter_->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchFixedString);
    if (found.isEmpty()) {
        return false;
    }
    view->setCurrentIndex(found.first());
    view->setFocus();
    return true;
}

void CVellixListView::Refresh() {
    if (container_) {
        RunCommand(this, [this] { container_->Refresh(); });
    }
    Fill();
}

// A large directory is listed by names at once; workers read the columns (see StartQueue).
void CVellixListView::Fill() {
    queue_->Cancel();
    {
        const WaitCursor wait;
        std::vector<ListedRow> rows;
        if (container_) {
            RunCommand(this, [&] {
                const bool atOnce =
                    container_->IsArchive() || container_->GetEntryCount() <= summariesAtOnce_;
                for (FileSummary& summary :
                     atOnce ? ListSummaries(*container_) : ListNames(*container_)) {
                    const QIcon icon = KindIcon(summary.kind);
                    rows.push_back({std::move(summary), icon, atOnce});
                }
            });
        }
        files_->Reset(std::move(rows));
        Sort();
        WidenNameColumn();
    }
    UpdateCommands();
    emit Filled();
    StartQueue();
}

QIcon CVellixListView::KindIcon(BitmapKind kind) {
    QIcon& icon = kindIcons_[kind];
    if (icon.isNull()) {
        icon.addPixmap(TypeIcon(kind, largeIcon_.width()));
        icon.addPixmap(TypeIcon(kind, smallIcon_.width()));
    }
    return icon;
}

void CVellixListView::SetThumbnailSize(int side) {
    largeIcon_ = QSize(side, side);
    kindIcons_.clear();
    queue_->SetSizes(largeIcon_, smallIcon_);
    if (settings_.viewStyle == kStyleIcon) {
        icons_->setIconSize(largeIcon_);
    }
    Fill();
}

// In list order, so the rows in view after a filling come first.
void CVellixListView::StartQueue() {
    std::vector<ListedFileQueue::Job> jobs;
    for (std::size_t row : container_ ? GetListOrder() : std::vector<std::size_t>()) {
        const ListedRow& listed = files_->Rows()[row];
        ListedFileQueue::Job job{row, listed.summary, nullptr, {}, settings_.individualIcons};
        if (!listed.summarised) {
            job.directory =
                std::make_shared<WorkerDirectory>(*container_, listed.summary.entryIndex);
        }
        if (job.thumbnail) {
            job.source = SourceOfEntry(*container_, listed.summary.entryIndex);
        }
        if (job.directory || (job.thumbnail && listed.summary.LevelCount() > 0)) {
            jobs.push_back(std::move(job));
        }
    }
    queue_->Start(std::move(jobs));
}

void CVellixListView::OnSummarised(const RowSummaries& summaries) {
    for (const auto& [row, summary] : summaries) {
        files_->SetSummary(row, summary);
    }
    if (icons_->selectionModel()->hasSelection()) {
        UpdateCommands();
    }
}

// The columns that sort are complete only now.
void CVellixListView::OnQueueFinished() {
    if (std::abs(settings_.sortOrder) != kColumnName) {
        Sort();
    }
    emit ThumbnailsMade();
}

void CVellixListView::OnThumbnailMade(std::size_t row, const QImage& large, const QImage& small) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(large));
    icon.addPixmap(QPixmap::fromImage(small));
    files_->SetIcon(row, icon);
}

void CVellixListView::Sort() {
    sorter_->SortBy(settings_.sortOrder);
    const int column = ColumnOfKey(std::abs(settings_.sortOrder));
    details_->header()->setSortIndicatorShown(column >= 0);
    if (column >= 0) {
        details_->header()->setSortIndicator(column, settings_.sortOrder < 0 ? Qt::DescendingOrder
                                                                             : Qt::AscendingOrder);
    }
}

void CVellixListView::OnColumnClicked(int column) {
    const auto& columns = ListColumns();
    if (column < 0 || static_cast<std::size_t>(column) >= columns.size()) {
        return;
    }
    settings_.sortOrder =
        SortOrderAfterClick(settings_.sortOrder, columns[static_cast<std::size_t>(column)].id);
    Sort();
}

std::size_t CVellixListView::RowOf(int listRow) const {
    return static_cast<std::size_t>(sorter_->mapToSource(sorter_->index(listRow, 0)).row());
}

std::vector<std::size_t> CVellixListView::GetListOrder() const {
    std::vector<std::size_t> order;
    for (int row = 0; row < sorter_->rowCount(); ++row) {
        order.push_back(RowOf(row));
    }
    return order;
}

std::vector<std::size_t> CVellixListView::GetSelection() const {
    std::vector<std::size_t> selection;
    const QItemSelectionModel* selected = icons_->selectionModel();
    for (int row = 0; row < sorter_->rowCount(); ++row) {
        if (selected->isRowSelected(row, QModelIndex())) {
            selection.push_back(RowOf(row));
        }
    }
    return selection;
}

void CVellixListView::UpdateCommands() {
    std::vector<BitmapKind> kinds;
    for (std::size_t row : GetSelection()) {
        kinds.push_back(CommandKind(row));
    }
    commands_->Update(kinds);
    emit SelectionChanged();
}

QString CVellixListView::FilePath(std::size_t row) const {
    return QString::fromStdString(container_->GetPathName().GetAsDirectory() +
                                  files_->Rows()[row].summary.entryName);
}

// Loose files drag as themselves, archive members as copies in a folder of the view's own.
QList<QUrl> CVellixListView::DragUrls(const std::vector<std::size_t>& rows) {
    QList<QUrl> urls;
    RunCommand(this, [&] {
        if (!container_ || !container_->IsArchive()) {
            for (std::size_t row : rows) {
                urls.append(QUrl::fromLocalFile(FilePath(row)));
            }
            return;
        }
        dragCopies_ = std::make_unique<QTemporaryDir>();
        for (std::size_t row : rows) {
            const FileSummary& file = files_->Rows()[row].summary;
            const QString copy = dragCopies_->filePath(QString::fromStdString(file.entryName));
            CopyEntry(*container_, CurrentEntryIndex(file), copy.toStdString());
            urls.append(QUrl::fromLocalFile(copy));
        }
    });
    return urls;
}

// The picture goes back into the file it was dropped on, as Convert From Bmp puts it back.
void CVellixListView::OnPictureDropped(std::size_t row, const QString& picture) {
    const QModelIndex item = sorter_->mapFromSource(files_->index(static_cast<int>(row), 0));
    if (!item.isValid()) {
        return;
    }
    CurrentItemView()->selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
    commands_->PutBack(picture.toStdString());
}

void CVellixListView::ShowContextMenu(const QPoint& position) {
    auto* view = qobject_cast<QAbstractItemView*>(sender());
    QMenu menu(this);
    for (int command :
         {kCommandToBmp, kCommandFromBmp, kCommandToMip, kCommandToPbf, kCommandToSrb}) {
        menu.addAction(Action(command));
    }
    const QModelIndex item = view->indexAt(position);
    const auto selection = GetSelection();
    if (item.isValid() && selection.size() == 1 && container_ && !container_->IsArchive()) {
        const QString path = FilePath(RowOf(item.row()));
        menu.addSeparator();
        menu.addAction("Open", this,
                       [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
        const QString folder = QString::fromStdString(container_->GetPathName().GetFullName());
        menu.addAction("Show in Folder", this,
                       [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    }
    menu.exec(view->viewport()->mapToGlobal(position));
}

// The index of the file's entry now. A directory that lists itself again may have moved or
// lost the entry since the list was filled.
std::uint32_t CVellixListView::CurrentEntryIndex(const FileSummary& file) const {
    const std::uint32_t count = container_->GetEntryCount();
    if (file.entryIndex < count && container_->GetEntryName(file.entryIndex) == file.entryName) {
        return file.entryIndex;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        if (container_->GetEntryName(index) == file.entryName) {
            return index;
        }
    }
    throw Util::XFileOpen(container_->GetPathName().GetAsDirectory() + file.entryName,
                          "File not found");
}

// A file that cannot be read takes part in no command.
BitmapKind CVellixListView::CommandKind(std::size_t row) const {
    const FileSummary& summary = files_->Rows()[row].summary;
    return summary.error.empty() ? summary.kind : BitmapKind::Other;
}

Selection CVellixListView::SelectedFiles() const {
    Selection selection;
    if (!container_) {
        return selection;
    }
    selection.container = container_;
    for (std::size_t row : GetSelection()) {
        selection.entries.push_back(CurrentEntryIndex(files_->Rows()[row].summary));
        selection.kinds.push_back(CommandKind(row));
        selection.levelCounts.push_back(files_->Rows()[row].summary.LevelCount());
    }
    return selection;
}

// A batch on its worker uses the shared file factory: the list waits with its refresh.
void CVellixListView::OnConverting(bool converting) {
    converting_ = converting;
    if (!converting && schedule_.IsPending()) {
        refreshTimer_->start();
    }
}

void CVellixListView::PostDirectoryChanged(const PseudoDirectory* directory) {
    // On the watch service's thread: only hand the report over to this view's thread.
    QMetaObject::invokeMethod(
        this, [this, directory] { OnDirectoryChanged(directory); }, Qt::QueuedConnection);
}

void CVellixListView::OnDirectoryChanged(const PseudoDirectory* directory) {
    // The reported directory may be gone by now: it is compared, never used, unless it is the
    // one shown, which the tree keeps alive while it is selected.
    if (directory == nullptr || directory != container_) {
        return;
    }
    schedule_.NoteChange(clock_());
    refreshTimer_->start();
}

void CVellixListView::OnRefreshTick() {
    if (converting_) {
        return;
    }
    bool due = false;
    if (!schedule_.IdleStep(0, clock_(), due)) {
        refreshTimer_->stop();
    }
    if (due) {
        Refresh();
    }
}

} // namespace Ostrel::Vellix::Gui
