#pragma once
// A companion's command line in the getopt_long manner: --name value, --name=value,
// -Xvalue and -X value for an option with a letter, "--" ending the options, every
// other word an operand. The words are read here; what the values mean, and which
// operands make a run, is the program's.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace cli {

// One option of a program's table.
struct OptionEntry {
    const char* name;        // without the dashes
    char letter = 0;         // 0: a long name only
    bool takesValue = true;  // false: a flag, given without a value
    int code = 0;            // the program's own, handed back with the option
};

struct WordRules {
    // -X words name options by letter; otherwise a word with one dash is an unknown
    // option as a whole.
    bool letters = true;
    // A word that is a number (-5, -1e3) is an operand rather than an option.
    bool numbersAreOperands = false;
};

enum class CommandLineAction : std::uint8_t {
    Run,
    Help,     // --help anywhere before "--"
    Version,  // --version anywhere before "--"
    Usage,    // no arguments at all
    Error,    // `error` says why
};

struct CommandLineOutcome {
    CommandLineAction action = CommandLineAction::Error;
    std::string error;  // for Error: one line, without the program's name
};

// Takes one option and its value ("" for a flag): the reason it is refused, or "".
using TakeOption = std::function<std::string(const OptionEntry& option, const std::string& value)>;
// Takes the operands once every option is taken: the reason they are refused, or "".
using TakeOperands = std::function<std::string(const std::vector<std::string>& operands)>;

// Reads `arguments` (without the program's name) against `options`, in order,
// handing each option to `takeOption` and then the operands to `takeOperands`; the
// first refusal, the program's or a word's ("unknown option --x", "--x needs a
// value", "--x takes no value"), ends the reading with Error. --help and --version
// win over anything else on the line and call neither function. Exhausted memory
// escapes as std::bad_alloc.
CommandLineOutcome ReadCommandLine(const std::vector<std::string>& arguments, std::span<const OptionEntry> options,
                                   const WordRules& rules, const TakeOption& takeOption,
                                   const TakeOperands& takeOperands);

// ReadCommandLine into a `Parsed` (an `action`, the program's `options`, an `error`)
// through a `Taker` made on those options, whose `apply(option, value)` and
// `check(operands)` answer as TakeOption and TakeOperands do.
template <typename Parsed, typename Taker>
Parsed ParseCommandLine(const std::vector<std::string>& arguments, std::span<const OptionEntry> options,
                        const WordRules& rules) {
    Parsed parsed;
    Taker taker(&parsed.options);
    const CommandLineOutcome outcome = ReadCommandLine(
        arguments, options, rules,
        [&](const OptionEntry& option, const std::string& value) { return taker.apply(option, value); },
        [&](const std::vector<std::string>& operands) { return taker.check(operands); });
    parsed.action = outcome.action;
    parsed.error = outcome.error;
    return parsed;
}

}  // namespace cli
