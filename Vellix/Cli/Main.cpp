// vellix-cli: the conversions, listings and archive operations of the desktop program without a
// window. It parses, calls the core and prints; exit status 0 on success, 1 on failure, 2 for a
// usage error.

#include "Util/AbortHooks.h"
#include "Util/SafeWrite.h"
#include "Util/VersionInfo.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/CliAbortHandler.h"
#include "Vellix/OptionFields.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>

namespace {

using namespace Ostrel;
using namespace Ostrel::Vellix::Cli;

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

bool AsksForHelp(const std::vector<std::string>& words) {
    const auto end = std::find(words.begin(), words.end(), "--");
    return std::find(words.begin(), end, "--help") != end ||
           std::find(words.begin(), end, "-h") != end;
}

bool IsHelp(const std::string& word) {
    return word == "--help" || word == "-h" || word == "help";
}

std::string VersionText() {
    std::uint16_t parts[4] = {};
    Util::VersionInfo().GetFileVersion(parts[0], parts[1], parts[2], parts[3]);
    return "vellix-cli " + std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]) + "\n";
}

// "help", "help COMMAND", "help json" and "--version"; nullopt for anything else.
std::optional<int> RunHelp(const std::vector<std::string>& words) {
    if (words.empty() || (words.size() == 1 && IsHelp(words[0]))) {
        std::cout << OverviewHelp();
        return words.empty() ? kUsageError : 0;
    }
    if (words[0] == "--version") {
        std::cout << VersionText();
        return 0;
    }
    if (words[0] == "dat" && (words.size() == 1 || IsHelp(words[1]))) {
        std::cout << DatHelp();
        return words.size() == 1 ? kUsageError : 0;
    }
    if (IsHelp(words[0]) && words[1] == "json") {
        std::cout << JsonHelp();
        return 0;
    }
    if (IsHelp(words[0])) {
        std::size_t used = 0;
        const std::vector<std::string> rest(words.begin() + 1, words.end());
        std::cout << CommandHelp(FindCommand(rest, used));
        return 0;
    }
    return std::nullopt;
}

int Run(const std::vector<std::string>& words) {
    if (const auto status = RunHelp(words)) {
        return *status;
    }
    std::size_t used = 0;
    const CommandSpec& command = FindCommand(words, used);
    const std::vector<std::string> rest(words.begin() + static_cast<std::ptrdiff_t>(used),
                                        words.end());
    if (AsksForHelp(rest)) {
        std::cout << CommandHelp(command);
        return 0;
    }
    return command.run(Arguments(command, rest));
}

int Report(const std::string& message, int status) {
    std::cout.flush();
    std::cerr << "vellix-cli: " << message;
    if (message.empty() || message.back() != '\n') {
        std::cerr << '\n';
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Util::SetAbortHandler(std::make_unique<Vellix::CliAbortHandler>());
    const Util::AbortHooks hooks;
    Util::RemoveTemporaryFilesOnInterruption();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const XCommandLine& error) {
        return Report(error.Message() + "\n(see vellix-cli --help)", kUsageError);
    } catch (const Vellix::XInvalidField& error) {
        // An option value outside the range its dialog accepts.
        return Report(error.Message(), kUsageError);
    } catch (const Util::Exception& error) {
        return Report(error.Message(), kFailure);
    } catch (const std::exception& error) {
        return Report(error.what(), kFailure);
    }
}
