#include "cli/command_line.h"

#include <algorithm>
#include <optional>

#include "cli/number_word.h"

namespace cli {

namespace {

class WordReader {
public:
    WordReader(const std::vector<std::string>& arguments, std::span<const OptionEntry> options,
               const TakeOption& takeOption)
        : arguments_(arguments), options_(options), takeOption_(takeOption) {}

    // The reason the option at `i` is refused, or ""; `i` moves past its value.
    std::string longOption(std::size_t& i) const {
        const std::string& word = arguments_[i];
        const auto equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const auto entry = std::find_if(options_.begin(), options_.end(),
                                        [&](const OptionEntry& option) { return name == option.name; });
        if (entry == options_.end()) return "unknown option --" + name;
        if (!entry->takesValue) {
            if (equals != std::string::npos) return "--" + name + " takes no value";
            return takeOption_(*entry, "");
        }
        if (equals != std::string::npos) return takeOption_(*entry, word.substr(equals + 1));
        if (i + 1 >= arguments_.size()) return "--" + name + " needs a value";
        return takeOption_(*entry, arguments_[++i]);
    }

    std::string shortOption(std::size_t& i) const {
        const std::string& word = arguments_[i];
        const char letter = word[1];
        const auto entry = std::find_if(options_.begin(), options_.end(), [&](const OptionEntry& option) {
            return option.letter != 0 && letter == option.letter;
        });
        if (entry == options_.end()) return std::string("unknown option -") + letter;
        if (!entry->takesValue) {
            if (word.size() > 2) return std::string("-") + letter + " takes no value";
            return takeOption_(*entry, "");
        }
        if (word.size() > 2) return takeOption_(*entry, word.substr(2));
        if (i + 1 >= arguments_.size()) return std::string("-") + letter + " needs a value";
        return takeOption_(*entry, arguments_[++i]);
    }

private:
    const std::vector<std::string>& arguments_;
    std::span<const OptionEntry> options_;
    const TakeOption& takeOption_;
};

}  // namespace

CommandLineOutcome ReadCommandLine(const std::vector<std::string>& arguments, std::span<const OptionEntry> options,
                                   const WordRules& rules, const TakeOption& takeOption,
                                   const TakeOperands& takeOperands) {
    if (arguments.empty()) return {CommandLineAction::Usage, ""};
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    if (std::find(arguments.begin(), end, "--help") != end) return {CommandLineAction::Help, ""};
    if (std::find(arguments.begin(), end, "--version") != end) return {CommandLineAction::Version, ""};
    const WordReader reader(arguments, options, takeOption);
    std::vector<std::string> operands;
    bool optionsEnded = false;
    std::string error;
    for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-' || (rules.numbersAreOperands && NumberOf(word))) {
            operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word[1] == '-') {
            error = reader.longOption(i);
        } else if (rules.letters) {
            error = reader.shortOption(i);
        } else {
            error = "unknown option " + word;
        }
    }
    if (error.empty()) error = takeOperands(operands);
    if (!error.empty()) return {CommandLineAction::Error, error};
    return {CommandLineAction::Run, ""};
}

}  // namespace cli
