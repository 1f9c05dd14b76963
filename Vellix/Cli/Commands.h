#pragma once

// The tool's subcommands. Each returns the process's exit status; failures travel as exceptions
// (see Main.cpp for how they become exit statuses).

#include "Vellix/BitmapFile.h"
#include "Vellix/Cli/CommandLine.h"
#include "Vellix/ConversionBatch.h"

#include <functional>

#include <string>
#include <vector>

namespace Ostrel::Vellix::Cli {

int RunList(const Arguments& arguments);
int RunInfo(const Arguments& arguments);
int RunToBmp(const Arguments& arguments);
int RunFromBmp(const Arguments& arguments);
int RunToMip(const Arguments& arguments);
int RunToPbf(const Arguments& arguments);
int RunToSrb(const Arguments& arguments);
int RunDatList(const Arguments& arguments);
int RunDatExtract(const Arguments& arguments);
int RunDatBuild(const Arguments& arguments);
int RunDatAdd(const Arguments& arguments);
int RunDatRemove(const Arguments& arguments);
int RunDatRename(const Arguments& arguments);

const std::vector<CommandSpec>& CommandTable();
// The command named by the first words of a command line; the words it took are counted in used.
// Throws XCommandLine, with a suggestion, when there is none.
const CommandSpec& FindCommand(const std::vector<std::string>& words, std::size_t& used);
std::string OverviewHelp();
// The dat subcommands and what they do.
std::string DatHelp();
// What the --json results of the commands that write look like.
std::string JsonHelp();

// Runs a conversion batch over the files the operands name (of the given kinds when searching
// directories and archives), with the batch options of the command line; prints what it wrote
// (or would write), its notes and, when it keeps going, every failure. Returns the exit status.
int RunBatch(const Arguments& arguments, const std::vector<BitmapKind>& kinds,
             const std::function<void(ConversionBatch& batch)>& convert);

// Prints the outcomes as the --json document, or as a dry run's plan, and the notes, skipped
// files and failures on standard error. Returns 1 when a file failed, else 0.
int ReportOutcomes(const Arguments& arguments, const std::vector<FileOutcome>& outcomes,
                   const std::vector<std::string>& notes);

// Prints one line per written file unless --quiet was given.
class WrittenFiles {
public:
    explicit WrittenFiles(const Arguments& arguments) : quiet_(arguments.Has("quiet")) {}
    void operator()(const std::string& path) const;

private:
    bool quiet_;
};

} // namespace Ostrel::Vellix::Cli
