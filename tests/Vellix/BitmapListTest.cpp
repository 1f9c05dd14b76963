#include "Vellix/BitmapList.h"
#include "Support/TestSupport.h"
#include "Trova/DIB.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <gtest/gtest.h>
#include <map>

using namespace Ostrel::Vellix;
using namespace Ostrel::Trova;
using namespace Ostrel::Util;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;

namespace {

void WriteMip(const std::string& path, std::uint32_t height, std::uint32_t width,
              std::uint32_t levels, std::uint32_t transparency = 0) {
    GPLMipFile mip(height, width, 5, 6, 5, transparency == 0 ? 0 : 1, transparency, false, 16,
                   false, false, false, levels, 0, 8, 0);
    mip.Write(CreateNew(path));
}

void WritePbf(const std::string& path) {
    GPLPbfFile pbf(4, 4, 4, 4, 2, false, 16);
    CountedPtr<Bitmap> picture(new BitmapSimple(2, 2));
    pbf.SetBitmap(picture);
    pbf.Write(CreateNew(path));
}

void WriteBmp(const std::string& path, std::uint16_t bits, std::uint32_t size) {
    DIB dib(bits);
    dib.SetSize(size, size);
    dib.Save(path, false);
}

std::map<std::string, FileSummary> ByName(const std::vector<FileSummary>& summaries) {
    std::map<std::string, FileSummary> byName;
    for (const FileSummary& summary : summaries) {
        byName[summary.entryName] = summary;
    }
    return byName;
}

std::vector<std::string> Texts(const FileSummary& summary) {
    std::vector<std::string> texts;
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        texts.push_back(ColumnText(summary, column));
    }
    return texts;
}

std::vector<std::string> Names(const std::vector<FileSummary>& summaries) {
    std::vector<std::string> names;
    for (const FileSummary& summary : summaries) {
        names.push_back(summary.entryName);
    }
    return names;
}

// A directory with one file of each listed kind, a file of another kind and a subdirectory.
struct MixedDirectory {
    MixedDirectory() {
        WriteBmp(dir / "a.bmp", 24, 4);
        WriteMip(dir / "b.MIP", 16, 16, 3);
        WriteMip(dir / "c.m16", 8, 32, 2, 1);
        WritePbf(dir / "d.stp");
        WriteBytes(dir / "e.txt", {'x'});
        Platform::MakeDirectory(dir / "sub");
    }
    TempDir dir;
};

} // namespace

TEST(BitmapList, ListsOnlyBitmapsWithTheirColumnTexts) {
    MixedDirectory mixed;
    RealDirectory container(mixed.dir.Path());
    auto records = ByName(ListSummaries(container));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records["a.bmp"].kind, BitmapKind::Bmp);
    EXPECT_EQ(records["c.m16"].kind, BitmapKind::Mip);
    EXPECT_EQ(records["d.stp"].kind, BitmapKind::Pbf);
    EXPECT_EQ(Texts(records["a.bmp"]), (std::vector<std::string>{"a.bmp", "bmp", "1", "4", "4", "8",
                                                                 "8", "8", "0", "0", "Opaque"}));
    EXPECT_EQ(Texts(records["b.MIP"]),
              (std::vector<std::string>{"b.MIP", "MIP", "3", "16", "16", "5", "6", "5", "0", "0",
                                        "Opaque"}));
    EXPECT_EQ(Texts(records["c.m16"])[10], "Transparent");
    EXPECT_EQ(Texts(records["c.m16"])[3], "32");
    EXPECT_EQ(Texts(records["d.stp"])[10], "Partial");
}

// The header-only read of a BMP answers as reading the whole picture does, and a file that
// cannot be read is listed with its message among the others.
TEST(BitmapList, BmpSummariesMatchTheWholePictureAndBrokenFilesCarryTheirMessage) {
    TempDir dir;
    WriteBmp(dir / "p.bmp", 8, 2);
    WriteBmp(dir / "q.bmp", 4, 3);
    WriteBmp(dir / "t.bmp", 24, 5);
    WriteBytes(dir / "short.bmp", {'B', 'M', 0});
    WriteBytes(dir / "broken.mip", {1, 2, 3});
    RealDirectory container(dir.Path());
    auto summaries = ByName(ListSummaries(container));
    ASSERT_EQ(summaries.size(), 5u);
    for (const char* name : {"p.bmp", "q.bmp", "t.bmp"}) {
        const FileRecord record = MakeRecord(container, summaries[name].entryIndex);
        EXPECT_EQ(Texts(summaries[name]), Texts(SummaryOf(record))) << name;
        EXPECT_EQ(summaries[name].levels,
                  (std::vector<LevelSize>{{record.file->GetWidth(), record.file->GetHeight()}}));
    }
    EXPECT_EQ(summaries["p.bmp"].bitsPerPixel, 8u);
    EXPECT_EQ(summaries["p.bmp"].paletteSize, 256u);
    for (const char* name : {"short.bmp", "broken.mip"}) {
        EXPECT_FALSE(summaries[name].error.empty()) << name;
        EXPECT_EQ(Texts(summaries[name])[2], "");
    }
}

TEST(BitmapList, SortsByEveryKeyAndReversesOnASecondClick) {
    MixedDirectory mixed;
    RealDirectory container(mixed.dir.Path());
    auto records = ListSummaries(container);
    SortSummaries(records, kColumnName);
    EXPECT_EQ(Names(records), (std::vector<std::string>{"a.bmp", "b.MIP", "c.m16", "d.stp"}));
    int order = SortOrderAfterClick(kColumnName, kColumnWidth);
    EXPECT_EQ(order, kColumnWidth);
    order = SortOrderAfterClick(order, kColumnWidth);
    EXPECT_EQ(order, -kColumnWidth);
    SortSummaries(records, order);
    EXPECT_EQ(records.front().entryName, "c.m16"); // 32 wide
    EXPECT_EQ(records.back().entryName, "d.stp");  // 2 wide
    SortSummaries(records, kColumnTransparency);
    EXPECT_EQ(records.back().entryName, "d.stp");
    SortSummaries(records, kColumnType); // byte-wise: upper case first
    EXPECT_EQ(records.front().entryName, "b.MIP");
    SortSummaries(records, -kColumnLevels);
    EXPECT_EQ(records.front().entryName, "b.MIP");
    EXPECT_EQ(CompareSummaries(records[0], records[1], 12345), 0);
    EXPECT_EQ(FindColumn("transparency"), kColumnTransparency);
    EXPECT_EQ(FindColumn("Depth"), 0);
}

TEST(BitmapList, ThumbnailsComeFromTheSmallestLevelThatCoversTheIcon) {
    TempDir dir;
    WriteMip(dir / "square.mip", 256, 256, 9);
    WriteMip(dir / "wide.mip", 64, 256, 5);
    RealDirectory container(dir.Path());
    auto records = ByName(ListSummaries(container));
    EXPECT_EQ(ThumbnailLevel(records["square.mip"], 32, 32), 3u);
    EXPECT_EQ(ThumbnailLevel(records["wide.mip"], 32, 32), 1u);
    EXPECT_EQ(ThumbnailLevel(records["square.mip"], 16, 16), 4u);
    EXPECT_EQ(ThumbnailLevel(records["square.mip"], 512, 512), 0u);
}

TEST(BitmapList, CommandsSayWhatToSelectWhenTheyCannotTakeTheSelection) {
    using K = BitmapKind;
    const std::string toBmp = "Select only MIP, PBF/STP and SRB files to make pictures of them";
    const std::string fromBmp = "Select game files of one kind to put pictures back into them";
    const std::string newFiles = "Select only BMP or PNG files to make new game files";
    const struct {
        int command;
        std::vector<K> selection;
        std::string blocker;
    } cases[] = {
        {kCommandToBmp, {K::Mip, K::Srb, K::Pbf}, ""},
        {kCommandToBmp, {K::Mip, K::Bmp}, toBmp},
        {kCommandToBmp, {}, "Select the files to convert first"},
        {kCommandFromBmp, {K::Mip, K::Mip}, ""},
        {kCommandFromBmp, {K::Pbf}, ""},
        {kCommandFromBmp, {K::Mip, K::Srb}, fromBmp},
        {kCommandFromBmp, {K::Bmp}, fromBmp},
        {kCommandToMip, {K::Bmp, K::Bmp}, ""},
        {kCommandToPbf, {K::Bmp, K::Mip}, newFiles},
        {kCommandToSrb, {K::Other}, newFiles},
        {kCommandThumbnails, {}, ""},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(CommandBlocker(each.command, each.selection), each.blocker) << each.command;
        EXPECT_EQ(IsCommandEnabled(each.command, each.selection), each.blocker.empty());
    }
}

TEST(BitmapList, ViewSettingsHaveDefaultsAndSurviveARestart) {
    MemorySettingsStore store;
    ListViewSettings settings = ListViewSettings::Read(store);
    EXPECT_EQ(settings.viewStyle, kStyleReport);
    EXPECT_EQ(settings.sortOrder, kColumnName);
    EXPECT_TRUE(settings.individualIcons);
    settings.sortOrder = -kColumnWidth;
    settings.viewStyle = kStyleIcon;
    settings.individualIcons = false;
    settings.Write(store);
    const ListViewSettings again = ListViewSettings::Read(store);
    EXPECT_EQ(again.sortOrder, -kColumnWidth);
    EXPECT_EQ(again.viewStyle, kStyleIcon);
    EXPECT_FALSE(again.individualIcons);
    EXPECT_EQ(store.GetWrittenKeys(),
              (std::vector<std::string>{"SortOrder", "ViewStyle", "IndividualIcons"}));
}

TEST(BitmapList, ABurstOfChangesGivesOneRefreshASecondAfterTheLast) {
    RefreshSchedule schedule;
    bool due = false;
    schedule.NoteChange(10'000);
    schedule.NoteChange(10'200);
    schedule.NoteChange(10'400);
    EXPECT_TRUE(schedule.IdleStep(1000, 11'300, due));
    EXPECT_FALSE(due);
    EXPECT_TRUE(schedule.IdleStep(1001, 11'500, due)); // the clock is read every 1000th call
    EXPECT_FALSE(due);
    EXPECT_FALSE(schedule.IdleStep(2000, 11'400, due));
    EXPECT_TRUE(due);
    EXPECT_FALSE(schedule.IdleStep(3000, 20'000, due));
    EXPECT_FALSE(due);
}
