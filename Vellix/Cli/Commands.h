#pragma once

// The tool's subcommands. Each returns the process's exit status; failures travel as exceptions
// (see Main.cpp for how they become exit statuses).

#include "Vellix/Cli/CommandLine.h"

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

const std::vector<CommandSpec>& CommandTable();
// The command named by the first words of a command line; the words it took are counted in used.
// Throws XCommandLine, with a suggestion, when there is none.
const CommandSpec& FindCommand(const std::vector<std::string>& words, std::size_t& used);
std::string OverviewHelp();

// Prints one line per written file unless --quiet was given.
class WrittenFiles {
public:
    explicit WrittenFiles(const Arguments& arguments) : quiet_(arguments.Has("quiet")) {}
    void operator()(const std::string& path) const;

private:
    bool quiet_;
};

} // namespace Ostrel::Vellix::Cli
