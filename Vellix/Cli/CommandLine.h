#pragma once

// Table-driven parsing of the tool's command lines: each subcommand declares its operands and
// options, and the parser checks every argument against that table. Unknown and repeated options
// are usage errors, with the nearest known name as a suggestion.

#include "Util/Exception.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Ostrel::Vellix::Cli {

// A command line the tool cannot make sense of; the process ends with exit status 2.
class XCommandLine : public Util::XUsage {
public:
    using XUsage::XUsage;
};

struct OptionSpec {
    const char* name;  // without the leading dashes
    const char* value; // what its value looks like; nullptr for an option without a value
    const char* help;
    char shortName = 0; // the one-letter form ("-r"), if it has one
};

class Arguments;

struct CommandSpec {
    const char* name; // "list", "dat extract"...
    const char* operands;
    const char* summary;
    std::size_t minOperands;
    std::size_t maxOperands;
    std::vector<OptionSpec> options;
    int (*run)(const Arguments& arguments);
};

inline constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

class Arguments {
public:
    Arguments(const CommandSpec& command, const std::vector<std::string>& words);

    const CommandSpec& Command() const { return *command_; }
    const std::vector<std::string>& Operands() const { return operands_; }
    bool Declares(const std::string& option) const { return FindOption(option) != nullptr; }
    // Every other lookup names an option the command declares; any other name is a fault of the
    // caller (XAssertion), never a silent "not given".
    bool Has(const std::string& option) const;
    // The option's value when it was given.
    std::optional<std::string> Value(const std::string& option) const;

    // Typed values; a value that does not fit is a usage error naming the option.
    std::optional<std::int64_t> Integer(const std::string& option) const;
    std::optional<double> Number(const std::string& option) const;
    // A comma-separated list of exactly count integers ("255,0,255").
    std::optional<std::vector<std::int64_t>> Integers(const std::string& option,
                                                      std::size_t count) const;
    // The index of the value among choices.
    std::optional<std::int32_t> Choice(const std::string& option,
                                       const std::vector<std::string>& choices) const;

private:
    const OptionSpec* FindOption(const std::string& name) const;
    void RequireDeclared(const std::string& option) const;
    void AddOption(const std::string& word, const std::vector<std::string>& words,
                   std::size_t& next);
    void AddShortOptions(const std::string& word, const std::vector<std::string>& words,
                         std::size_t& next);
    void SetOption(const OptionSpec& option, const std::optional<std::string>& inlineValue,
                   const std::vector<std::string>& words, std::size_t& next);
    [[noreturn]] void UnknownOption(const std::string& word) const;
    [[noreturn]] void BadValue(const std::string& option, const std::string& expected) const;

    const CommandSpec* command_;
    std::vector<std::string> operands_;
    std::map<std::string, std::string> values_;
};

// The candidate closest to word by edit distance, when it is close enough to be a likely typo.
std::optional<std::string> Suggest(const std::string& word,
                                   const std::vector<std::string>& candidates);

// The help text of a command: synopsis, summary and its options.
std::string CommandHelp(const CommandSpec& command);

} // namespace Ostrel::Vellix::Cli
