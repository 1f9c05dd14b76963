#include "Vellix/Gui/VellixListView.h"

#include "Trova/BitmapUtils.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/Gui/OptionDialogs.h"
#include "Vellix/PseudoDirectory.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

namespace Ostrel::Vellix::Gui {

namespace {

// How often a pending refresh looks at the clock.
constexpr int kRefreshPollMilliseconds = 50;

// The answers of an adapter taken once, while its file is in the factory's cache: the cache is
// purged after every listed file, and sorting asks each file many times.
class ListedValues final : public BitmapFile {
public:
    explicit ListedValues(const BitmapFile& file)
        : baseName_(file.GetBaseName()), extension_(file.GetExtension()),
          count_(file.GetBitmapCount()), width_(file.GetWidth()), height_(file.GetHeight()),
          red_(file.GetRedBits()), green_(file.GetGreenBits()), blue_(file.GetBlueBits()),
          alpha_(file.GetAlphaBits()), palettised_(file.IsPalettised()),
          individualPalettes_(file.HasIndividualPalettes()), paletteSize_(file.GetPaletteSize()),
          transparency_(file.GetTransparency()) {}

    std::string GetBaseName() const override { return baseName_; }
    std::string GetExtension() const override { return extension_; }
    std::uint32_t GetBitmapCount() const override { return count_; }
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t) const override { return {}; }
    std::uint32_t GetWidth() const override { return width_; }
    std::uint32_t GetHeight() const override { return height_; }
    std::uint32_t GetRedBits() const override { return red_; }
    std::uint32_t GetGreenBits() const override { return green_; }
    std::uint32_t GetBlueBits() const override { return blue_; }
    std::uint32_t GetAlphaBits() const override { return alpha_; }
    bool IsPalettised() const override { return palettised_; }
    bool HasIndividualPalettes() const override { return individualPalettes_; }
    std::uint32_t GetPaletteSize() const override { return paletteSize_; }
    std::uint32_t GetTransparency() const override { return transparency_; }

private:
    std::string baseName_;
    std::string extension_;
    std::uint32_t count_, width_, height_, red_, green_, blue_, alpha_;
    bool palettised_, individualPalettes_;
    std::uint32_t paletteSize_, transparency_;
};

// A picture stretched to the icon's size, nearest neighbour, without its alpha.
QPixmap Thumbnail(const Trova::Bitmap& picture, QSize size) {
    const auto height = static_cast<std::uint32_t>(size.height());
    const auto width = static_cast<std::uint32_t>(size.width());
    Trova::BitmapSimple scaled(height, width);
    Trova::Resize(picture, height, width, scaled);
    QImage image(size, QImage::Format_RGB32);
    for (std::uint32_t row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(row)));
        for (std::uint32_t column = 0; column < width; ++column) {
            const Trova::Colour colour = scaled.GetPixel(row, column);
            line[column] = qRgb(static_cast<int>(Trova::ChannelToInt(colour.GetRed(), 8)),
                                static_cast<int>(Trova::ChannelToInt(colour.GetGreen(), 8)),
                                static_cast<int>(Trova::ChannelToInt(colour.GetBlue(), 8)));
        }
    }
    return QPixmap::fromImage(image);
}

int ColumnOfKey(int sortKey) {
    const auto& columns = ListColumns();
    for (std::size_t column = 0; column < columns.size(); ++column) {
        if (columns[column].id == sortKey) {
            return static_cast<int>(column);
        }
    }
    return -1;
}

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

// Orders the rows (whose source row is their record index) by the list logic's comparison.
class RecordSortModel final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void Clear() { keys_.clear(); }
    void AddKey(const FileRecord& record) {
        keys_.push_back({record.entryIndex, record.entryName, record.kind,
                         Util::CountedPtr<BitmapFile>(new ListedValues(*record.file))});
    }
    void SortBy(int sortOrder) {
        sortOrder_ = sortOrder;
        invalidate();
        // The comparison itself honours a descending order.
        sort(0, Qt::AscendingOrder);
    }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        return CompareRecords(keys_.at(static_cast<std::size_t>(left.row())),
                              keys_.at(static_cast<std::size_t>(right.row())), sortOrder_) < 0;
    }

private:
    std::vector<FileRecord> keys_;
    int sortOrder_ = kColumnName;
};

CVellixListView::CVellixListView(SettingsStore& settings, QWidget* parent)
    : QWidget(parent), store_(settings), settings_(ListViewSettings::Read(settings)),
      largeIcon_(QSize(style()->pixelMetric(QStyle::PM_LargeIconSize),
                       style()->pixelMetric(QStyle::PM_LargeIconSize))),
      smallIcon_(QSize(style()->pixelMetric(QStyle::PM_SmallIconSize),
                       style()->pixelMetric(QStyle::PM_SmallIconSize))),
      model_(new QStandardItemModel(this)), sorter_(new RecordSortModel(this)),
      stack_(new QStackedWidget(this)), icons_(new QListView), details_(new QTreeView),
      refreshTimer_(new QTimer(this)), clock_(&Util::Platform::TickCount) {
    QStringList headings;
    for (const ListColumn& column : ListColumns()) {
        headings << column.heading;
    }
    model_->setHorizontalHeaderLabels(headings);
    sorter_->setDynamicSortFilter(false);
    sorter_->setSourceModel(model_);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                &CVellixListView::ShowContextMenu);
        stack_->addWidget(view);
    }
    icons_->setModel(sorter_);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static); // the icons stay arranged
    icons_->setWrapping(true);
    details_->setModel(sorter_);
    details_->setSelectionModel(icons_->selectionModel());
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setIconSize(smallIcon_);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        details_->header()->resizeSection(static_cast<int>(column), ListColumns()[column].width);
    }
    connect(details_->header(), &QHeaderView::sectionClicked, this,
            &CVellixListView::OnColumnClicked);
    connect(icons_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CVellixListView::UpdateCommands);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    for (int command : {kCommandToBmp, kCommandFromBmp, kCommandToMip, kCommandToPbf, kCommandToSrb,
                        kCommandThumbnails}) {
        auto* action = new QAction(CommandText(command), this);
        actions_[command] = action;
        if (command != kCommandThumbnails) {
            connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
        }
    }
    QAction* thumbnails = actions_[kCommandThumbnails];
    thumbnails->setCheckable(true);
    thumbnails->setChecked(settings_.individualIcons);
    // Only the flag changes; the icons follow at the next filling.
    connect(thumbnails, &QAction::toggled, this,
            [this](bool checked) { settings_.individualIcons = checked; });

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
}

QAction* CVellixListView::Action(int commandId) const {
    const auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
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

void CVellixListView::Fill() {
    setUpdatesEnabled(false);
    std::string error;
    {
        WaitCursor wait;
        model_->removeRows(0, model_->rowCount());
        records_.clear();
        sorter_->Clear();
        try {
            if (container_) {
                ListRecords(*container_, [this](const FileRecord& record) { AddRow(record); });
            }
        } catch (const Util::Exception& exception) {
            error = exception.Message();
        } catch (const std::exception& exception) {
            error = exception.what();
        }
        // What was listed before a failure stays, in order.
        Sort();
    }
    setUpdatesEnabled(true);
    UpdateCommands();
    if (!error.empty()) {
        ShowError(error);
    }
    emit Filled();
}

void CVellixListView::AddRow(const FileRecord& record) {
    QList<QStandardItem*> row;
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        row << new QStandardItem(QString::fromStdString(ColumnText(record, column)));
    }
    row.front()->setIcon(ItemIcon(record));
    sorter_->AddKey(record);
    records_.push_back(record);
    model_->appendRow(row);
}

QIcon CVellixListView::ItemIcon(const FileRecord& record) const {
    QIcon icon;
    if (settings_.individualIcons && record.file->GetBitmapCount() > 0) {
        const auto level =
            ThumbnailLevel(*record.file, static_cast<std::uint32_t>(largeIcon_.width()),
                           static_cast<std::uint32_t>(largeIcon_.height()));
        const auto picture = record.file->GetBitmap(level);
        if (picture && picture->GetWidth() > 0 && picture->GetHeight() > 0) {
            icon.addPixmap(Thumbnail(*picture, largeIcon_));
            icon.addPixmap(Thumbnail(*picture, smallIcon_));
            return icon;
        }
    }
    icon.addPixmap(TypeIcon(record.kind, largeIcon_.width()));
    icon.addPixmap(TypeIcon(record.kind, smallIcon_.width()));
    return icon;
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

std::size_t CVellixListView::RecordOfRow(int row) const {
    return static_cast<std::size_t>(sorter_->mapToSource(sorter_->index(row, 0)).row());
}

std::vector<std::size_t> CVellixListView::GetListOrder() const {
    std::vector<std::size_t> order;
    for (int row = 0; row < sorter_->rowCount(); ++row) {
        order.push_back(RecordOfRow(row));
    }
    return order;
}

std::vector<std::size_t> CVellixListView::GetSelection() const {
    std::vector<std::size_t> selection;
    const QItemSelectionModel* selected = icons_->selectionModel();
    for (int row = 0; row < sorter_->rowCount(); ++row) {
        if (selected->isRowSelected(row, QModelIndex())) {
            selection.push_back(RecordOfRow(row));
        }
    }
    return selection;
}

void CVellixListView::UpdateCommands() {
    std::vector<BitmapKind> kinds;
    for (std::size_t record : GetSelection()) {
        kinds.push_back(records_[record].kind);
    }
    for (const auto& [command, action] : actions_) {
        action->setEnabled(IsCommandEnabled(command, kinds));
    }
}

QString CVellixListView::FilePath(std::size_t record) const {
    const BitmapFile& file = *records_[record].file;
    return QString::fromStdString(container_->GetPathName().GetAsDirectory() + file.GetBaseName() +
                                  "." + file.GetExtension());
}

void CVellixListView::ShowContextMenu(const QPoint& position) {
    auto* view = qobject_cast<QAbstractItemView*>(sender());
    QMenu menu(this);
    for (int command :
         {kCommandToBmp, kCommandFromBmp, kCommandToMip, kCommandToPbf, kCommandToSrb}) {
        menu.addAction(actions_.at(command));
    }
    const QModelIndex item = view->indexAt(position);
    const auto selection = GetSelection();
    if (item.isValid() && selection.size() == 1 && container_ && !container_->IsArchive()) {
        const QString path = FilePath(RecordOfRow(item.row()));
        menu.addSeparator();
        menu.addAction("Open", this,
                       [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
        const QString folder = QString::fromStdString(container_->GetPathName().GetFullName());
        menu.addAction("Show in Folder", this,
                       [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    }
    menu.exec(view->viewport()->mapToGlobal(position));
}

// The index of the record's entry now. A directory that lists itself again may have moved or
// lost the entry since the list was filled.
std::uint32_t CVellixListView::CurrentEntryIndex(const FileRecord& record) const {
    const std::uint32_t count = container_->GetEntryCount();
    if (record.entryIndex < count &&
        container_->GetEntryName(record.entryIndex) == record.entryName) {
        return record.entryIndex;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        if (container_->GetEntryName(index) == record.entryName) {
            return index;
        }
    }
    throw Util::XFileOpen(container_->GetPathName().GetAsDirectory() + record.entryName,
                          "File not found");
}

void CVellixListView::RunCommand(int commandId) {
    if (!container_) {
        return;
    }
    try {
        ConversionBatch batch;
        for (std::size_t record : GetSelection()) {
            batch.Add(*container_, CurrentEntryIndex(records_[record]));
        }
        Convert(commandId, batch);
    } catch (const Util::Exception& exception) {
        ShowError(exception.Message());
    } catch (const std::exception& exception) {
        ShowError(exception.what());
    }
}

void CVellixListView::Convert(int commandId, ConversionBatch& batch) {
    const BitmapKind kind = batch.GetKind();
    switch (commandId) {
    case kCommandToBmp:
        if (kind == BitmapKind::Mip) {
            ConvertWith<CMipBmpDlg>(batch);
        } else if (kind == BitmapKind::Srb) {
            ConvertWith<CSrbBmpDlg>(batch);
        } else if (kind == BitmapKind::Pbf) {
            ConvertWith<CPbfBmpDlg>(batch);
        }
        break;
    case kCommandFromBmp:
        if (kind == BitmapKind::Mip) {
            ConvertWith<CMipFromBmpDlg>(batch);
        } else if (kind == BitmapKind::Srb) {
            ConvertWith<CSrbFromBmpDlg>(batch);
        } else if (kind == BitmapKind::Pbf) {
            ConvertWith<CPbfFromBmpDlg>(batch);
        }
        break;
    case kCommandToMip:
        ConvertWith<CBmpMipDlg>(batch);
        break;
    case kCommandToPbf:
        ConvertWith<CBmpPbfDlg>(batch);
        break;
    case kCommandToSrb:
        ConvertWith<CBmpSrbDlg>(batch);
        break;
    default:
        break;
    }
}

template <typename DialogT> void CVellixListView::ConvertWith(ConversionBatch& batch) {
    DialogT dialog(store_, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    WaitCursor wait;
    batch.Convert(dialog.GetOptions());
}

void CVellixListView::ShowError(const std::string& message) {
    QMessageBox::warning(this, "Vellix", QString::fromStdString(message));
}

void CVellixListView::PostDirectoryChanged(RealDirectory* directory) {
    // On the watch service's thread: only hand the report over to this view's thread.
    QMetaObject::invokeMethod(
        this, [this, directory] { OnDirectoryChanged(directory); }, Qt::QueuedConnection);
}

void CVellixListView::OnDirectoryChanged(const RealDirectory* directory) {
    // The reported directory may be gone by now: it is compared, never used, unless it is the
    // one shown, which the tree keeps alive while it is selected.
    if (directory == nullptr || directory != dynamic_cast<RealDirectory*>(container_)) {
        return;
    }
    schedule_.NoteChange(clock_());
    refreshTimer_->start();
}

void CVellixListView::OnRefreshTick() {
    bool due = false;
    if (!schedule_.IdleStep(0, clock_(), due)) {
        refreshTimer_->stop();
    }
    if (!due) {
        return;
    }
    if (auto* directory = dynamic_cast<RealDirectory*>(container_)) {
        try {
            directory->Refresh();
        } catch (const Util::Exception& exception) {
            ShowError(exception.Message());
        }
    }
    Fill();
}

} // namespace Ostrel::Vellix::Gui
