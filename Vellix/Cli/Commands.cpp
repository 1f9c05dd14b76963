#include "Vellix/Cli/Commands.h"

#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

const OptionSpec kJson{"json", nullptr, "print JSON instead of text"};
const OptionSpec kQuiet{"quiet", nullptr, "do not list the files written"};
const OptionSpec kOverwrite{"overwrite", nullptr, "replace files that exist already"};
const OptionSpec kTransparency{
    "transparency", "none|separate|colour",
    "how transparency travels through the BMP files (default separate: NAME_ti.bmp)"};
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

std::vector<OptionSpec> NewFileOptions(std::vector<OptionSpec> own) {
    std::vector<OptionSpec> options{kBits, kClass, kColours, kNoPalette};
    options.insert(options.end(), own.begin(), own.end());
    options.insert(options.end(), {kTransparency, kKey, kOverwrite, kQuiet});
    return options;
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
    {"to-bmp",
     "FILE...",
     "Converts MIP, PBF/STP or SRB files (all of one kind) to BMP files, one per level.",
     1,
     kAnyNumber,
     {{"all-levels", nullptr, "write every level"},
      {"level", "N", "the level to write, from 1 (default 1)"},
      kTransparency,
      kKey,
      kOverwrite,
      kQuiet},
     RunToBmp},
    {"from-bmp",
     "FILE...",
     "Puts BMP files back into existing MIP, PBF/STP or SRB files (all of one kind).",
     1,
     kAnyNumber,
     {{"all-levels", nullptr, "read every level"},
      {"level", "N", "the level to read, from 1 (default 1)"},
      {"no-sub-levels", nullptr, "keep the levels below it instead of shrinking it into them"},
      kTransparency,
      kKey,
      kOverwrite,
      kQuiet},
     RunFromBmp},
    {"to-mip", "BMP...", "Makes new MIP files from BMP files.", 1, kAnyNumber,
     NewFileOptions(
         {kIndividual,
          kLevels,
          {"repeat", "none|horizontal|vertical|both", "how the texture repeats (default none)"}}),
     RunToMip},
    {"to-pbf", "BMP...", "Makes new PBF files from BMP files.", 1, kAnyNumber, NewFileOptions({}),
     RunToPbf},
    {"to-srb", "BMP...", "Makes new SRB files from BMP files.", 1, kAnyNumber,
     NewFileOptions({kIndividual,
                     kLevels,
                     {"width", "W", "width of the rectangle in the world (default 1)"},
                     {"height", "H", "height of the rectangle in the world (default 1)"},
                     {"used-width", "U", "used part of the texture's width (default 1)"},
                     {"used-height", "V", "used part of the texture's height (default 1)"},
                     {"centre-x", "C", "horizontal centre, from 0 to 1 (default 0.5)"},
                     {"centre-y", "D", "vertical centre, from 0 to 1 (default 0.5)"}}),
     RunToSrb},
    {"dat list", "ARCHIVE", "Lists the members of a DAT archive.", 1, 1, {kJson}, RunDatList},
    {"dat extract",
     "ARCHIVE [MEMBER...]",
     "Copies members of a DAT archive (all of them by default) into a directory.",
     1,
     kAnyNumber,
     {{"output", "DIR", "where to put them (default: the current directory)"}, kOverwrite, kQuiet},
     RunDatExtract},
    {"dat build",
     "DIRECTORY",
     "Packs the game files of a directory into its archive, DIRECTORY/NAME.dat.",
     1,
     1,
     {{"report", nullptr, "print which files were taken and why the others were not"}, kQuiet},
     RunDatBuild},
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

std::string OverviewHelp() {
    std::string text = "Usage: vellix-cli COMMAND [options]\n\nCommands:\n";
    for (const CommandSpec& command : commands) {
        std::string left = std::string("  ") + command.name + " " + command.operands;
        left.resize(std::max<std::size_t>(left.size() + 2, 36), ' ');
        text += left + command.summary + "\n";
    }
    text +=
        "\nvellix-cli COMMAND --help describes a command's options. Options not given take the\n"
        "defaults of the desktop program's dialogs, never its stored settings.\n"
        "Exit status: 0 on success, 1 on failure, 2 for a usage error.\n";
    return text;
}

void WrittenFiles::operator()(const std::string& path) const {
    if (!quiet_) {
        std::cout << path << '\n';
    }
}

} // namespace Ostrel::Vellix::Cli
