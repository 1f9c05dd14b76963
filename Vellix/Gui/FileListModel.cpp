#include "Vellix/Gui/FileListModel.h"

#include "Util/Exception.h"
#include "Vellix/PseudoDirectory.h"

#include <QApplication>
#include <QStyle>

namespace Ostrel::Vellix::Gui {

namespace {

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

ListedRow ReadRow(const PseudoDirectory& container, std::uint32_t index) {
    ListedRow row;
    try {
        row.record = MakeRecord(container, index);
        row.record.file = Util::CountedPtr<BitmapFile>(new ListedValues(*row.record.file));
        return row;
    } catch (const Util::Exception& exception) {
        row.error = exception.Message();
    } catch (const std::exception& exception) {
        row.error = exception.what();
    }
    row.record = {index, container.GetEntryName(index), BitmapKind::Other,
                  Util::CountedPtr<BitmapFile>(
                      new BitmapFileNull(container.GetPathName(), container.GetEntryBaseName(index),
                                         container.GetEntryExtension(index)))};
    return row;
}

} // namespace

std::vector<ListedRow> ListRows(const PseudoDirectory& container) {
    const auto factory = container.GetFileFactory();
    const bool purges = factory && factory->HasFacet<Trova::PurgeFactory>();
    std::vector<ListedRow> rows;
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (ListedKind(container, index) == BitmapKind::Other) {
            continue;
        }
        rows.push_back(ReadRow(container, index));
        if (purges) {
            factory->GetFacet<Trova::PurgeFactory>()->Purge();
        }
    }
    return rows;
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
    const bool failed = !row.error.empty();
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(
            index.column() == kErrorColumn
                ? row.error
                : ColumnText(row.record, static_cast<std::size_t>(index.column())));
    case Qt::DecorationRole:
        if (index.column() != 0) {
            return {};
        }
        return failed ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)
                      : row.icon;
    case Qt::ToolTipRole:
        return failed ? QVariant(QString::fromStdString(row.error)) : QVariant();
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
    return CompareRecords(files_->Row(left).record, files_->Row(right).record, sortOrder_) < 0;
}

bool FileSortModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (nameFilter_.isEmpty()) {
        return true;
    }
    const auto& record = files_->Rows().at(static_cast<std::size_t>(sourceRow)).record;
    return QString::fromStdString(record.entryName).contains(nameFilter_, Qt::CaseInsensitive);
}

} // namespace Ostrel::Vellix::Gui
