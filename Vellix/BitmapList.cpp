#include "Vellix/BitmapList.h"

#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/PseudoDirectory.h"
#include "Vellix/SettingsStore.h"

#include <algorithm>

namespace Ostrel::Vellix {

namespace {

const std::array<ListColumn, 11> columns = {{
    {kColumnName, "Name", 100},
    {kColumnType, "Type", 50},
    {kColumnLevels, "Levels", 50},
    {kColumnWidth, "Width", 50},
    {kColumnHeight, "Height", 50},
    {kColumnRed, "Red", 50},
    {kColumnGreen, "Green", 50},
    {kColumnBlue, "Blue", 50},
    {kColumnAlpha, "Alpha", 50},
    {kColumnPalette, "Palette", 50},
    {kColumnTransparency, "Transparency", 100},
}};

// The numeric value a column sorts and shows; only for the numeric columns.
std::uint32_t NumericValue(const FileSummary& summary, int column) {
    switch (column) {
    case kColumnWidth:
        return summary.width;
    case kColumnHeight:
        return summary.height;
    case kColumnLevels:
        return summary.LevelCount();
    case kColumnRed:
        return summary.redBits;
    case kColumnGreen:
        return summary.greenBits;
    case kColumnBlue:
        return summary.blueBits;
    case kColumnAlpha:
        return summary.alphaBits;
    case kColumnPalette:
        return summary.palettised ? summary.paletteSize : 0;
    default:
        return summary.transparency;
    }
}

int CompareAscending(const FileSummary& a, const FileSummary& b, int key) {
    switch (key) {
    case kColumnName:
        return a.baseName.compare(b.baseName);
    case kColumnType:
        return a.extension.compare(b.extension);
    case kColumnWidth:
    case kColumnHeight:
    case kColumnLevels:
    case kColumnRed:
    case kColumnGreen:
    case kColumnBlue:
    case kColumnAlpha:
    case kColumnPalette:
    case kColumnTransparency:
        // The difference of the unsigned values, taken as a signed 32-bit result.
        return static_cast<std::int32_t>(NumericValue(a, key) - NumericValue(b, key));
    default:
        return 0;
    }
}

// Calls visit with the index of every listed entry, dropping the factory's unused files after
// each, so a listing never holds more than one file.
void ForEachListed(const PseudoDirectory& container,
                   const std::function<void(std::uint32_t)>& visit) {
    const Util::Platform::CaseIndexScope caseIndex;
    const auto factory = container.GetFileFactory();
    const bool purges = factory && factory->HasFacet<Trova::PurgeFactory>();
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (ListedKind(container, index) == BitmapKind::Other) {
            continue;
        }
        visit(index);
        if (purges) {
            factory->GetFacet<Trova::PurgeFactory>()->Purge();
        }
    }
}

bool IsGameKind(BitmapKind kind) {
    return kind == BitmapKind::Mip || kind == BitmapKind::Pbf || kind == BitmapKind::Srb;
}

} // namespace

const std::array<ListColumn, 11>& ListColumns() {
    return columns;
}

int FindColumn(const std::string& heading) {
    for (const ListColumn& column : columns) {
        if (Util::CompareNoCase(column.heading, heading) == 0) {
            return column.id;
        }
    }
    return 0;
}

BitmapKind ListedKind(const PseudoDirectory& container, std::uint32_t index) {
    if (container.IsSubdirectory(index)) {
        return BitmapKind::Other;
    }
    return KindOfExtension(container.GetEntryExtension(index));
}

std::vector<FileSummary> ListNames(const PseudoDirectory& container) {
    std::vector<FileSummary> names;
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        if (ListedKind(container, index) != BitmapKind::Other) {
            names.push_back(NameEntry(container, index));
        }
    }
    return names;
}

std::vector<FileSummary> ListSummaries(const PseudoDirectory& container,
                                       const std::function<void(const FileSummary&)>& onSummary) {
    std::vector<FileSummary> summaries;
    ForEachListed(container, [&](std::uint32_t index) {
        summaries.push_back(SummariseEntry(container, index));
        if (onSummary) {
            onSummary(summaries.back());
        }
    });
    return summaries;
}

std::string TransparencyText(std::uint32_t transparency) {
    static const char* const texts[] = {"Opaque", "Transparent", "Partial"};
    return transparency < 3 ? texts[transparency] : "";
}

std::string ColumnText(const FileSummary& summary, std::size_t column) {
    const int id = columns.at(column).id;
    if (id == kColumnName) {
        return summary.entryName;
    }
    if (id == kColumnType) {
        return summary.extension;
    }
    if (summary.levels.empty()) {
        return "";
    }
    if (id == kColumnTransparency) {
        return TransparencyText(summary.transparency);
    }
    return std::to_string(NumericValue(summary, id));
}

int CompareSummaries(const FileSummary& a, const FileSummary& b, int sortOrder) {
    const int result = CompareAscending(a, b, sortOrder < 0 ? -sortOrder : sortOrder);
    return sortOrder < 0 ? -result : result;
}

void SortSummaries(std::vector<FileSummary>& summaries, int sortOrder) {
    std::stable_sort(summaries.begin(), summaries.end(), [&](const auto& a, const auto& b) {
        return CompareSummaries(a, b, sortOrder) < 0;
    });
}

std::uint32_t ThumbnailLevel(const FileSummary& summary, std::uint32_t iconWidth,
                             std::uint32_t iconHeight) {
    std::uint32_t pick = 0;
    for (std::uint32_t level = 1; level < summary.LevelCount(); ++level) {
        const LevelSize& size = summary.levels[level];
        if (size.height < iconHeight || size.width < iconWidth) {
            break;
        }
        pick = level;
    }
    return pick;
}

FileRecord MakeRecord(const PseudoDirectory& container, std::uint32_t index) {
    return {index, container.GetEntryName(index), ListedKind(container, index),
            MakeBitmapFile(container, index)};
}

std::vector<FileRecord> ListRecords(const PseudoDirectory& container,
                                    const std::function<void(const FileRecord&)>& onRecord) {
    std::vector<FileRecord> records;
    ForEachListed(container, [&](std::uint32_t index) {
        records.push_back(MakeRecord(container, index));
        if (onRecord) {
            onRecord(records.back());
        }
    });
    return records;
}

FileSummary SummaryOf(const FileRecord& record) {
    FileSummary summary = SummariseFile(*record.file);
    summary.entryIndex = record.entryIndex;
    summary.entryName = record.entryName;
    summary.kind = record.kind;
    return summary;
}

std::string ColumnText(const FileRecord& record, std::size_t column) {
    return ColumnText(SummaryOf(record), column);
}

int CompareRecords(const FileRecord& a, const FileRecord& b, int sortOrder) {
    return CompareSummaries(SummaryOf(a), SummaryOf(b), sortOrder);
}

std::uint32_t ThumbnailLevel(const BitmapFile& file, std::uint32_t iconWidth,
                             std::uint32_t iconHeight) {
    return ThumbnailLevel(SummariseFile(file), iconWidth, iconHeight);
}

int SortOrderAfterClick(int sortOrder, int clickedColumn) {
    return sortOrder == clickedColumn ? -clickedColumn : clickedColumn;
}

const char* CommandText(int command) {
    switch (command) {
    case kCommandToBmp:
        return "Convert &To Bmp";
    case kCommandFromBmp:
        return "Convert &From Bmp";
    case kCommandToMip:
        return "Convert to &Mip";
    case kCommandToPbf:
        return "Convert to &Pbf/Stp";
    case kCommandToSrb:
        return "Convert to &Srb";
    case kCommandThumbnails:
        return "&Thumbnails";
    default:
        return "";
    }
}

std::string CommandBlocker(int command, const std::vector<BitmapKind>& selection) {
    if (command == kCommandThumbnails) {
        return "";
    }
    if (selection.empty()) {
        return "Select the files to convert first";
    }
    const auto all = [&](const auto& test) {
        return std::all_of(selection.begin(), selection.end(), test);
    };
    switch (command) {
    case kCommandToBmp:
        return all(IsGameKind) ? ""
                               : "Select only MIP, PBF/STP and SRB files to make pictures of them";
    case kCommandFromBmp:
        return IsGameKind(selection.front()) &&
                       all([&](BitmapKind kind) { return kind == selection.front(); })
                   ? ""
                   : "Select game files of one kind to put pictures back into them";
    case kCommandToMip:
    case kCommandToPbf:
    case kCommandToSrb:
        return all([](BitmapKind kind) { return PictureAsBmp(kind) == BitmapKind::Bmp; })
                   ? ""
                   : "Select only BMP or PNG files to make new game files";
    default:
        return "";
    }
}

bool IsCommandEnabled(int command, const std::vector<BitmapKind>& selection) {
    return CommandBlocker(command, selection).empty();
}

ListViewSettings ListViewSettings::Read(const SettingsStore& store) {
    ListViewSettings settings;
    settings.viewStyle = store.GetInt(kSettingsSection, kViewStyleKey, kDefaultViewStyle);
    settings.sortOrder = store.GetInt(kSettingsSection, kSortOrderKey, kDefaultSortOrder);
    settings.individualIcons =
        store.GetInt(kSettingsSection, kIndividualIconsKey, kDefaultIndividualIcons) > 0;
    return settings;
}

void ListViewSettings::Write(SettingsStore& store) const {
    store.WriteInt(kSettingsSection, kSortOrderKey, sortOrder);
    store.WriteInt(kSettingsSection, kViewStyleKey, viewStyle);
    store.WriteInt(kSettingsSection, kIndividualIconsKey, individualIcons ? 1 : 0);
}

void RefreshSchedule::NoteChange(std::uint32_t now) {
    pending_ = true;
    deadline_ = now + kQuietMilliseconds;
}

bool RefreshSchedule::IdleStep(std::uint32_t idleCount, std::uint32_t now, bool& due) {
    due = false;
    // The tick count wraps after 49 days: compare by difference.
    if (idleCount % 1000 == 0 && pending_ && static_cast<std::int32_t>(now - deadline_) >= 0) {
        due = true;
        pending_ = false;
    }
    return pending_;
}

} // namespace Ostrel::Vellix
