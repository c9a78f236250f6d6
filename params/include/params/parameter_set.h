#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace params {

// A command-line parameter library: declared parameters with long names and
// one-letter abbreviations, a tokenizer and parser with positional values,
// quoting and bracketed nested sets of typed values, numbered errors with a
// caret line, and a generated usage text. All values are text.

// Result of every operation that can fail; 0 is success.
enum ParamError : std::int32_t {
    NoError = 0,
    NameTooLong = 1,
    NameHasReservedChar = 2,
    ParameterExists = 3,
    AbbreviationExists = 4,
    TypeExists = 5,
    InvalidParameter = 6,
    MissingRequired = 7,
    ArgumentMissing = 8,
    SyntaxError = 9,
    MissingQuote = 10,
    InvalidType = 11,
    MissingBracket = 12,
    BadFileSignature = 13,
    CannotOpenFile = 14,
};

// Bits of ParameterDecl::flags; other bits are carried and ignored.
enum ParamFlag : std::uint32_t {
    Switch = 1,      // takes no value; when given, its value is a position stamp
    Required = 2,    // a parse without it fails with MissingRequired
    Positional = 4,  // may be given as a bare value, in declaration order
};

// Scoped: names like Value or Assign are too common even inside the namespace.
enum class TokenKind : std::int32_t {
    ShortGroup = 0,    // "-abc": the letters after the dash
    LongName = 1,      // "--name", or a name right after a line feed
    Assign = 2,        // "="
    Value = 3,         // any other word, quotation marks removed
    OpenBracket = 4,   // "["
    CloseBracket = 5,  // "]"
    EndOfInput = 6,    // appended after the last token
};

struct ParamToken {
    TokenKind kind = TokenKind::EndOfInput;
    std::string text;
    std::int32_t position = 0;  // offset of the token's first character in the parsed text

    bool operator==(const ParamToken&) const = default;
};

class ParameterSet;

struct ParameterDecl {
    std::string value;  // the text, a switch's position stamp, or a typed value's type name
    std::uint32_t flags = 0;
    std::string description;
    char abbreviation = 0;  // 0: none
    bool given = false;
    std::string defaultValue;
    std::string typeList;  // type names separated by "|"; empty for a plain parameter
    std::unique_ptr<ParameterSet> nested;  // the bracketed parameters of a typed value

    ParameterDecl();
    ParameterDecl(const ParameterDecl& other);
    ParameterDecl(ParameterDecl&& other) noexcept;
    ParameterDecl& operator=(const ParameterDecl& other);
    ParameterDecl& operator=(ParameterDecl&& other) noexcept;
    ~ParameterDecl();
};

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

    // Registry.
    [[nodiscard]] ParamError declare(std::string name, char abbreviation, std::uint32_t flags, std::string description,
                                     std::string defaultValue = {}, std::string typeList = {});
    // Registers a named type whose prototype lists the parameters a value of
    // that type may carry in brackets; TypeExists for a name already taken.
    [[nodiscard]] ParamError addType(std::string name, ParameterSet prototype);
    void setUsageHeader(std::string header);
    void setUsageFooter(std::string footer);
    // The current value of a declared parameter, or an empty text.
    const std::string& valueOf(const std::string& name) const;
    // The bracketed parameters the last parse gave a typed value; null for an
    // undeclared or plain parameter, or one no parse reached.
    const ParameterSet* nestedOf(const std::string& name) const;
    void resetValues();

    // Parsing.
    [[nodiscard]] ParamError parse(std::string commandLine);
    [[nodiscard]] ParamError tokenize(std::string source);
    [[nodiscard]] ParamError applyTokens();
    [[nodiscard]] ParamError assignValue(std::size_t& tokenIndex, const std::string& name, const std::string& value);

    // Error report of the last failed parse step.
    std::string errorMessage(std::int32_t code) const;
    std::string errorLine(std::int32_t& caretColumn) const;

    // Usage text.
    void printUsage(std::FILE* stream, std::uint32_t width, const std::string& prefix) const;
    std::string valueSynopsis(const std::string& name) const;
    std::string expandedDescription(const std::string& name) const;

    // Read access to the registry and the parse state.
    const std::string& text() const { return text_; }
    const std::string& usageHeader() const { return usageHeader_; }
    const std::string& usageFooter() const { return usageFooter_; }
    const std::map<std::string, ParameterDecl>& decls() const { return decls_; }
    const std::map<char, std::string>& abbreviations() const { return abbreviations_; }
    const std::vector<std::string>& declOrder() const { return declOrder_; }
    const std::map<std::string, std::unique_ptr<ParameterSet>>& types() const { return types_; }
    const std::vector<std::string>& typeOrder() const { return typeOrder_; }
    const std::vector<ParamToken>& tokens() const { return tokens_; }
    const std::string& errorSubject() const { return errorSubject_; }
    std::int32_t errorPosition() const { return errorPosition_; }

    // When set, undeclared names and letters are skipped; when clear they are
    // an InvalidParameter error.
    bool skipUndeclared = true;
    // When set, the usage text lists every registered type.
    bool listTypes = true;

private:
    // Where a typed value stands: the token that carried it, the token after
    // it, and the tokens between its brackets (an empty range without them).
    struct ValuePlace {
        std::int32_t valuePosition;
        std::int32_t followPosition;
        std::size_t rangeBegin;
        std::size_t rangeEnd;
    };

    ParamError fail(ParamError code, std::int32_t position);
    ParamError fail(ParamError code, std::string subject, std::int32_t position);
    ParamError applyShortGroup(std::size_t& tokenIndex);
    ParamError applyLongName(std::size_t& tokenIndex);
    ParamError applyBareValue(std::size_t& tokenIndex, std::size_t& positionalCursor);
    ParamError checkRequiredAndDefaults();
    ParamError assignTypedValue(ParameterDecl& decl, const std::string& value, const ValuePlace& place);
    std::int32_t tokenPosition(std::size_t index) const;

    std::string text_;
    std::string usageHeader_;
    std::string usageFooter_;
    std::map<std::string, ParameterDecl> decls_;
    std::map<char, std::string> abbreviations_;
    std::vector<std::string> declOrder_;
    std::map<std::string, std::unique_ptr<ParameterSet>> types_;
    std::vector<std::string> typeOrder_;
    std::vector<ParamToken> tokens_;
    std::string errorSubject_;
    std::int32_t errorPosition_ = 0;
    int nestingDepth_ = 0;  // 0 for a set parsed on its own; one more per bracketed level
};

// Writes text wrapped at width columns, continuation lines indented by indent
// blanks, breaking at the last blank of each window (or inside a word that
// has none). A width of 0, or one not beyond the indent, writes the text as it is.
void printWrapped(std::FILE* stream, const std::string& text, std::uint32_t width, std::uint32_t indent,
                  bool finalLineFeed);

}  // namespace params
