#include <gtest/gtest.h>

#include <string>

#include "tests/params/tool_parameters.h"

namespace params {
namespace {

// Tokens as one line, e.g. "L'OutRez'@0 A@9 V'1024'@11 E@15".
std::string describeTokens(const std::vector<ParamToken>& tokens) {
    static const char kKindLetter[] = "SLAVOCE";
    std::string line;
    for (const ParamToken& token : tokens) {
        if (!line.empty()) line += ' ';
        line += kKindLetter[static_cast<int>(token.kind)];
        if (!token.text.empty()) line.append("'").append(token.text).append("'");
        line.append("@").append(std::to_string(token.position));
    }
    return line;
}

TEST(Tokenizer, SplitsWordsQuotesAndLineFeeds) {
    struct Case {
        const char* text;
        const char* tokens;
    };
    const Case cases[] = {
        {"", "E@0"},
        {"--OutRez = 1024", "L'OutRez'@0 A@9 V'1024'@11 E@15"},
        {"-r1024\t-vq", "S'r1024'@0 S'vq'@7 E@10"},
        {"a\"b  c\"d \"-x y\"", "V'ab  cd'@0 V'-x y'@9 E@15"},
        {"C:\\dir\\\"my file\".png", "V'C:\\dir\\my file.png'@0 E@20"},
        {"x=\"[a]=\"[b]", "V'x'@0 A@1 V'[a]='@2 O@8 V'b'@9 C@10 E@11"},
        {"\nname=v\n--x\"=\"", "L'name'@1 A@5 V'v'@6 L'--x='@8 E@14"},
        {"\n\n", "L@1 L@2 E@2"},
        {"-- a-b", "L@0 V'a-b'@3 E@6"},
    };
    for (const Case& c : cases) {
        ParameterSet set;
        EXPECT_EQ(set.tokenize(c.text), NoError) << c.text;
        EXPECT_EQ(describeTokens(set.tokens()), c.tokens) << c.text;
    }
}

TEST(Tokenizer, BadDashesAndOpenQuotesFailWithoutTouchingValues) {
    struct Case {
        const char* text;
        ParamError code;
        std::int32_t position;
    };
    const Case cases[] = {
        {"-", SyntaxError, 1},          {"-H a -", SyntaxError, 6},    {"- x", SyntaxError, 1},
        {"-=", SyntaxError, 1},         {"-\n", SyntaxError, 1},       {"-[", SyntaxError, 1},
        {"ab \"cd", MissingQuote, 4},  {"\"a\"b\"c", MissingQuote, 5}, {"-H \"a b", MissingQuote, 4},
    };
    for (const Case& c : cases) {
        ParameterSet set = toolParameters();
        ASSERT_EQ(set.parse("-H kept -T b --Nope=1"), InvalidParameter);
        EXPECT_EQ(set.parse(c.text), c.code) << c.text;
        EXPECT_EQ(set.errorPosition(), c.position) << c.text;
        EXPECT_EQ(set.errorSubject(), "--Nope") << c.text;
        EXPECT_EQ(set.valueOf("HMfname"), "kept") << c.text;
    }
}

struct ParseCase {
    const char* text;
    ParamError code;
    const char* subject;  // expected on failure
    std::int32_t position;
    const char* name = "";  // on success, this parameter...
    const char* value = "";  // ...holds this value
};

void checkParses(ParameterSet& set, const ParseCase& c) {
    SCOPED_TRACE(c.text);
    const ParamError code = set.parse(c.text);
    EXPECT_EQ(code, c.code);
    if (code != NoError) {
        EXPECT_EQ(set.errorSubject(), c.subject);
        EXPECT_EQ(set.errorPosition(), c.position);
    } else if (*c.name) {
        EXPECT_EQ(set.valueOf(c.name), c.value);
    }
}

TEST(Parser, ToolCommandLines) {
    const ParseCase cases[] = {
        {"--OutRez=1024 -H a -T b", NoError, "", 0, "OutRez", "1024"},
        {"--OutRez = 1024 -H a -T b", NoError, "", 0, "OutRez", "1024"},
        {"-H a -T b -r 1024", NoError, "", 0, "OutRez", "1024"},
        {"-r1024 -H a -T b", NoError, "", 0, "OutRez", "1024"},
        {"-H a --OutRez= -T b", NoError, "", 0, "OutRez", ""},
        {"-H a -T b -H c", NoError, "", 0, "HMfname", "c"},
        {"-H \"C:\\my maps\\h.png\" -T b", NoError, "", 0, "HMfname", "C:\\my maps\\h.png"},
        {"\nHMfname=a\nTMfname = b\nHeight=2.5", NoError, "", 0, "Height", "2.5"},
        {"--OutRez 1024", ArgumentMissing, "--OutRez", 0},
        {"-H a -T b -r", ArgumentMissing, "-r", 11},
        {"-r=1024", ArgumentMissing, "-r", 1},
        {"-z -5", ArgumentMissing, "-z", 1},
        {"--HeightZero=-5", InvalidParameter, "-5", 14},
        {"-H a --Nope=1", InvalidParameter, "--Nope", 5},
        {"-H a -R 1", InvalidParameter, "-R", 6},
        {"-H a bare", InvalidParameter, "bare", 5},
        {"\nHMfname=a\n\nTMfname=b", InvalidParameter, "--", 11},
        {"-H a -T b\n", InvalidParameter, "--", 10},
        {"", MissingRequired, "--HMfname", 0},
        {"-T b ", MissingRequired, "--HMfname", 5},
        {"-H a", MissingRequired, "--TMfname", 4},
        {"-H a [", SyntaxError, "", 5},
        {"-H a ]", SyntaxError, "", 5},
        {"= -H a", SyntaxError, "", 0},
    };
    for (const ParseCase& c : cases) {
        ParameterSet set = toolParameters();
        checkParses(set, c);
    }
}

TEST(Parser, FailuresWithoutSubjectKeepTheOldOne) {
    ParameterSet set = toolParameters();
    ASSERT_EQ(set.parse("-q"), InvalidParameter);
    ASSERT_EQ(set.parse("-H a ]"), SyntaxError);
    EXPECT_EQ(set.errorSubject(), "-q");
    ASSERT_EQ(set.parse("-H a -T b"), NoError);
    EXPECT_EQ(set.errorPosition(), 5);  // a success leaves the last error in place
}

ParameterSet switchesAndPositionals() {
    ParameterSet set;
    set.declare("verbose", 'v', Switch, "");
    set.declare("quiet", 'q', Switch, "");
    set.declare("input", 0, Positional | Required, "");
    set.declare("level", 'l', 0, "", "1");
    set.declare("output", 'o', Positional, "", "out.txt");
    return set;
}

TEST(Parser, SwitchesGroupsAndPositionals) {
    const ParseCase cases[] = {
        {"in out -vq", NoError, "", 0, "quiet", "00020001"},
        {"in out -vq", NoError, "", 0, "verbose", "00020000"},
        {"in out --level = 3 --verbose", NoError, "", 0, "verbose", "00050000"},
        {"-vlfast in", NoError, "", 0, "level", "fast"},
        {"-vl fast in", NoError, "", 0, "level", "fast"},
        {"-lvq in", NoError, "", 0, "level", "vq"},
        {"in", NoError, "", 0, "output", "out.txt"},
        {"in -o x", NoError, "", 0, "input", "in"},
        {"a b", NoError, "", 0, "output", "b"},
        {"-vxq in", NoError, "", 0, "quiet", ""},  // the rest of the group goes with x
        {"--nope = 1 in", NoError, "", 0, "input", "in"},
        {"--nope in", NoError, "", 0, "input", "in"},
        {"a b c", InvalidParameter, "c", 4},
        {"--verbose=1 in", SyntaxError, "", 9},
        {"-v", MissingRequired, "input", 2},
        {"--nope=[ in", SyntaxError, "", 7},
    };
    for (const ParseCase& c : cases) {
        ParameterSet set = switchesAndPositionals();
        checkParses(set, c);
    }
    ParameterSet strict = switchesAndPositionals();
    strict.skipUndeclared = false;
    checkParses(strict, {"in -vxq", InvalidParameter, "-x", 5});
}

TEST(TypedValues, NestedSetsTwoLevelsDeep) {
    ParameterSet set = shapeParameters();
    const std::string text = "-v --shape=square[--side=2 -f hatch[-a 45]] ";
    ASSERT_EQ(set.parse(text), NoError);
    EXPECT_EQ(set.valueOf("shape"), "square");
    const ParameterSet& square = *set.decls().at("shape").nested;
    EXPECT_EQ(square.valueOf("side"), "2");
    EXPECT_EQ(square.valueOf("fill"), "hatch");
    const ParameterSet& hatch = *square.decls().at("fill").nested;
    EXPECT_EQ(hatch.valueOf("angle"), "45");
    // Nested tokens keep their places in the whole text and end at the closing bracket.
    EXPECT_EQ(describeTokens(square.tokens()), "L'side'@18 A@24 V'2'@25 S'f'@27 V'hatch'@30 O@35 S'a'@36 V'45'@39 C@41 E@42");
    EXPECT_EQ(describeTokens(hatch.tokens()), "S'a'@36 V'45'@39 E@41");
}

TEST(TypedValues, DefaultsBracketsAndTypeErrors) {
    struct Case {
        ParseCase parse;
        const char* nestedName;  // on success, the nested set of shape has this parameter...
        const char* nestedValue;  // ...with this value
    };
    const Case cases[] = {
        {{"", NoError, "", 0, "shape", "circle"}, "radius", "1"},
        {{"-scircle[-r 3]", NoError, "", 0, "shape", "circle"}, "radius", "3"},
        {{"--shape = circle [ ] -v", NoError, "", 0, "shape", "circle"}, "radius", "1"},
        {{"--shape=square[-s 1]", NoError, "", 0, "shape", "square"}, "fill", "solid"},
        {{"--shape=triangle", InvalidType, "triangle", 8}, "", ""},
        {{"-s oval[x]", InvalidType, "oval", 3}, "", ""},  // listed, but no such type
        {{"--shape=Circle", InvalidType, "Circle", 8}, "", ""},
        {{"--shape=", InvalidType, "", 7}, "", ""},
        {{"--shape=square[-s 1 -f hatch[-a 1]", MissingBracket, "", 14}, "", ""},
        {{"--shape=square[-s 1 -f stripes]", InvalidType, "stripes", 23}, "", ""},
        {{"--shape=square[-s 1 --nope=2]", InvalidParameter, "--nope", 20}, "", ""},
        {{"-v --shape=square[ ]  ", MissingRequired, "--side", 17}, "", ""},
        {{"--shape=square[-s 1 -f hatch[ [ ]]]", SyntaxError, "", 30}, "", ""},
    };
    for (const Case& c : cases) {
        ParameterSet set = shapeParameters();
        checkParses(set, c.parse);
        if (c.parse.code == NoError) {
            ASSERT_NE(set.decls().at("shape").nested, nullptr) << c.parse.text;
            EXPECT_EQ(set.decls().at("shape").nested->valueOf(c.nestedName), c.nestedValue) << c.parse.text;
        }
    }
}

TEST(TypedValues, UnregisteredDefaultFailsAtTheFirstToken) {
    ParameterSet set;
    set.declare("mode", 'm', 0, "", "fast", "fast|slow");
    set.addType("slow", ParameterSet());
    EXPECT_EQ(set.parse("  -m slow"), NoError);
    EXPECT_EQ(set.parse("  --other=1"), InvalidType);
    EXPECT_EQ(set.errorSubject(), "fast");
    EXPECT_EQ(set.errorPosition(), 2);
}

}  // namespace
}  // namespace params
