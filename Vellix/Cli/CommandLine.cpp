#include "Vellix/Cli/CommandLine.h"

#include "Vellix/OptionFields.h"

#include <algorithm>
#include <sstream>

namespace Ostrel::Vellix::Cli {

namespace {
constexpr char kSourceUnit[] = "CommandLine";

std::string Dashed(const std::string& name) {
    return "--" + name;
}

std::string WithSuggestion(std::string message, const std::string& word,
                           const std::vector<std::string>& candidates) {
    if (const auto suggestion = Suggest(word, candidates)) {
        message += " (did you mean " + *suggestion + "?)";
    }
    return message;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string OperandText(const CommandSpec& command) {
    if (command.minOperands == command.maxOperands) {
        return std::to_string(command.minOperands);
    }
    if (command.maxOperands == kAnyNumber) {
        return "at least " + std::to_string(command.minOperands);
    }
    return std::to_string(command.minOperands) + " to " + std::to_string(command.maxOperands);
}

} // namespace

Arguments::Arguments(const CommandSpec& command, const std::vector<std::string>& words)
    : command_(&command) {
    bool optionsEnded = false;
    for (std::size_t next = 0; next < words.size();) {
        const std::string& word = words[next++];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            operands_.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else {
            AddOption(word, words, next);
        }
    }
    if (operands_.size() < command.minOperands || operands_.size() > command.maxOperands) {
        throw XCommandLine(std::string(command.name) + " takes " + OperandText(command) +
                           " operand(s) (" + command.operands + "), not " +
                           std::to_string(operands_.size()));
    }
}

const OptionSpec* Arguments::FindOption(const std::string& name) const {
    for (const OptionSpec& option : command_->options) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

void Arguments::UnknownOption(const std::string& word) const {
    std::vector<std::string> known;
    for (const OptionSpec& candidate : command_->options) {
        known.push_back(Dashed(candidate.name));
    }
    throw XCommandLine(WithSuggestion("unknown option " + word + " for " + command_->name,
                                      word.substr(0, word.find('=')), known));
}

void Arguments::AddOption(const std::string& word, const std::vector<std::string>& words,
                          std::size_t& next) {
    if (word.compare(0, 2, "--") != 0) {
        AddShortOptions(word, words, next);
        return;
    }
    const std::size_t equals = word.find('=');
    const OptionSpec* option =
        FindOption(word.substr(2, equals == std::string::npos ? equals : equals - 2));
    if (!option) {
        UnknownOption(word);
    }
    SetOption(*option,
              equals == std::string::npos ? std::nullopt
                                          : std::optional<std::string>(word.substr(equals + 1)),
              words, next);
}

// "-rk" is "-r -k"; a letter that takes a value takes the next word and ends the group.
void Arguments::AddShortOptions(const std::string& word, const std::vector<std::string>& words,
                                std::size_t& next) {
    for (std::size_t letter = 1; letter < word.size(); ++letter) {
        const auto option = std::find_if(
            command_->options.begin(), command_->options.end(),
            [&](const OptionSpec& candidate) { return candidate.shortName == word[letter]; });
        if (option == command_->options.end() || (option->value && letter + 1 < word.size())) {
            UnknownOption(word);
        }
        SetOption(*option, std::nullopt, words, next);
    }
}

void Arguments::SetOption(const OptionSpec& option, const std::optional<std::string>& inlineValue,
                          const std::vector<std::string>& words, std::size_t& next) {
    const std::string name = option.name;
    if (Has(name)) {
        throw XCommandLine("option " + Dashed(name) + " is given more than once");
    }
    if (!option.value) {
        if (inlineValue) {
            throw XCommandLine("option " + Dashed(name) + " takes no value");
        }
        values_[name];
    } else if (inlineValue) {
        values_[name] = *inlineValue;
    } else if (next < words.size()) {
        values_[name] = words[next++];
    } else {
        throw XCommandLine("option " + Dashed(name) + " needs a value (" + option.value + ")");
    }
}

void Arguments::RequireDeclared(const std::string& option) const {
    OSTREL_ASSERT(Declares(option));
}

bool Arguments::Has(const std::string& option) const {
    RequireDeclared(option);
    return values_.count(option) != 0;
}

std::optional<std::string> Arguments::Value(const std::string& option) const {
    RequireDeclared(option);
    const auto found = values_.find(option);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void Arguments::BadValue(const std::string& option, const std::string& expected) const {
    throw XCommandLine("option " + Dashed(option) + " expects " + expected + ", not \"" +
                       *Value(option) + "\"");
}

std::optional<std::int64_t> Arguments::Integer(const std::string& option) const {
    const auto text = Value(option);
    if (!text) {
        return std::nullopt;
    }
    const auto value = ParseInteger(*text);
    if (!value) {
        BadValue(option, "an integer");
    }
    return value;
}

std::optional<double> Arguments::Number(const std::string& option) const {
    const auto text = Value(option);
    if (!text) {
        return std::nullopt;
    }
    const auto value = ParseNumber(*text);
    if (!value) {
        BadValue(option, "a number");
    }
    return value;
}

std::optional<std::vector<std::int64_t>> Arguments::Integers(const std::string& option,
                                                             std::size_t count) const {
    const auto text = Value(option);
    if (!text) {
        return std::nullopt;
    }
    std::vector<std::int64_t> values;
    std::istringstream parts(*text);
    for (std::string part; std::getline(parts, part, ',');) {
        const auto value = ParseInteger(part);
        if (!value) {
            BadValue(option, std::to_string(count) + " integers separated by commas");
        }
        values.push_back(*value);
    }
    if (values.size() != count || text->back() == ',') {
        BadValue(option, std::to_string(count) + " integers separated by commas");
    }
    return values;
}

std::optional<std::int32_t> Arguments::Choice(const std::string& option,
                                              const std::vector<std::string>& choices) const {
    const auto text = Value(option);
    if (!text) {
        return std::nullopt;
    }
    const auto found = std::find(choices.begin(), choices.end(), *text);
    if (found == choices.end()) {
        std::string expected = "one of";
        for (const std::string& choice : choices) {
            expected += " " + choice;
        }
        BadValue(option, expected);
    }
    return static_cast<std::int32_t>(found - choices.begin());
}

std::optional<std::string> Suggest(const std::string& word,
                                   const std::vector<std::string>& candidates) {
    std::optional<std::string> best;
    std::size_t bestDistance = std::max<std::size_t>(3, word.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(word, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string CommandHelp(const CommandSpec& command) {
    std::string text = std::string("Usage: vellix-cli ") + command.name + " " + command.operands +
                       " [options]\n\n" + command.summary + "\n\nOptions:\n";
    for (const OptionSpec& option : command.options) {
        std::string left =
            option.shortName ? std::string("  -") + option.shortName + ", " : std::string("      ");
        left += Dashed(option.name);
        if (option.value) {
            left += std::string(" ") + option.value;
        }
        left.resize(std::max<std::size_t>(left.size() + 2, 32), ' ');
        text += left + option.help + "\n";
    }
    text += "  -h, --help                    show this help\n";
    return text;
}

} // namespace Ostrel::Vellix::Cli
