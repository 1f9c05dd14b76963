#pragma once

// What the bitmap list shows, without drawing it: which entries of a container are listed, the
// texts of the eleven columns, the sort keys, the level a thumbnail is made from, which commands a
// selection enables, the view settings and the coalescing of change reports.

#include "Util/CountedPtr.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/FileSummary.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

class PseudoDirectory;
class SettingsStore;

// The columns' string ids, which are also the sort keys.
inline constexpr int kColumnName = 61204;
inline constexpr int kColumnType = 61205;
inline constexpr int kColumnWidth = 61206;
inline constexpr int kColumnHeight = 61207;
inline constexpr int kColumnLevels = 61208;
inline constexpr int kColumnRed = 61209;
inline constexpr int kColumnGreen = 61210;
inline constexpr int kColumnBlue = 61211;
inline constexpr int kColumnAlpha = 61212;
inline constexpr int kColumnPalette = 61213;
inline constexpr int kColumnTransparency = 61214;

struct ListColumn {
    int id;
    const char* heading;
    int width;
};

// The details view's columns in display order.
const std::array<ListColumn, 11>& ListColumns();
// The string id of a heading ("width", "Palette"...), case ignored; 0 when there is none.
int FindColumn(const std::string& heading);

// The kind under which an entry is listed; Other when it is not listed (subdirectories and files
// of other kinds).
BitmapKind ListedKind(const PseudoDirectory& container, std::uint32_t index);
// Every listed entry in entry order with its names and kind alone, at once.
std::vector<FileSummary> ListNames(const PseudoDirectory& container);
// The summaries of every listed entry in entry order; a file that cannot be read is listed with
// its error. After each file the container's factory drops the cached files that nothing else
// holds. onSummary sees each summary as it is made.
std::vector<FileSummary>
ListSummaries(const PseudoDirectory& container,
              const std::function<void(const FileSummary&)>& onSummary = nullptr);

// The text of a column (0 to 10); columns 2 to 10 are empty for a file without levels.
std::string ColumnText(const FileSummary& summary, std::size_t column);
// The transparency text of a class: "Opaque", "Transparent", "Partial", or empty.
std::string TransparencyText(std::uint32_t transparency);

// Negative when a sorts before b under the sort order (a column id, negative for descending).
int CompareSummaries(const FileSummary& a, const FileSummary& b, int sortOrder);
void SortSummaries(std::vector<FileSummary>& summaries, int sortOrder);
// A click on the column that sorts reverses the order; a click on another sorts ascending by it.
int SortOrderAfterClick(int sortOrder, int clickedColumn);

// The smallest level that still covers the icon in both directions; level 0 if none does.
std::uint32_t ThumbnailLevel(const FileSummary& summary, std::uint32_t iconWidth,
                             std::uint32_t iconHeight);

// One listed file with its adapter, for the views that draw its pictures.
struct FileRecord {
    std::uint32_t entryIndex = 0;
    std::string entryName; // with extension
    BitmapKind kind = BitmapKind::Other;
    Util::CountedPtr<BitmapFile> file;
};

FileRecord MakeRecord(const PseudoDirectory& container, std::uint32_t index);
// The records of every listed entry in entry order; fails at the first file that cannot be read.
std::vector<FileRecord>
ListRecords(const PseudoDirectory& container,
            const std::function<void(const FileRecord&)>& onRecord = nullptr);
FileSummary SummaryOf(const FileRecord& record);
std::string ColumnText(const FileRecord& record, std::size_t column);
int CompareRecords(const FileRecord& a, const FileRecord& b, int sortOrder);
std::uint32_t ThumbnailLevel(const BitmapFile& file, std::uint32_t iconWidth,
                             std::uint32_t iconHeight);

// The list view's commands.
inline constexpr int kCommandToBmp = 32772;
inline constexpr int kCommandFromBmp = 32777;
inline constexpr int kCommandToMip = 32773;
inline constexpr int kCommandToPbf = 32778;
inline constexpr int kCommandToSrb = 32779;
inline constexpr int kCommandThumbnails = 32783;

const char* CommandText(int command);
// Why a command cannot take the selection, as a prompt that says what to select; empty when it
// can. "Convert To Bmp" takes any mix of game files, "Convert From Bmp" game files of one kind,
// the "Convert to" commands BMP files only.
std::string CommandBlocker(int command, const std::vector<BitmapKind>& selection);
bool IsCommandEnabled(int command, const std::vector<BitmapKind>& selection);

// The view styles as stored.
inline constexpr int kStyleIcon = 0;
inline constexpr int kStyleReport = 1;
inline constexpr int kStyleSmallIcon = 2;
inline constexpr int kStyleList = 3;

struct ListViewSettings {
    int viewStyle = kStyleReport;
    int sortOrder = kColumnName;
    bool individualIcons = true;

    static ListViewSettings Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;
};

// Change reports for the shown directory arrive in bursts; the list is filled again once, a
// second after the last report of a burst.
class RefreshSchedule {
public:
    static constexpr std::uint32_t kQuietMilliseconds = 1000;

    void NoteChange(std::uint32_t now);
    // The idle step: looks at the clock only on every thousandth idle call. Sets due when the
    // refill should happen now; returns whether a refill is still pending.
    bool IdleStep(std::uint32_t idleCount, std::uint32_t now, bool& due);
    bool IsPending() const { return pending_; }

private:
    bool pending_ = false;
    std::uint32_t deadline_ = 0;
};

} // namespace Ostrel::Vellix
