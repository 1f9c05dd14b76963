// vellix-cli: the conversions, listings and archive operations of the desktop program without a
// window. It parses, calls the core and prints; exit status 0 on success, 1 on failure, 2 for a
// usage error.

#include "Util/AbortHooks.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/CliAbortHandler.h"
#include "Vellix/OptionFields.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>

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

int Run(const std::vector<std::string>& words) {
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::cout << OverviewHelp();
        return words.empty() ? kUsageError : 0;
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
