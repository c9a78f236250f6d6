// Splits a command-line text into tokens: one pass, four states.
#include <utility>

#include "set_state.h"

namespace params {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The characters that end an unquoted word.
bool isSeparator(char c) { return isBlank(c) || c == '[' || c == ']' || c == '=' || c == '\n'; }

std::int32_t offset(std::size_t index) { return static_cast<std::int32_t>(index); }

}  // namespace

namespace detail {

ParamError SetState::tokenize(const std::string& source) {
    enum class State { Between, AfterDash, InWord, InQuotes };

    tokens.clear();
    State state = State::Between;
    std::string word;           // the quoted and unquoted pieces of the current word, joined
    std::size_t runStart = 0;   // where the current literal piece began
    TokenKind kind = TokenKind::Value;
    std::int32_t position = 0;  // where the token being built began

    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        switch (state) {
            case State::Between:
                if (c == '"') {
                    kind = TokenKind::Value;
                    position = offset(i);
                    runStart = i + 1;
                    state = State::InQuotes;
                } else if (c == '\n') {
                    kind = TokenKind::LongName;
                    position = offset(i + 1);
                    runStart = i + 1;
                    state = State::InWord;
                } else if (c == '-') {
                    position = offset(i);
                    state = State::AfterDash;
                } else if (c == '[') {
                    tokens.push_back({TokenKind::OpenBracket, {}, offset(i)});
                } else if (c == ']') {
                    tokens.push_back({TokenKind::CloseBracket, {}, offset(i)});
                } else if (c == '=') {
                    tokens.push_back({TokenKind::Assign, {}, offset(i)});
                } else if (!isBlank(c)) {
                    kind = TokenKind::Value;
                    position = offset(i);
                    runStart = i;
                    state = State::InWord;
                }
                ++i;
                break;
            case State::AfterDash:
                if (isSeparator(c)) return fail(SyntaxError, offset(i));
                kind = c == '-' ? TokenKind::LongName : TokenKind::ShortGroup;
                runStart = c == '-' ? i + 1 : i;
                state = State::InWord;
                ++i;
                break;
            case State::InWord:
                if (isSeparator(c)) {
                    word.append(source, runStart, i - runStart);
                    tokens.push_back({kind, std::move(word), position});
                    word.clear();
                    state = State::Between;  // and look at c again there
                } else {
                    if (c == '"') {
                        word.append(source, runStart, i - runStart);
                        runStart = i + 1;
                        state = State::InQuotes;
                    }
                    ++i;
                }
                break;
            case State::InQuotes:
                if (c == '"') {
                    word.append(source, runStart, i - runStart);
                    runStart = i + 1;
                    state = State::InWord;
                }
                ++i;
                break;
        }
    }

    switch (state) {
        case State::AfterDash:
            return fail(SyntaxError, offset(source.size()));
        case State::InQuotes:
            return fail(MissingQuote, offset(runStart));
        case State::InWord:
            word.append(source, runStart, source.size() - runStart);
            tokens.push_back({kind, std::move(word), position});
            break;
        case State::Between:
            break;
    }
    tokens.push_back({TokenKind::EndOfInput, {}, offset(source.size())});
    return NoError;
}

}  // namespace detail
}  // namespace params
