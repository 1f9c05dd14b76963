#pragma once

// The listed files as one table: a row per file, the eleven columns of the list logic and a
// twelfth with the message of a file that could not be read. A proxy sorts the rows through the
// list logic's comparison and narrows them by a part of the name.

#include "Vellix/BitmapList.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QUrl>

#include <functional>

#include <vector>

namespace Ostrel::Vellix::Gui {

// One listed file: its summary (with the message when it could not be read) and its picture.
struct ListedRow {
    FileSummary summary;
    QIcon icon;
    // False while the summary holds the file's names alone.
    bool summarised = true;
};

class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kErrorColumn = 11;

    using QAbstractTableModel::QAbstractTableModel;

    // What a drag of rows carries: their files as URLs.
    using DragUrls = std::function<QList<QUrl>(const std::vector<std::size_t>& rows)>;
    // Told of one local picture dropped on a row.
    using PictureDrop = std::function<void(std::size_t row, const QString& picture)>;
    void SetDragAndDrop(DragUrls urls, PictureDrop drop);

    void Reset(std::vector<ListedRow> rows);
    void SetIcon(std::size_t row, const QIcon& icon);
    // The summary read for a row listed by its names.
    void SetSummary(std::size_t row, FileSummary summary);
    const std::vector<ListedRow>& Rows() const { return rows_; }
    const ListedRow& Row(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Every row drags; a game file takes a picture dropped on it.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    bool TakesPicture(const QModelIndex& index) const;

    std::vector<ListedRow> rows_;
    DragUrls dragUrls_;
    PictureDrop pictureDrop_;
};

class FileSortModel final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FileSortModel(FileListModel* files, QObject* parent = nullptr);

    // A column id, negative for descending; the comparison itself honours the direction.
    void SortBy(int sortOrder);
    // Keeps the rows whose name holds text, case ignored; all rows for an empty text.
    void SetNameFilter(const QString& text);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    FileListModel* files_;
    int sortOrder_ = kColumnName;
    QString nameFilter_;
};

} // namespace Ostrel::Vellix::Gui
