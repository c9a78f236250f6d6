// Turns the last parse failure into a message and a caret-ready error line.
#include <array>
#include <string_view>

#include "set_state.h"

namespace params {

namespace {

// Indexed by ParamError; "%s" stands for the error subject.
constexpr std::array<std::string_view, 15> kMessages = {
    "No error",
    "Parameter name length exceed",
    "Parameter name cannot contain symbols '=', '[', ']' or whitespaces",
    "Parameter already exists",
    "Abbreviation already exists",
    "Type already exists",
    "%s: invalid parameter",
    "Missing required parameter %s",
    "%s: parameter argument missing",
    "Syntax error",
    "Missing enclosing quotemark",
    "%s: invalid parameter type",
    "Missing enclosing bracket",
    "Invalid file signature",
    "%s: unable to open file",
};

// A text up to this long is shown whole; a shortened line is this long too.
constexpr std::int64_t kLineLength = 70;
// An error closer than this to an end of the text keeps that end in view.
constexpr std::int64_t kEndMargin = 46;
constexpr std::int64_t kEndKept = 67;  // characters kept next to a kept end
constexpr std::int64_t kWindowLength = 64;
constexpr std::int64_t kWindowLead = 32;  // characters shown before the error in a window
const std::string kCut = "...";

}  // namespace

std::string ParameterSet::errorMessage(std::int32_t code) const {
    const std::string& subject = detail::SetState::of(*this).errorSubject;
    if (code < 0 || code >= static_cast<std::int32_t>(kMessages.size())) return "Unknown error";
    std::string message(kMessages[static_cast<std::size_t>(code)]);
    // The subject is inserted as it is, never read as a format.
    if (const auto placeholder = message.find("%s"); placeholder != std::string::npos)
        message.replace(placeholder, 2, subject);
    return message;
}

std::string ParameterSet::errorLine(std::int32_t& caretColumn) const {
    const detail::SetState& set = detail::SetState::of(*this);
    const std::string& text = set.text;
    const auto length = static_cast<std::int64_t>(text.size());
    const std::int64_t position = set.errorPosition;
    if (length <= kLineLength) {
        caretColumn = set.errorPosition;
        return text;
    }
    if (position < kEndMargin) {
        caretColumn = set.errorPosition;
        return text.substr(0, kEndKept) + kCut;
    }
    if (length - position < kEndMargin) {
        caretColumn = static_cast<std::int32_t>(position - length + kLineLength);
        return kCut + text.substr(static_cast<std::size_t>(length - kEndKept));
    }
    caretColumn = static_cast<std::int32_t>(kCut.size() + kWindowLead);
    return kCut + text.substr(static_cast<std::size_t>(position - kWindowLead), kWindowLength) + kCut;
}

}  // namespace params
