// list: the list view's eleven columns for the bitmaps of a directory or an archive, sorted as
// the list view sorts.

#include "Util/Text.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Container.h"
#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

// What the columns show of a file, taken while the file is at hand: the list's factory drops each
// file after it is listed, so the table and the sort never read a file twice and never hold more
// than one at a time.
class ListedFile : public BitmapFile {
public:
    explicit ListedFile(const BitmapFile& file)
        : baseName_(file.GetBaseName()), extension_(file.GetExtension()),
          levels_(file.GetBitmapCount()) {
        if (levels_ > 0) {
            values_ = {file.GetWidth(),       file.GetHeight(),      file.GetRedBits(),
                       file.GetGreenBits(),   file.GetBlueBits(),    file.GetAlphaBits(),
                       file.GetPaletteSize(), file.GetTransparency()};
            palettised_ = file.IsPalettised();
        }
    }

    std::string GetBaseName() const override { return baseName_; }
    std::string GetExtension() const override { return extension_; }
    std::uint32_t GetBitmapCount() const override { return levels_; }
    Util::CountedPtr<Trova::Bitmap> GetBitmap(std::uint32_t) const override { return {}; }
    std::uint32_t GetWidth() const override { return values_[0]; }
    std::uint32_t GetHeight() const override { return values_[1]; }
    std::uint32_t GetRedBits() const override { return values_[2]; }
    std::uint32_t GetGreenBits() const override { return values_[3]; }
    std::uint32_t GetBlueBits() const override { return values_[4]; }
    std::uint32_t GetAlphaBits() const override { return values_[5]; }
    bool IsPalettised() const override { return palettised_; }
    bool HasIndividualPalettes() const override { return false; }
    std::uint32_t GetPaletteSize() const override { return values_[6]; }
    std::uint32_t GetTransparency() const override { return values_[7]; }

private:
    std::string baseName_;
    std::string extension_;
    std::uint32_t levels_;
    std::array<std::uint32_t, 8> values_{};
    bool palettised_ = false;
};

int SortOrder(const Arguments& arguments) {
    const std::string heading = arguments.Value("sort").value_or("Name");
    const int column = FindColumn(heading);
    if (column == 0) {
        std::vector<std::string> headings;
        for (const ListColumn& candidate : ListColumns()) {
            headings.push_back(candidate.heading);
        }
        std::string message = "no column \"" + heading + "\" to sort by";
        if (const auto suggestion = Suggest(heading, headings)) {
            message += " (did you mean " + *suggestion + "?)";
        }
        throw XCommandLine(message);
    }
    return arguments.Has("descending") ? -column : column;
}

bool IsNumericColumn(int id) {
    return id != kColumnName && id != kColumnType && id != kColumnTransparency;
}

Report JsonRecord(const FileRecord& record) {
    Report object = Report::Object();
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        const ListColumn& heading = ListColumns()[column];
        const std::string text = ColumnText(record, column);
        Report value;
        if (!text.empty()) {
            value = IsNumericColumn(heading.id) ? Report::Integer(std::stoll(text))
                                                : Report::Text(text);
        }
        object.Add(Util::ToLower(heading.heading), std::move(value));
    }
    return object;
}

void PrintJson(const std::vector<FileRecord>& records) {
    Report array = Report::Array();
    for (const FileRecord& record : records) {
        array.Append(JsonRecord(record));
    }
    array.WriteJson(std::cout);
    std::cout << '\n';
}

void PrintTable(const std::vector<FileRecord>& records) {
    const auto& columns = ListColumns();
    std::vector<std::vector<std::string>> rows(1);
    for (const ListColumn& column : columns) {
        rows[0].push_back(column.heading);
    }
    for (const FileRecord& record : records) {
        rows.emplace_back();
        for (std::size_t column = 0; column < columns.size(); ++column) {
            rows.back().push_back(ColumnText(record, column));
        }
    }
    std::vector<std::size_t> widths(columns.size());
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::string cell = row[column];
            cell.resize(widths[column] + 2, ' ');
            line += cell;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::cout << line << '\n';
    }
}

void Print(std::vector<FileRecord>& records, int sortOrder, bool json) {
    SortRecords(records, sortOrder);
    if (json) {
        PrintJson(records);
    } else {
        PrintTable(records);
    }
}

} // namespace

int RunList(const Arguments& arguments) {
    const int sortOrder = SortOrder(arguments);
    const auto container = OpenContainer(arguments.Operands()[0]);
    std::vector<FileRecord> records;
    try {
        ListRecords(*container, [&](const FileRecord& record) {
            records.push_back(record);
            records.back().file = Util::MakeCounted<ListedFile>(*record.file);
        });
    } catch (...) {
        // As in the list view, the files listed before a failure stay listed.
        Print(records, sortOrder, arguments.Has("json"));
        throw;
    }
    Print(records, sortOrder, arguments.Has("json"));
    return 0;
}

} // namespace Ostrel::Vellix::Cli
