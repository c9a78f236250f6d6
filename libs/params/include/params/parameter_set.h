#pragma once
// A command-line parameter library: declared parameters with long names and
// one-letter abbreviations, positional values, quoting, and typed values that
// carry bracketed parameters of their own; numbered errors with a caret line,
// and a generated usage text. All values are text; the caller converts them.
//
// Use: declare the parameters, parse the command line, then read each value
// with valueOf; on a failed parse print errorLine and errorMessage.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace params {

// Result of every operation that can fail; 0 is success.
enum ParamError : std::int32_t {
    NoError = 0,
    NameTooLong = 1,          // declare: a long name of more than 25 characters
    NameHasReservedChar = 2,  // declare: a long name holding "=", " ", "[", "]" or a tab
    ParameterExists = 3,      // declare: the long name is taken
    AbbreviationExists = 4,   // declare: the letter is taken
    TypeExists = 5,           // addType: the type name is taken
    InvalidParameter = 6,     // parse: an undeclared name or letter, or a bare value with no positional left
    MissingRequired = 7,      // parse: a Required parameter was not given
    ArgumentMissing = 8,      // parse: a parameter that takes a value was given none
    SyntaxError = 9,          // parse: a malformed dash, a stray "=", "[" or "]", or nesting too deep
    MissingQuote = 10,        // parse: a quotation mark is never closed
    InvalidType = 11,         // parse: a typed value names no type of its list and of the set
    MissingBracket = 12,      // parse: an opening bracket is never closed
    BadFileSignature = 13,    // has a message; no operation returns it
    CannotOpenFile = 14,      // has a message; no operation returns it
};

// Bits of a declaration's flags; other bits are carried and ignored.
enum ParamFlag : std::uint32_t {
    Switch = 1,      // takes no value; a given one holds a position stamp: never empty, and
                     // stamps compare in the order the switches were given
    Required = 2,    // a parse without it fails with MissingRequired
    Positional = 4,  // may be given as a bare value; bare values fill these in declaration order
};

namespace detail {
struct SetState;
}

// A registry of declared parameters and the outcome of its last parse.
//
// Copies are deep. A moved-from set must be assigned to before any other use
// (destroying it is fine).
class ParameterSet {
public:
    // A typed value's bracketed sets may nest this deep; deeper is a SyntaxError.
    static constexpr int kMaxNesting = 1000;

    ParameterSet();
    ParameterSet(const ParameterSet& other);
    ParameterSet(ParameterSet&& other) noexcept;
    ParameterSet& operator=(const ParameterSet& other);
    ParameterSet& operator=(ParameterSet&& other) noexcept;
    ~ParameterSet();

    // Declares a parameter. name can be any text of at most 25 characters without
    // "=", " ", "[", "]" or a tab (it is matched case-sensitively); abbreviation is
    // a letter, or 0 for none; flags are ParamFlag bits. defaultValue is the value
    // until a parse gives another one. A non-empty typeList makes the value typed:
    // it must then name one of the types listed there, separated by "|", that
    // addType registered (a typed default is checked by the parse, not here).
    // "@types@" in the description stands for the listed types in the usage text.
    // Returns NoError, or NameTooLong, NameHasReservedChar, ParameterExists or
    // AbbreviationExists (checked in this order), and then leaves the set unchanged.
    [[nodiscard]] ParamError declare(std::string name, char abbreviation, std::uint32_t flags, std::string description,
                                     std::string defaultValue = {}, std::string typeList = {});

    // Registers a named type for typed values: a copy of prototype lists the
    // parameters a value of that type may carry in brackets, and its own types.
    // Returns NoError, or TypeExists for a name already taken (the set is then unchanged).
    [[nodiscard]] ParamError addType(std::string name, ParameterSet prototype);

    // Text printed before and after the usage listing; both are empty at first.
    void setUsageHeader(std::string header);
    void setUsageFooter(std::string footer);

    // When set (the default), undeclared names and letters on the command line
    // are skipped; when clear they fail the parse with InvalidParameter.
    bool skipUndeclared = true;
    // When set (the default), the usage text lists every registered type.
    bool listTypes = true;

    // Parses a command line; any text is accepted. Every value is first reset to
    // its default, then the given ones are assigned; a parameter given twice keeps
    // the last value. Returns NoError, or the first failure met (InvalidParameter
    // to MissingBracket); errorLine and errorMessage then describe it. A failure
    // leaves the values assigned before it, and one found while splitting the text
    // into words (MissingQuote, or a SyntaxError at a dash) the previous parse's.
    [[nodiscard]] ParamError parse(std::string commandLine);

    // The current value of a parameter: its default, the text the last parse gave
    // it, a given switch's stamp, or a typed value's type name. An empty text for
    // an undeclared name (nothing is declared by asking). The reference stays valid
    // until the set is assigned to or destroyed; its text changes with each parse.
    const std::string& valueOf(const std::string& name) const;

    // The bracketed parameters of a typed value, as the last parse left them: a
    // set of the chosen type with its values readable through valueOf (the type's
    // defaults when no brackets followed). Null for an undeclared or plain
    // parameter, and when no parse reached it. Valid until the next parse, or
    // until the set is assigned to or destroyed.
    const ParameterSet* nestedOf(const std::string& name) const;

    // The message for a code, normally the one parse returned, with the subject
    // of the last failure that had one (a name, a letter or a value) in place of
    // its "%s". code can be any value; one outside NoError to CannotOpenFile gives
    // "Unknown error".
    std::string errorMessage(std::int32_t code) const;

    // The command line of the last parse, cut to 70 characters around the last
    // failure when it is longer, with "..." where it was cut. caretColumn is set to
    // the index in that line of the character where the failure was found (the
    // line's length when it was found at the end of the text). A successful parse
    // leaves the last failure in place.
    std::string errorLine(std::int32_t& caretColumn) const;

    // Writes the usage text to stream, which must be open for writing: the header,
    // a synopsis wrapped at width columns (0: not wrapped), a listing of every
    // parameter with its description, each type's own text when listTypes is set,
    // a legend and the footer. The listing is wrapped in any case, at a width of
    // at least 20 columns beyond its widest entry. prefix is empty for the whole
    // text; a type's name gives the text of that type, without legend. Write
    // errors are ignored.
    void printUsage(std::FILE* stream, std::uint32_t width, const std::string& prefix) const;

private:
    friend struct detail::SetState;

    // The declarations, types and last parse; null only in a moved-from set.
    std::unique_ptr<detail::SetState> state_;
};

// Writes text wrapped at width columns to stream, which must be open for writing:
// each line breaks at the last blank of its window (the blank is dropped), or
// inside a word that has none; continuation lines begin with indent blanks. A
// width of 0, or one not beyond the indent, writes the text unwrapped. The line
// feed after the last piece is written when finalLineFeed is set.
void printWrapped(std::FILE* stream, const std::string& text, std::uint32_t width, std::uint32_t indent,
                  bool finalLineFeed);

}  // namespace params
