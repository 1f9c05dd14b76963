// How the conversion commands run their batch: the operands searched for files, the batch
// options applied, and what happened printed for people or as one JSON document.

#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/BatchFiles.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

// More threads than this help no machine this runs on and only cost memory.
constexpr std::int64_t kMostJobs = 64;

namespace Platform = Util::Platform;

// One line on a terminal's standard error: files done of all, and the file at hand. Worth it
// only for more than a few files.
class ProgressLine {
public:
    explicit ProgressLine(bool shown) : shown_(shown) {}
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { Clear(); }

    void Show(std::size_t done, std::size_t total, const std::string& file) {
        constexpr std::size_t kFew = 3;
        constexpr std::size_t kWidth = 79;
        if (!shown_ || total <= kFew) {
            return;
        }
        std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + file;
        if (line.size() > kWidth) {
            line = line.substr(0, 10) + "..." + line.substr(line.size() - (kWidth - 13));
        }
        std::cerr << '\r' << line
                  << std::string(width_ > line.size() ? width_ - line.size() : 0, ' ')
                  << std::flush;
        width_ = line.size();
    }

    void Clear() {
        if (width_ > 0) {
            std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
            width_ = 0;
        }
    }

private:
    bool shown_;
    std::size_t width_ = 0;
};

Report Texts(const std::vector<std::string>& texts) {
    Report array = Report::Array();
    for (const std::string& text : texts) {
        array.Append(Report::Text(text));
    }
    return array;
}

Report TextOrNull(const std::string& text) {
    return text.empty() ? Report() : Report::Text(text);
}

Report JsonOutcome(const FileOutcome& outcome) {
    return Report::Object()
        .Add("file", Report::Text(outcome.file))
        .Add("read", Texts(outcome.read))
        .Add("written", Texts(outcome.written))
        .Add("replaced", Texts(outcome.replaced))
        .Add("skipped", TextOrNull(outcome.skipped))
        .Add("failure", TextOrNull(outcome.failure));
}

// What the operands name, each checked: a directory needs -r.
BatchFiles FindFiles(const Arguments& arguments, const std::vector<BitmapKind>& kinds) {
    const BatchSearch search{kinds, arguments.Has("recursive"), !arguments.Has("no-archives")};
    BatchFiles found;
    for (const std::string& operand : arguments.Operands()) {
        if (!search.recursive && !IsWildcard(operand) &&
            Platform::IsDirectory(Platform::ResolveCase(operand))) {
            throw XCommandLine(operand + " is a directory (give -r to take the files below it)");
        }
        FindBatchFiles(operand, search, found);
    }
    return found;
}

// The batch's files; one that is not there is a failure of its own when the batch keeps going.
std::vector<FileOutcome> AddFiles(const BatchFiles& found, bool keepGoing, ConversionBatch& batch) {
    std::vector<FileOutcome> others;
    for (const SkippedFile& skipped : found.skipped) {
        others.push_back({skipped.path, {}, {}, {}, skipped.reason, {}});
    }
    for (const BatchFile& file : found.files) {
        try {
            batch.AddPath(file.path, file.relative);
        } catch (const Util::Exception& error) {
            if (!keepGoing) {
                throw;
            }
            others.push_back({file.path, {}, {}, {}, {}, error.Message()});
        }
    }
    return others;
}

void PrintJson(const Arguments& arguments, const std::vector<FileOutcome>& outcomes,
               const std::vector<std::string>& notes) {
    Report files = Report::Array();
    std::int64_t failed = 0;
    for (const FileOutcome& outcome : outcomes) {
        files.Append(JsonOutcome(outcome));
        failed += outcome.failure.empty() ? 0 : 1;
    }
    Report::Object()
        .Add("command", Report::Text(arguments.Command().name))
        .Add("dryRun", Report::Bool(arguments.Has("dry-run")))
        .Add("files", files)
        .Add("failed", Report::Integer(failed))
        .Add("notes", Texts(notes))
        .WriteJson(std::cout);
    std::cout << '\n';
}

// A dry run names every file it would touch, one per line with what it would do.
void PrintPlan(const std::vector<FileOutcome>& outcomes) {
    for (const FileOutcome& outcome : outcomes) {
        for (const std::string& path : outcome.read) {
            std::cout << "read " << path << '\n';
        }
        for (const std::string& path : outcome.written) {
            const bool replaced = std::find(outcome.replaced.begin(), outcome.replaced.end(),
                                            path) != outcome.replaced.end();
            std::cout << (replaced ? "replace " : "write ") << path << '\n';
        }
    }
}

void PrintRemarks(const std::vector<FileOutcome>& outcomes, const std::vector<std::string>& notes) {
    std::cout.flush();
    for (const std::string& note : notes) {
        std::cerr << "vellix-cli: note: " << note << '\n';
    }
    for (const FileOutcome& outcome : outcomes) {
        if (!outcome.skipped.empty()) {
            std::cerr << "vellix-cli: skipped " << outcome.file << ": " << outcome.skipped << '\n';
        }
        if (!outcome.failure.empty()) {
            std::cerr << "vellix-cli: " << outcome.file << ": " << outcome.failure << '\n';
        }
    }
}

// --jobs, from 1 up; the processors there are when it is not given.
unsigned Jobs(const Arguments& arguments) {
    const auto jobs = arguments.Declares("jobs") ? arguments.Integer("jobs") : std::nullopt;
    if (!jobs) {
        return DefaultJobs();
    }
    if (*jobs < 1 || *jobs > kMostJobs) {
        throw XCommandLine("option --jobs is out of range: " + *arguments.Value("jobs"));
    }
    return static_cast<unsigned>(*jobs);
}

} // namespace

int RunBatch(const Arguments& arguments, const std::vector<BitmapKind>& kinds,
             const std::function<void(ConversionBatch& batch)>& convert) {
    const bool json = arguments.Has("json");
    const bool quiet = json || arguments.Has("quiet");
    // Only some conversions take each folder option.
    const auto folder = [&](const std::string& option) {
        return arguments.Declares(option) ? arguments.Value(option).value_or("") : "";
    };
    const BatchSettings settings{folder("output"), folder("pictures"), arguments.Has("dry-run"),
                                 arguments.Has("keep-going"), Jobs(arguments)};
    const BatchFiles found = FindFiles(arguments, kinds);
    ConversionBatch batch(quiet || settings.dryRun ? WrittenFileHandler()
                                                   : WrittenFiles(arguments));
    batch.SetSettings(settings);
    std::vector<FileOutcome> outcomes = AddFiles(found, settings.keepGoing, batch);
    ProgressLine progress(!quiet && Platform::StandardErrorIsTerminal());
    batch.SetProgress([&](std::size_t done, std::size_t total, const std::string& file) {
        progress.Show(done, total, file);
    });
    try {
        convert(batch);
    } catch (...) {
        progress.Clear();
        if (json) {
            outcomes.insert(outcomes.end(), batch.GetOutcomes().begin(), batch.GetOutcomes().end());
            PrintJson(arguments, outcomes, batch.GetNotes());
        }
        throw;
    }
    progress.Clear();
    outcomes.insert(outcomes.end(), batch.GetOutcomes().begin(), batch.GetOutcomes().end());
    return ReportOutcomes(arguments, outcomes, batch.GetNotes());
}

int ReportOutcomes(const Arguments& arguments, const std::vector<FileOutcome>& outcomes,
                   const std::vector<std::string>& notes) {
    if (arguments.Has("json")) {
        PrintJson(arguments, outcomes, notes);
    } else if (arguments.Has("dry-run") && !arguments.Has("quiet")) {
        PrintPlan(outcomes);
    }
    PrintRemarks(outcomes, notes);
    const bool failed =
        std::any_of(outcomes.begin(), outcomes.end(),
                    [](const FileOutcome& outcome) { return !outcome.failure.empty(); });
    return failed ? 1 : 0;
}

} // namespace Ostrel::Vellix::Cli
