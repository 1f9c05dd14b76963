// list: the list view's eleven columns for the bitmaps of a directory or an archive, sorted as
// the list view sorts.

#include "Util/Text.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Container.h"
#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

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

Report JsonRecord(const FileSummary& summary) {
    Report object = Report::Object();
    for (std::size_t column = 0; column < ListColumns().size(); ++column) {
        const ListColumn& heading = ListColumns()[column];
        const std::string text = ColumnText(summary, column);
        Report value;
        if (!text.empty()) {
            value = IsNumericColumn(heading.id) ? Report::Integer(std::stoll(text))
                                                : Report::Text(text);
        }
        object.Add(Util::ToLower(heading.heading), std::move(value));
    }
    if (!summary.error.empty()) {
        object.Add("error", Report::Text(summary.error));
    }
    return object;
}

void PrintJson(const std::vector<FileSummary>& summaries) {
    Report array = Report::Array();
    for (const FileSummary& summary : summaries) {
        array.Append(JsonRecord(summary));
    }
    array.WriteJson(std::cout);
    std::cout << '\n';
}

// A file that cannot be read shows its message after its name and type.
constexpr std::size_t kMessageColumn = 2;

void PrintTable(const std::vector<FileSummary>& summaries) {
    const auto& columns = ListColumns();
    std::vector<std::vector<std::string>> rows(1);
    for (const ListColumn& column : columns) {
        rows[0].push_back(column.heading);
    }
    for (const FileSummary& summary : summaries) {
        rows.emplace_back();
        for (std::size_t column = 0; column < columns.size(); ++column) {
            rows.back().push_back(ColumnText(summary, column));
        }
        if (!summary.error.empty()) {
            rows.back().resize(kMessageColumn + 1);
            rows.back()[kMessageColumn] = "error: " + summary.error;
        }
    }
    std::vector<std::size_t> widths(columns.size());
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            // An error message runs to the end of its line without widening its column.
            if (row.size() == columns.size() || column < kMessageColumn) {
                widths[column] = std::max(widths[column], row[column].size());
            }
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::string cell = row[column];
            cell.resize(std::max(cell.size(), widths[column]) + 2, ' ');
            line += cell;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::cout << line << '\n';
    }
}

void Print(std::vector<FileSummary>& summaries, int sortOrder, bool json) {
    SortSummaries(summaries, sortOrder);
    if (json) {
        PrintJson(summaries);
    } else {
        PrintTable(summaries);
    }
}

} // namespace

// The readable files are listed whatever fails; a file that cannot be read is listed with its
// message and makes the command fail once everything is printed.
int RunList(const Arguments& arguments) {
    const int sortOrder = SortOrder(arguments);
    const auto container = OpenContainer(arguments.Operands()[0]);
    std::vector<FileSummary> summaries = ListSummaries(*container);
    Print(summaries, sortOrder, arguments.Has("json"));
    const bool anyFailed = std::any_of(summaries.begin(), summaries.end(),
                                       [](const FileSummary& each) { return !each.error.empty(); });
    return anyFailed ? 1 : 0;
}

} // namespace Ostrel::Vellix::Cli
