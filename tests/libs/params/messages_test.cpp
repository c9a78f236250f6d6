#include <gtest/gtest.h>

#include <string>

#include "parameter_sets.h"

namespace params {
namespace {

// The texts the user reads, one per code; the subject of the last failure fills
// "%s" as it is, never read as a format.
TEST(ErrorMessage, EveryCodeWithTheSubjectWhereItAsksForIt) {
    ParameterSet set = ToolParameters();
    ASSERT_EQ(set.parse("-H a --%s%d=1"), InvalidParameter);
    const struct {
        ParamError code;
        const char* message;
    } cases[] = {
        {NoError, "No error"},
        {NameTooLong, "Parameter name length exceed"},
        {NameHasReservedChar, "Parameter name cannot contain symbols '=', '[', ']' or whitespaces"},
        {ParameterExists, "Parameter already exists"},
        {AbbreviationExists, "Abbreviation already exists"},
        {TypeExists, "Type already exists"},
        {InvalidParameter, "--%s%d: invalid parameter"},
        {MissingRequired, "Missing required parameter --%s%d"},
        {ArgumentMissing, "--%s%d: parameter argument missing"},
        {SyntaxError, "Syntax error"},
        {MissingQuote, "Missing enclosing quotemark"},
        {InvalidType, "--%s%d: invalid parameter type"},
        {MissingBracket, "Missing enclosing bracket"},
        {BadFileSignature, "Invalid file signature"},
        {CannotOpenFile, "--%s%d: unable to open file"},
    };
    for (const auto& c : cases) EXPECT_EQ(set.errorMessage(c.code), c.message) << c.code;
    EXPECT_EQ(set.errorMessage(-1), "Unknown error");
    EXPECT_EQ(set.errorMessage(15), "Unknown error");
}

TEST(ErrorMessage, AnEmptySubjectLeavesTheRestOfTheMessage) {
    EXPECT_EQ(ParameterSet().errorMessage(ArgumentMissing), ": parameter argument missing");
}

// A text of the given length whose parse fails at the given position, made
// of distinct-looking characters so that a misplaced window shows.
std::string TextFailingAt(std::size_t length, std::size_t position) {
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
        {70, 10, 0, 70, false, false, 10},   {70, 70, 0, 70, false, false, 70},    {71, 45, 0, 67, false, true, 45},
        {71, 46, 4, 67, true, false, 45},    {100, 80, 33, 67, true, false, 50},   {200, 100, 68, 64, true, true, 35},
        {200, 154, 122, 64, true, true, 35}, {200, 155, 133, 67, true, false, 25}, {200, 200, 133, 67, true, false, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "L=" << c.length << " P=" << c.position);
        ParameterSet set;
        const std::string text = TextFailingAt(c.length, c.position);
        ASSERT_EQ(set.parse(text), SyntaxError);

        std::int32_t caret = -1;
        const std::string line = set.errorLine(caret);
        const std::string expected =
            std::string(c.cutBefore ? "..." : "") + text.substr(c.shownFrom, c.shownCount) + (c.cutAfter ? "..." : "");
        EXPECT_EQ(line, expected);
        EXPECT_EQ(caret, c.caret);
        if (c.position < c.length) {
            EXPECT_EQ(line[static_cast<std::size_t>(caret)], text[c.position]);
        }
    }
}

}  // namespace
}  // namespace params
