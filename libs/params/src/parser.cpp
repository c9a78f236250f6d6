// Walks the tokens of a command line and assigns the values they carry.
#include <string>
#include <utility>

#include "set_state.h"

namespace params {

namespace {

// Decimal text of value, zero-padded to at least four digits.
std::string FourDigits(std::size_t value) {
    std::string digits = std::to_string(value);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return digits;
}

// A given switch's value: its token index and its letter's offset in the
// group, so that stamps compare in the order the switches appeared.
std::string PositionStamp(std::size_t tokenIndex, std::size_t letterOffset) {
    return FourDigits(tokenIndex) + FourDigits(letterOffset);
}

std::string DashLetter(char letter) { return std::string("-") + letter; }

bool AdmitsType(const std::string& typeList, const std::string& value) {
    return ("|" + typeList + "|").find("|" + value + "|") != std::string::npos;
}

}  // namespace

ParamError ParameterSet::parse(std::string commandLine) {
    detail::SetState& set = detail::SetState::of(*this);
    set.text = std::move(commandLine);
    if (const ParamError error = set.tokenize(set.text)) return error;
    return set.applyTokens(skipUndeclared);
}

namespace detail {

ParamError SetState::fail(ParamError code, std::int32_t position) {
    errorPosition = position;
    return code;
}

ParamError SetState::fail(ParamError code, std::string subject, std::int32_t position) {
    errorSubject = std::move(subject);
    errorPosition = position;
    return code;
}

std::int32_t SetState::tokenPosition(std::size_t index) const {
    if (index < tokens.size()) return tokens[index].position;
    return tokens.empty() ? 0 : tokens.back().position;
}

ParamError SetState::applyTokens(bool skipUndeclared) {
    resetValues();
    std::size_t g = 0;
    std::size_t positionalCursor = 0;
    while (g < tokens.size()) {
        ParamError error = NoError;
        switch (tokens[g].kind) {
            case TokenKind::ShortGroup: error = applyShortGroup(g, skipUndeclared); break;
            case TokenKind::LongName: error = applyLongName(g, skipUndeclared); break;
            case TokenKind::Value: error = applyBareValue(g, positionalCursor); break;
            case TokenKind::Assign:
            case TokenKind::OpenBracket:
            case TokenKind::CloseBracket: return fail(SyntaxError, tokens[g].position);
            case TokenKind::EndOfInput: ++g; break;
        }
        if (error != NoError) return error;
    }
    return checkRequiredAndDefaults();
}

ParamError SetState::applyShortGroup(std::size_t& g, bool skipUndeclared) {
    const std::string letters = tokens[g].text;
    const std::int32_t groupPosition = tokens[g].position;
    for (std::size_t k = 0; k < letters.size(); ++k) {
        const std::int32_t letterPosition = groupPosition + static_cast<std::int32_t>(k) + 1;
        const auto abbreviation = abbreviations.find(letters[k]);
        if (abbreviation == abbreviations.end()) {
            if (!skipUndeclared) return fail(InvalidParameter, DashLetter(letters[k]), letterPosition);
            break;  // the rest of the group goes with the unknown letter
        }
        const std::string& name = abbreviation->second;
        ParameterDecl& decl = decls.at(name);
        decl.given = true;
        if (decl.flags & Switch) {
            decl.value = PositionStamp(g, k);
            continue;
        }
        std::string value;
        if (k + 1 == letters.size()) {
            if (g + 1 >= tokens.size() || tokens[g + 1].kind != TokenKind::Value)
                return fail(ArgumentMissing, DashLetter(letters[k]), letterPosition);
            ++g;
            value = tokens[g].text;
        } else {
            value = letters.substr(k + 1);
        }
        if (const ParamError error = assignValue(g, name, value)) return error;
        break;  // the letter took the rest of the group, or the next word
    }
    ++g;
    return NoError;
}

ParamError SetState::applyLongName(std::size_t& g, bool skipUndeclared) {
    const ParamToken& token = tokens[g];
    const auto found = decls.find(token.text);
    if (found == decls.end()) {
        if (!skipUndeclared) return fail(InvalidParameter, "--" + token.text, token.position);
        ++g;
        if (g < tokens.size() && tokens[g].kind == TokenKind::Assign) {
            ++g;
            if (g < tokens.size() && tokens[g].kind == TokenKind::Value) ++g;
        }
        return NoError;
    }
    ParameterDecl& decl = found->second;
    if (decl.flags & Switch) {
        decl.value = PositionStamp(g, 0);
        decl.given = true;
        ++g;
        return NoError;
    }
    if (g + 1 >= tokens.size() || tokens[g + 1].kind != TokenKind::Assign)
        return fail(ArgumentMissing, "--" + token.text, token.position);
    const std::string name = token.text;
    ++g;
    std::string value;
    if (g + 1 < tokens.size() && tokens[g + 1].kind == TokenKind::Value) {
        ++g;
        value = tokens[g].text;
    }
    if (const ParamError error = assignValue(g, name, value)) return error;
    ++g;
    return NoError;
}

ParamError SetState::applyBareValue(std::size_t& g, std::size_t& positionalCursor) {
    while (positionalCursor < declOrder.size() && !(decls.at(declOrder[positionalCursor]).flags & Positional))
        ++positionalCursor;
    if (positionalCursor == declOrder.size()) return fail(InvalidParameter, tokens[g].text, tokens[g].position);
    const std::string& name = declOrder[positionalCursor];
    if (const ParamError error = assignValue(g, name, tokens[g].text)) return error;
    ++positionalCursor;
    ++g;
    return NoError;
}

// Runs after every token was applied. Key order decides which missing
// parameter is reported when several are.
ParamError SetState::checkRequiredAndDefaults() {
    const std::int32_t endPosition = tokenPosition(tokens.size());
    const std::int32_t firstPosition = tokenPosition(0);
    for (auto& [name, decl] : decls) {
        if ((decl.flags & Required) && !decl.given)
            return fail(MissingRequired, (decl.flags & Positional) ? name : "--" + name, endPosition);
        if (!decl.typeList.empty() && !decl.given) {
            decl.given = true;
            // The default takes its type without a bracketed part.
            const std::string defaultValue = decl.value;
            const ValuePlace place{firstPosition, firstPosition, tokens.size(), tokens.size()};
            if (const ParamError error = assignTypedValue(decl, defaultValue, place)) return error;
        }
    }
    return NoError;
}

ParamError SetState::assignValue(std::size_t& g, const std::string& name, const std::string& value) {
    const auto found = decls.find(name);
    if (found == decls.end()) return fail(InvalidParameter, "--" + name, tokenPosition(g));
    ParameterDecl& decl = found->second;
    decl.given = true;
    if (decl.typeList.empty()) {
        decl.value = value;
        return NoError;
    }

    ValuePlace place{tokenPosition(g), tokenPosition(g + 1), tokens.size(), tokens.size()};
    if (g + 1 < tokens.size() && tokens[g + 1].kind == TokenKind::OpenBracket) {
        // Find the matching bracket; only the tokens between the brackets are scanned.
        std::size_t depth = 1;
        std::size_t scan = g + 2;
        while (depth > 0) {
            if (scan >= tokens.size()) return fail(MissingBracket, place.followPosition);
            if (tokens[scan].kind == TokenKind::OpenBracket) ++depth;
            if (tokens[scan].kind == TokenKind::CloseBracket) --depth;
            ++scan;
        }
        place.rangeBegin = g + 2;
        place.rangeEnd = scan - 1;
        g = scan - 1;
    }
    return assignTypedValue(decl, value, place);
}

// The value must name a type of the declaration's list and of the type table;
// the bracketed tokens then fill a fresh copy of that type's prototype.
ParamError SetState::assignTypedValue(ParameterDecl& decl, const std::string& value, const ValuePlace& place) {
    if (!AdmitsType(decl.typeList, value)) return fail(InvalidType, value, place.valuePosition);
    const auto prototype = types.find(value);
    if (prototype == types.end()) return fail(InvalidType, value, place.valuePosition);
    // The parse recurses once per level; a bound keeps deep nesting off the stack's limit.
    if (nestingDepth >= ParameterSet::kMaxNesting) return fail(SyntaxError, place.followPosition);

    decl.value = value;
    decl.nested = std::make_unique<ParameterSet>(*prototype->second);
    SetState& nested = of(*decl.nested);
    nested.nestingDepth = nestingDepth + 1;
    // Tokens keep their positions in the whole text, so errors point into it at any depth.
    nested.tokens.assign(tokens.begin() + static_cast<std::ptrdiff_t>(place.rangeBegin),
                         tokens.begin() + static_cast<std::ptrdiff_t>(place.rangeEnd));
    const bool bracketed = place.rangeBegin < place.rangeEnd;
    const std::int32_t endPosition = bracketed ? tokens[place.rangeEnd].position : place.followPosition;
    nested.tokens.push_back({TokenKind::EndOfInput, {}, endPosition});

    const ParamError error = nested.applyTokens(decl.nested->skipUndeclared);
    if (error != NoError) fail(error, nested.errorSubject, nested.errorPosition);
    return error;
}

}  // namespace detail
}  // namespace params
