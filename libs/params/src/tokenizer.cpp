// Splits a command-line text into tokens: one pass, four states.
#include <utility>

#include "set_state.h"

namespace params {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The characters that end an unquoted word.
bool IsSeparator(char c) { return IsBlank(c) || c == '[' || c == ']' || c == '=' || c == '\n'; }

std::int32_t Offset(std::size_t index) { return static_cast<std::int32_t>(index); }

}  // namespace

namespace detail {

ParamError SetState::tokenize(const std::string& source) {
    enum class State { Between, AfterDash, InWord, InQuotes };

    tokens.clear();
    State state = State::Between;
    std::string word;          // the quoted and unquoted pieces of the current word, joined
    std::size_t runStart = 0;  // where the current literal piece began
    TokenKind kind = TokenKind::Value;
    std::int32_t position = 0;  // where the token being built began

    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        switch (state) {
            case State::Between:
                if (c == '"') {
                    kind = TokenKind::Value;
                    position = Offset(i);
                    runStart = i + 1;
                    state = State::InQuotes;
                } else if (c == '\n') {
                    kind = TokenKind::LongName;
                    position = Offset(i + 1);
                    runStart = i + 1;
                    state = State::InWord;
                } else if (c == '-') {
                    position = Offset(i);
                    state = State::AfterDash;
                } else if (c == '[') {
                    tokens.push_back({TokenKind::OpenBracket, {}, Offset(i)});
                } else if (c == ']') {
                    tokens.push_back({TokenKind::CloseBracket, {}, Offset(i)});
                } else if (c == '=') {
                    tokens.push_back({TokenKind::Assign, {}, Offset(i)});
                } else if (!IsBlank(c)) {
                    kind = TokenKind::Value;
                    position = Offset(i);
                    runStart = i;
                    state = State::InWord;
                }
                ++i;
                break;
            case State::AfterDash:
                if (IsSeparator(c)) return fail(SyntaxError, Offset(i));
                kind = c == '-' ? TokenKind::LongName : TokenKind::ShortGroup;
                runStart = c == '-' ? i + 1 : i;
                state = State::InWord;
                ++i;
                break;
            case State::InWord:
                if (IsSeparator(c)) {
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
        case State::AfterDash: return fail(SyntaxError, Offset(source.size()));
        case State::InQuotes: return fail(MissingQuote, Offset(runStart));
        case State::InWord:
            word.append(source, runStart, source.size() - runStart);
            tokens.push_back({kind, std::move(word), position});
            break;
        case State::Between: break;
    }
    tokens.push_back({TokenKind::EndOfInput, {}, Offset(source.size())});
    return NoError;
}

}  // namespace detail
}  // namespace params
