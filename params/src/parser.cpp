// Walks the tokens of a command line and assigns the values they carry.
#include <string>
#include <utility>

#include "params/parameter_set.h"

namespace params {

namespace {

// Decimal text of value, zero-padded to at least four digits.
std::string fourDigits(std::size_t value) {
    std::string digits = std::to_string(value);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return digits;
}

// A given switch's value: its token index and its letter's offset in the
// group, so that stamps compare in the order the switches appeared.
std::string positionStamp(std::size_t tokenIndex, std::size_t letterOffset) {
    return fourDigits(tokenIndex) + fourDigits(letterOffset);
}

std::string dashLetter(char letter) { return std::string("-") + letter; }

bool admitsType(const std::string& typeList, const std::string& value) {
    return ("|" + typeList + "|").find("|" + value + "|") != std::string::npos;
}

}  // namespace

ParamError ParameterSet::fail(ParamError code, std::int32_t position) {
    errorPosition_ = position;
    return code;
}

ParamError ParameterSet::fail(ParamError code, std::string subject, std::int32_t position) {
    errorSubject_ = std::move(subject);
    errorPosition_ = position;
    return code;
}

std::int32_t ParameterSet::tokenPosition(std::size_t index) const {
    if (index < tokens_.size()) return tokens_[index].position;
    return tokens_.empty() ? 0 : tokens_.back().position;
}

ParamError ParameterSet::parse(std::string commandLine) {
    text_ = std::move(commandLine);
    if (const ParamError error = tokenize(text_)) return error;
    return applyTokens();
}

ParamError ParameterSet::applyTokens() {
    resetValues();
    std::size_t g = 0;
    std::size_t positionalCursor = 0;
    while (g < tokens_.size()) {
        ParamError error = NoError;
        switch (tokens_[g].kind) {
            case TokenKind::ShortGroup:
                error = applyShortGroup(g);
                break;
            case TokenKind::LongName:
                error = applyLongName(g);
                break;
            case TokenKind::Value:
                error = applyBareValue(g, positionalCursor);
                break;
            case TokenKind::Assign:
            case TokenKind::OpenBracket:
            case TokenKind::CloseBracket:
                return fail(SyntaxError, tokens_[g].position);
            case TokenKind::EndOfInput:
                ++g;
                break;
        }
        if (error != NoError) return error;
    }
    return checkRequiredAndDefaults();
}

ParamError ParameterSet::applyShortGroup(std::size_t& g) {
    const std::string letters = tokens_[g].text;
    const std::int32_t groupPosition = tokens_[g].position;
    for (std::size_t k = 0; k < letters.size(); ++k) {
        const std::int32_t letterPosition = groupPosition + static_cast<std::int32_t>(k) + 1;
        const auto abbreviation = abbreviations_.find(letters[k]);
        if (abbreviation == abbreviations_.end()) {
            if (!skipUndeclared) return fail(InvalidParameter, dashLetter(letters[k]), letterPosition);
            break;  // the rest of the group goes with the unknown letter
        }
        const std::string& name = abbreviation->second;
        ParameterDecl& decl = decls_.at(name);
        decl.given = true;
        if (decl.flags & Switch) {
            decl.value = positionStamp(g, k);
            continue;
        }
        std::string value;
        if (k + 1 == letters.size()) {
            if (g + 1 >= tokens_.size() || tokens_[g + 1].kind != TokenKind::Value)
                return fail(ArgumentMissing, dashLetter(letters[k]), letterPosition);
            ++g;
            value = tokens_[g].text;
        } else {
            value = letters.substr(k + 1);
        }
        if (const ParamError error = assignValue(g, name, value)) return error;
        break;  // the letter took the rest of the group, or the next word
    }
    ++g;
    return NoError;
}

ParamError ParameterSet::applyLongName(std::size_t& g) {
    const ParamToken& token = tokens_[g];
    const auto found = decls_.find(token.text);
    if (found == decls_.end()) {
        if (!skipUndeclared) return fail(InvalidParameter, "--" + token.text, token.position);
        ++g;
        if (g < tokens_.size() && tokens_[g].kind == TokenKind::Assign) {
            ++g;
            if (g < tokens_.size() && tokens_[g].kind == TokenKind::Value) ++g;
        }
        return NoError;
    }
    ParameterDecl& decl = found->second;
    if (decl.flags & Switch) {
        decl.value = positionStamp(g, 0);
        decl.given = true;
        ++g;
        return NoError;
    }
    if (g + 1 >= tokens_.size() || tokens_[g + 1].kind != TokenKind::Assign)
        return fail(ArgumentMissing, "--" + token.text, token.position);
    const std::string name = token.text;
    ++g;
    std::string value;
    if (g + 1 < tokens_.size() && tokens_[g + 1].kind == TokenKind::Value) {
        ++g;
        value = tokens_[g].text;
    }
    if (const ParamError error = assignValue(g, name, value)) return error;
    ++g;
    return NoError;
}

ParamError ParameterSet::applyBareValue(std::size_t& g, std::size_t& positionalCursor) {
    while (positionalCursor < declOrder_.size() && !(decls_.at(declOrder_[positionalCursor]).flags & Positional))
        ++positionalCursor;
    if (positionalCursor == declOrder_.size()) return fail(InvalidParameter, tokens_[g].text, tokens_[g].position);
    const std::string& name = declOrder_[positionalCursor];
    if (const ParamError error = assignValue(g, name, tokens_[g].text)) return error;
    ++positionalCursor;
    ++g;
    return NoError;
}

// Runs after every token was applied. Key order decides which missing
// parameter is reported when several are.
ParamError ParameterSet::checkRequiredAndDefaults() {
    const std::int32_t endPosition = tokenPosition(tokens_.size());
    const std::int32_t firstPosition = tokenPosition(0);
    for (auto& [name, decl] : decls_) {
        if ((decl.flags & Required) && !decl.given)
            return fail(MissingRequired, (decl.flags & Positional) ? name : "--" + name, endPosition);
        if (!decl.typeList.empty() && !decl.given) {
            decl.given = true;
            // The default takes its type without a bracketed part.
            const std::string defaultValue = decl.value;
            const ValuePlace place{firstPosition, firstPosition, tokens_.size(), tokens_.size()};
            if (const ParamError error = assignTypedValue(decl, defaultValue, place)) return error;
        }
    }
    return NoError;
}

ParamError ParameterSet::assignValue(std::size_t& g, const std::string& name, const std::string& value) {
    const auto found = decls_.find(name);
    if (found == decls_.end()) return fail(InvalidParameter, "--" + name, tokenPosition(g));
    ParameterDecl& decl = found->second;
    decl.given = true;
    if (decl.typeList.empty()) {
        decl.value = value;
        return NoError;
    }

    ValuePlace place{tokenPosition(g), tokenPosition(g + 1), tokens_.size(), tokens_.size()};
    if (g + 1 < tokens_.size() && tokens_[g + 1].kind == TokenKind::OpenBracket) {
        // Find the matching bracket; only the tokens between the brackets are scanned.
        std::size_t depth = 1;
        std::size_t scan = g + 2;
        while (depth > 0) {
            if (scan >= tokens_.size()) return fail(MissingBracket, place.followPosition);
            if (tokens_[scan].kind == TokenKind::OpenBracket) ++depth;
            if (tokens_[scan].kind == TokenKind::CloseBracket) --depth;
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
ParamError ParameterSet::assignTypedValue(ParameterDecl& decl, const std::string& value, const ValuePlace& place) {
    if (!admitsType(decl.typeList, value)) return fail(InvalidType, value, place.valuePosition);
    const auto prototype = types_.find(value);
    if (prototype == types_.end()) return fail(InvalidType, value, place.valuePosition);
    // The parse recurses once per level; a bound keeps deep nesting off the stack's limit.
    if (nestingDepth_ >= kMaxNesting) return fail(SyntaxError, place.followPosition);

    decl.value = value;
    auto nested = std::make_unique<ParameterSet>(*prototype->second);
    nested->nestingDepth_ = nestingDepth_ + 1;
    // Tokens keep their positions in the whole text, so errors point into it at any depth.
    nested->tokens_.assign(tokens_.begin() + static_cast<std::ptrdiff_t>(place.rangeBegin),
                           tokens_.begin() + static_cast<std::ptrdiff_t>(place.rangeEnd));
    const bool bracketed = place.rangeBegin < place.rangeEnd;
    const std::int32_t endPosition = bracketed ? tokens_[place.rangeEnd].position : place.followPosition;
    nested->tokens_.push_back({TokenKind::EndOfInput, {}, endPosition});
    decl.nested = std::move(nested);

    const ParamError error = decl.nested->applyTokens();
    if (error != NoError) fail(error, decl.nested->errorSubject_, decl.nested->errorPosition_);
    return error;
}

}  // namespace params
