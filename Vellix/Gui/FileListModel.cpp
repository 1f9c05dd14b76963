#include "Vellix/Gui/FileListModel.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QStyle>

#include <algorithm>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr char kUriList[] = "text/uri-list";

// The one local picture file that data carries; empty otherwise.
QString DroppedPicture(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls()[0].isLocalFile()) {
        return {};
    }
    const QString path = data->urls()[0].toLocalFile();
    const BitmapKind kind = KindOfExtension(QFileInfo(path).suffix().toStdString());
    return kind == BitmapKind::Bmp || kind == BitmapKind::Png ? path : QString();
}

} // namespace

void FileListModel::SetDragAndDrop(DragUrls urls, PictureDrop drop) {
    dragUrls_ = std::move(urls);
    pictureDrop_ = std::move(drop);
}

void FileListModel::Reset(std::vector<ListedRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void FileListModel::SetIcon(std::size_t row, const QIcon& icon) {
    if (row >= rows_.size()) {
        return;
    }
    rows_[row].icon = icon;
    const QModelIndex changed = index(static_cast<int>(row), 0);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

void FileListModel::SetSummary(std::size_t row, FileSummary summary) {
    if (row >= rows_.size()) {
        return;
    }
    rows_[row].summary = std::move(summary);
    rows_[row].summarised = true;
    emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), kErrorColumn));
}

const ListedRow& FileListModel::Row(const QModelIndex& index) const {
    return rows_.at(static_cast<std::size_t>(index.row()));
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kErrorColumn + 1;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const ListedRow& row = Row(index);
    const std::string& error = row.summary.error;
    const bool failed = !error.empty();
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(
            index.column() == kErrorColumn
                ? error
                : ColumnText(row.summary, static_cast<std::size_t>(index.column())));
    case Qt::DecorationRole:
        if (index.column() != 0) {
            return {};
        }
        return failed ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)
                      : row.icon;
    case Qt::ToolTipRole:
        return failed ? QVariant(QString::fromStdString(error)) : QVariant();
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section > kErrorColumn) {
        return {};
    }
    return section == kErrorColumn
               ? QString("Error")
               : QString(ListColumns()[static_cast<std::size_t>(section)].heading);
}

bool FileListModel::TakesPicture(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) {
        return false;
    }
    const FileSummary& summary = Row(index).summary;
    const bool game = summary.kind == BitmapKind::Mip || summary.kind == BitmapKind::Pbf ||
                      summary.kind == BitmapKind::Srb;
    return game && summary.error.empty();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid()) {
        flags |= Qt::ItemIsDragEnabled;
    }
    if (TakesPicture(index)) {
        flags |= Qt::ItemIsDropEnabled;
    }
    return flags;
}

QStringList FileListModel::mimeTypes() const {
    return {kUriList};
}

// In the order given, each row once.
QMimeData* FileListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : indexes) {
        const auto row = static_cast<std::size_t>(index.row());
        if (std::find(rows.begin(), rows.end(), row) == rows.end()) {
            rows.push_back(row);
        }
    }
    if (rows.empty() || !dragUrls_) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setUrls(dragUrls_(rows));
    return data;
}

// A view drops on an item as the parent of the drop; a drop between items has none.
bool FileListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex& parent) const {
    return TakesPicture(parent) && !DroppedPicture(data).isEmpty();
}

bool FileListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                 const QModelIndex& parent) {
    if (!pictureDrop_ || !canDropMimeData(data, action, row, column, parent)) {
        return false;
    }
    pictureDrop_(static_cast<std::size_t>(parent.row()), DroppedPicture(data));
    return true;
}

FileSortModel::FileSortModel(FileListModel* files, QObject* parent)
    : QSortFilterProxyModel(parent), files_(files) {
    setDynamicSortFilter(false);
    setSourceModel(files);
}

void FileSortModel::SortBy(int sortOrder) {
    sortOrder_ = sortOrder;
    invalidate();
    sort(0, Qt::AscendingOrder);
}

void FileSortModel::SetNameFilter(const QString& text) {
    nameFilter_ = text;
    invalidateFilter();
}

bool FileSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return CompareSummaries(files_->Row(left).summary, files_->Row(right).summary, sortOrder_) < 0;
}

bool FileSortModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (nameFilter_.isEmpty()) {
        return true;
    }
    const auto& summary = files_->Rows().at(static_cast<std::size_t>(sourceRow)).summary;
    return QString::fromStdString(summary.entryName).contains(nameFilter_, Qt::CaseInsensitive);
}

} // namespace Ostrel::Vellix::Gui
