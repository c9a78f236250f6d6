#pragma once
// The inside of a ParameterSet: its declarations and types, the state of its
// last parse, and the steps of a parse. Private to the library.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "params/parameter_set.h"

namespace params {

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
};

struct ParameterDecl {
    std::string value;  // the text, a switch's position stamp, or a typed value's type name
    std::uint32_t flags = 0;
    std::string description;
    char abbreviation = 0;  // 0: none
    bool given = false;
    std::string defaultValue;
    std::string typeList;                  // type names separated by "|"; empty for a plain parameter
    std::unique_ptr<ParameterSet> nested;  // the bracketed parameters of a typed value

    ParameterDecl() = default;
    ParameterDecl(const ParameterDecl& other);  // deep: the copy owns a copy of nested
    ParameterDecl(ParameterDecl&& other) noexcept = default;
    ParameterDecl& operator=(const ParameterDecl& other);
    ParameterDecl& operator=(ParameterDecl&& other) noexcept = default;
    ~ParameterDecl() = default;
};

namespace detail {

struct SetState {
    // The state of a set, which must not be a moved-from one.
    static SetState& of(ParameterSet& set);
    static const SetState& of(const ParameterSet& set);

    SetState() = default;
    SetState(const SetState& other);  // deep: types and nested sets are copied too
    SetState& operator=(const SetState&) = delete;

    // Every declaration back to its default, not given, without a nested set.
    void resetValues();
    // Fills tokens from source; a bad dash or an open quote fails.
    ParamError tokenize(const std::string& source);
    // Resets the values, then assigns those the tokens carry and checks the
    // required ones.
    ParamError applyTokens(bool skipUndeclared);

    std::string text;
    std::string usageHeader;
    std::string usageFooter;
    std::map<std::string, ParameterDecl> decls;
    std::map<char, std::string> abbreviations;
    std::vector<std::string> declOrder;
    std::map<std::string, std::unique_ptr<ParameterSet>> types;
    std::vector<std::string> typeOrder;
    std::vector<ParamToken> tokens;
    std::string errorSubject;
    std::int32_t errorPosition = 0;
    int nestingDepth = 0;  // 0 for a set parsed on its own; one more per bracketed level

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
    ParamError applyShortGroup(std::size_t& tokenIndex, bool skipUndeclared);
    ParamError applyLongName(std::size_t& tokenIndex, bool skipUndeclared);
    ParamError applyBareValue(std::size_t& tokenIndex, std::size_t& positionalCursor);
    ParamError checkRequiredAndDefaults();
    // Assigns one value; a typed one moves tokenIndex past its bracketed part.
    ParamError assignValue(std::size_t& tokenIndex, const std::string& name, const std::string& value);
    ParamError assignTypedValue(ParameterDecl& decl, const std::string& value, const ValuePlace& place);
    std::int32_t tokenPosition(std::size_t index) const;
};

}  // namespace detail
}  // namespace params
