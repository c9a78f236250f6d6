#include <gtest/gtest.h>

#include <string>

#include "tests/params/tool_parameters.h"

namespace params {
namespace {

TEST(ErrorMessage, FillsTheSubjectOnlyWhereTheMessageAsksForIt) {
    ParameterSet set = toolParameters();
    ASSERT_EQ(set.parse("-H a --%s%d=1"), InvalidParameter);
    const char* const expected[] = {
        "No error",
        "Parameter name length exceed",
        "Parameter name cannot contain symbols '=', '[', ']' or whitespaces",
        "Parameter already exists",
        "Abbreviation already exists",
        "Type already exists",
        "--%s%d: invalid parameter",
        "Missing required parameter --%s%d",
        "--%s%d: parameter argument missing",
        "Syntax error",
        "Missing enclosing quotemark",
        "--%s%d: invalid parameter type",
        "Missing enclosing bracket",
        "Invalid file signature",
        "--%s%d: unable to open file",
    };
    for (std::int32_t code = 0; code < 15; ++code) EXPECT_EQ(set.errorMessage(code), expected[code]) << code;
    EXPECT_EQ(set.errorMessage(-1), "Unknown error");
    EXPECT_EQ(set.errorMessage(15), "Unknown error");
}

TEST(ErrorMessage, SubjectsTheParserLeaves) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "Missing required parameter --HMfname"},
        {"-q", "-q: invalid parameter"},
        {"--Nope=1", "--Nope: invalid parameter"},
        {"-H a -T b -r", "-r: parameter argument missing"},
    };
    for (const Case& c : cases) {
        ParameterSet set = toolParameters();
        EXPECT_EQ(set.errorMessage(set.parse(c.text)), c.message) << c.text;
    }
    EXPECT_EQ(ParameterSet().errorMessage(ArgumentMissing), ": parameter argument missing");
}

// A text of the given length whose parse fails at the given position, made
// of distinct-looking characters so that a misplaced window shows.
std::string textFailingAt(std::size_t length, std::size_t position) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    text[position - 2] = ' ';
    text[position - 1] = '-';  // a dash followed by a blank, or by the end
    if (position < length) text[position] = ' ';
    return text;
}

TEST(ErrorLine, ShortensLongTextsAroundTheError) {
    struct Case {
        std::size_t length;
        std::size_t position;
        std::size_t shownFrom;   // first character of the text that is shown
        std::size_t shownCount;  // how many are shown
        bool cutBefore;
        bool cutAfter;
        std::int32_t caret;
    };
    const Case cases[] = {
        {70, 10, 0, 70, false, false, 10},  {70, 70, 0, 70, false, false, 70},
        {71, 45, 0, 67, false, true, 45},   {71, 46, 4, 67, true, false, 45},
        {100, 80, 33, 67, true, false, 50}, {200, 100, 68, 64, true, true, 35},
        {200, 154, 122, 64, true, true, 35}, {200, 155, 133, 67, true, false, 25},
        {200, 200, 133, 67, true, false, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "L=" << c.length << " P=" << c.position);
        ParameterSet set;
        const std::string text = textFailingAt(c.length, c.position);
        ASSERT_EQ(set.parse(text), SyntaxError);
        ASSERT_EQ(set.errorPosition(), static_cast<std::int32_t>(c.position));

        std::int32_t caret = -1;
        const std::string line = set.errorLine(caret);
        const std::string expected = std::string(c.cutBefore ? "..." : "") + text.substr(c.shownFrom, c.shownCount) +
                                     (c.cutAfter ? "..." : "");
        EXPECT_EQ(line, expected);
        EXPECT_EQ(caret, c.caret);
        if (c.position < c.length) {
            EXPECT_EQ(line[static_cast<std::size_t>(caret)], text[c.position]);
        }
    }
}

}  // namespace
}  // namespace params
