#include "Vellix/Cli/Commands.h"

#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

const OptionSpec kJson{"json", nullptr, "print JSON instead of text"};
const OptionSpec kJsonResults{"json", nullptr,
                              "print what was read, written, skipped and failed as JSON "
                              "(see vellix-cli help json)"};
const OptionSpec kQuiet{"quiet", nullptr, "do not list the files written", 'q'};
const OptionSpec kDryRun{"dry-run", nullptr,
                         "show what would be read, written and replaced; write nothing", 'n'};
const OptionSpec kRecursive{"recursive", nullptr,
                            "take every file of the command's kind below directory operands, "
                            "archive members included",
                            'r'};
const OptionSpec kNoArchives{"no-archives", nullptr, "with -r, leave the archives' members out"};
const OptionSpec kKeepGoing{"keep-going", nullptr,
                            "go on after a failure; report every failure at the end", 'k'};
const OptionSpec kOutput{"output", "DIR",
                         "write below DIR, each file at its place relative to its operand", 'o'};
const OptionSpec kJobs{"jobs", "N", "convert N files at once (default: the number of processors)",
                       'j'};
const OptionSpec kOverwrite{"overwrite", nullptr, "replace files that exist already"};
const OptionSpec kTransparency{"transparency", "none|separate|colour|alpha",
                               "how transparency travels through the pictures (default separate: "
                               "NAME_ti.bmp; alpha with --format png)"};
const OptionSpec kFormat{"format", "bmp|png", "the pictures' file format (default bmp)"};
const OptionSpec kKey{"key", "R,G,B",
                      "the transparency colour for --transparency colour "
                      "(default 255,0,255)"};
const OptionSpec kBits{"bits", "R,G,B,A", "bits per channel (default 8,8,8,8)"};
const OptionSpec kClass{"class", "opaque|transparent|partial",
                        "the transparency class (default partial)"};
const OptionSpec kColours{"colours", "N", "colours of the palette (default 16)"};
const OptionSpec kNoPalette{"no-palette", nullptr, "store colours without a palette"};
const OptionSpec kIndividual{"individual-palettes", nullptr, "one palette per level"};
const OptionSpec kLevels{"levels", "N", "the number of levels (default: down to 8 pixels)"};

// The options of a command's own, then those every conversion batch has.
std::vector<OptionSpec> BatchOptions(std::vector<OptionSpec> options) {
    options.insert(options.end(), {kFormat, kTransparency, kKey, kOverwrite, kRecursive,
                                   kNoArchives, kDryRun, kKeepGoing, kJobs, kJsonResults, kQuiet});
    return options;
}

std::vector<OptionSpec> NewFileOptions(std::vector<OptionSpec> own) {
    std::vector<OptionSpec> options{kBits, kClass, kColours, kNoPalette};
    options.insert(options.end(), own.begin(), own.end());
    options.push_back(kOutput);
    return BatchOptions(options);
}

const std::vector<CommandSpec> commands = {
    {"list",
     "PATH",
     "Lists the bitmaps of a directory or a DAT archive with the columns of the list view.",
     1,
     1,
     {{"sort", "COLUMN", "sort by this column heading (default Name)"},
      {"descending", nullptr, "sort in descending order"},
      kJson},
     RunList},
    {"info", "FILE", "Prints everything known about one bitmap file.", 1, 1, {kJson}, RunInfo},
    {"to-bmp", "FILE...", "Converts MIP, PBF/STP and SRB files to BMP files, one per level.", 1,
     kAnyNumber,
     BatchOptions({{"all-levels", nullptr, "write every level of the files with levels"},
                   {"level", "N", "the level to write, from 1 (default 1)"},
                   kOutput}),
     RunToBmp},
    {"from-bmp", "FILE...", "Puts BMP files back into existing MIP, PBF/STP and SRB files.", 1,
     kAnyNumber,
     BatchOptions(
         {{"all-levels", nullptr, "read every level of the files with levels"},
          {"level", "N", "the level to read, from 1 (default 1)"},
          {"no-sub-levels", nullptr, "keep the levels below it instead of shrinking it into them"},
          {"keep-palette", nullptr,
           "map the pictures onto the MIP and SRB files' palettes instead of rebuilding them"},
          {"pictures", "DIR", "read the pictures from below DIR, as to-bmp --output left them"}}),
     RunFromBmp},
    {"to-mip", "PICTURE...", "Makes new MIP files from BMP or PNG files.", 1, kAnyNumber,
     NewFileOptions(
         {kIndividual,
          kLevels,
          {"repeat", "none|horizontal|vertical|both", "how the texture repeats (default none)"}}),
     RunToMip},
    {"to-pbf", "PICTURE...", "Makes new PBF files from BMP or PNG files.", 1, kAnyNumber,
     NewFileOptions({}), RunToPbf},
    {"to-srb", "PICTURE...", "Makes new SRB files from BMP or PNG files.", 1, kAnyNumber,
     NewFileOptions({kIndividual,
                     kLevels,
                     {"width", "W", "width of the rectangle in the world (default 1)"},
                     {"height", "H", "height of the rectangle in the world (default 1)"},
                     {"used-width", "U", "used part of the texture's width (default 1)"},
                     {"used-height", "V", "used part of the texture's height (default 1)"},
                     {"centre-x", "C", "horizontal centre, from 0 to 1 (default 0.5)"},
                     {"centre-y", "D", "vertical centre, from 0 to 1 (default 0.5)"}}),
     RunToSrb},
    {"dat list",
     "ARCHIVE",
     "Lists the members of a DAT archive: name, size, offset and kind.",
     1,
     1,
     {{"sort", "name|size|offset", "sort by this column (default: archive order)"}, kJson},
     RunDatList},
    {"dat extract",
     "ARCHIVE [MEMBER...]",
     "Copies members of a DAT archive (all of them by default) into a directory.",
     1,
     kAnyNumber,
     {{"output", "DIR", "where to put them (default: the current directory)", 'o'},
      {"recursive", nullptr,
       "every operand is an archive or a directory searched for archives; each archive's "
       "members go to a folder of its name",
       'r'},
      kOverwrite,
      kDryRun,
      kJsonResults,
      kQuiet},
     RunDatExtract},
    {"dat build",
     "DIRECTORY",
     "Packs the game files of a directory into its archive, DIRECTORY/NAME.dat.",
     1,
     1,
     {{"report", nullptr, "print which files were taken and why the others were not"},
      {"overwrite", nullptr, "rebuild an existing archive"},
      {"keep-members", nullptr, "with --overwrite, keep the members no loose file replaces"},
      kDryRun,
      kJsonResults,
      kQuiet},
     RunDatBuild},
    {"dat add",
     "ARCHIVE FILE...",
     "Adds loose files to a DAT archive, replacing members of the same name.",
     2,
     kAnyNumber,
     {kDryRun, kJsonResults, kQuiet},
     RunDatAdd},
    {"dat remove",
     "ARCHIVE MEMBER...",
     "Removes members from a DAT archive.",
     2,
     kAnyNumber,
     {kDryRun, kJsonResults, kQuiet},
     RunDatRemove},
    {"dat rename",
     "ARCHIVE OLD NEW",
     "Renames a member of a DAT archive.",
     3,
     3,
     {kDryRun, kJsonResults, kQuiet},
     RunDatRename},
};

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const CommandSpec& command : commands) {
        names.push_back(command.name);
    }
    return names;
}

} // namespace

const std::vector<CommandSpec>& CommandTable() {
    return commands;
}

const CommandSpec& FindCommand(const std::vector<std::string>& words, std::size_t& used) {
    std::string name = words.empty() ? "" : words[0];
    used = 1;
    if (name == "dat" && words.size() > 1) {
        name += " " + words[1];
        used = 2;
    }
    for (const CommandSpec& command : commands) {
        if (name == command.name) {
            return command;
        }
    }
    std::string message = "unknown command \"" + name + "\"";
    if (const auto suggestion = Suggest(name, CommandNames())) {
        message += " (did you mean " + *suggestion + "?)";
    }
    throw XCommandLine(message);
}

namespace {

std::string CommandLines(bool datOnly) {
    std::string text;
    for (const CommandSpec& command : commands) {
        if (datOnly && std::string(command.name).rfind("dat ", 0) != 0) {
            continue;
        }
        std::string left = std::string("  ") + command.name + " " + command.operands;
        left.resize(std::max<std::size_t>(left.size() + 2, 36), ' ');
        text += left + command.summary + "\n";
    }
    return text;
}

} // namespace

std::string OverviewHelp() {
    return "Usage: vellix-cli COMMAND [options]\n\nCommands:\n" + CommandLines(false) +
           "\nvellix-cli help COMMAND (or COMMAND --help) describes a command's options; "
           "vellix-cli\n"
           "help json describes the --json results; vellix-cli --version prints the version.\n"
           "Options not given take the defaults of the desktop program's dialogs, never its\n"
           "stored settings. Exit status: 0 on success, 1 on failure, 2 for a usage error.\n";
}

std::string DatHelp() {
    return "Usage: vellix-cli dat SUBCOMMAND [options]\n\nSubcommands:\n" + CommandLines(true) +
           "\nvellix-cli dat SUBCOMMAND --help describes a subcommand's options.\n";
}

std::string JsonHelp() {
    return R"(The commands that write files take --json and then print one JSON document:

  {
    "command": "to-bmp",          the command run
    "dryRun": false,              true with --dry-run: nothing was written
    "files": [                    one object per input file, in the order taken
      {
        "file": "cars/CAR1.MIP",  the input file (an archive member after its archive)
        "read": ["..."],          the files read for it
        "written": ["..."],       the files written (with --dry-run: that would be)
        "replaced": ["..."],      those of "written" that replace an existing file
        "skipped": null,          or why the file was left alone
        "failure": null           or the message of its failure
      }
    ],
    "failed": 0,                  how many files failed
    "notes": ["..."]              remarks on the batch as a whole
  }

Without --keep-going the first failure ends the batch: the document lists the files up to it.
dat list --json prints an array of {"name", "size", "offset", "kind"}.
)";
}

void WrittenFiles::operator()(const std::string& path) const {
    if (!quiet_) {
        std::cout << path << '\n';
    }
}

} // namespace Ostrel::Vellix::Cli
