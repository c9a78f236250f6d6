#include <gtest/gtest.h>

#include <string>

#include "observe.h"
#include "parameter_sets.h"

namespace params {
namespace {

// Two positional values, a valued letter, two switch letters, a long name, and
// an empty name as a switch (two line feeds, or "--" alone, give it).
ParameterSet WordParameters() {
    ParameterSet set;
    set.skipUndeclared = false;
    MustSucceed(set.declare("first", 0, Positional, ""));
    MustSucceed(set.declare("second", 0, Positional, ""));
    MustSucceed(set.declare("rate", 'r', 0, ""));
    MustSucceed(set.declare("verbose", 'v', Switch, ""));
    MustSucceed(set.declare("quiet", 'q', Switch, ""));
    MustSucceed(set.declare("name", 0, 0, ""));
    MustSucceed(set.declare("", 0, Switch, ""));
    return set;
}

TEST(Words, BlanksQuotesAndLineFeeds) {
    const Accepted accepted[] = {
        {"", {{"first", ""}, {"verbose", ""}}},
        {"-r1024\t-vq", {{"rate", "1024"}, {"verbose", "00010000"}, {"quiet", "00010001"}}},
        {"a\"b  c\"d \"-x y\"", {{"first", "ab  cd"}, {"second", "-x y"}}},
        {"C:\\dir\\\"my file\".png", {{"first", "C:\\dir\\my file.png"}}},
        {"--name=\"[a]=\"", {{"name", "[a]="}}},
        {"\nname=v\nfirst = w", {{"name", "v"}, {"first", "w"}}},
        {"\n\n", {{"", "00010000"}}},
        {"-- a-b", {{"", "00000000"}, {"first", "a-b"}}},
    };
    for (const Accepted& c : accepted) {
        ParameterSet set = WordParameters();
        ExpectAccepted(set, c);
    }
    const Refused refused[] = {
        // A bracket right after a quoted piece ends the word.
        {"--name=\"[a]=\"[b]", SyntaxError, "Syntax error", 13},
        // After a line feed, dashes and quoted pieces belong to the name.
        {"\nname=v\n--x\"=\"", InvalidParameter, "----x=: invalid parameter", 8},
    };
    for (const Refused& c : refused) {
        ParameterSet set = WordParameters();
        ExpectRefused(set, c);
    }
}

TEST(Words, BadDashesAndOpenQuotesKeepTheLastParse) {
    const Refused cases[] = {
        {"-", SyntaxError, "Syntax error", 1},
        {"-H a -", SyntaxError, "Syntax error", 6},
        {"- x", SyntaxError, "Syntax error", 1},
        {"-=", SyntaxError, "Syntax error", 1},
        {"-\n", SyntaxError, "Syntax error", 1},
        {"-[", SyntaxError, "Syntax error", 1},
        {"ab \"cd", MissingQuote, "Missing enclosing quotemark", 4},
        {"\"a\"b\"c", MissingQuote, "Missing enclosing quotemark", 5},
        {"-H \"a b", MissingQuote, "Missing enclosing quotemark", 4},
    };
    for (const Refused& c : cases) {
        ParameterSet set = ToolParameters();
        ASSERT_EQ(set.parse("-H kept -T b --Nope=1"), InvalidParameter);
        ExpectRefused(set, c);
        // Values and the failure's subject are those of the parse before.
        EXPECT_EQ(set.valueOf("HMfname"), "kept") << c.text;
        EXPECT_EQ(set.errorMessage(InvalidParameter), "--Nope: invalid parameter") << c.text;
    }
}

TEST(Parser, ToolCommandLines) {
    const Accepted accepted[] = {
        {"-H heights.png -T trees.png -r 2048 --Height=250",
         {{"HMfname", "heights.png"},
          {"TMfname", "trees.png"},
          {"OutRez", "2048"},
          {"Height", "250"},
          {"Outfname", ""},
          {"TerraSize", ""},
          {"HeightZero", ""}}},
        {"--OutRez=1024 -H a -T b", {{"OutRez", "1024"}}},
        {"--OutRez = 1024 -H a -T b", {{"OutRez", "1024"}}},
        {"-H a -T b -r 1024", {{"OutRez", "1024"}}},
        {"-r1024 -H a -T b", {{"OutRez", "1024"}}},
        {"-H a --OutRez= -T b", {{"OutRez", ""}, {"TMfname", "b"}}},
        {"-H a -T b -H c", {{"HMfname", "c"}}},
        {"-h 1 -H a -T b", {{"Height", "1"}, {"HMfname", "a"}}},
        {"-H \"C:\\my maps\\h.png\" -T b", {{"HMfname", "C:\\my maps\\h.png"}}},
        {"\nHMfname=a\nTMfname = b\nHeight=2.5", {{"HMfname", "a"}, {"TMfname", "b"}, {"Height", "2.5"}}},
    };
    for (const Accepted& c : accepted) {
        ParameterSet set = ToolParameters();
        ExpectAccepted(set, c);
    }
    const Refused refused[] = {
        {"--OutRez 1024", ArgumentMissing, "--OutRez: parameter argument missing", 0},
        {"-H a -T b -r", ArgumentMissing, "-r: parameter argument missing", 11},
        {"-r=1024", ArgumentMissing, "-r: parameter argument missing", 1},
        {"-z -5", ArgumentMissing, "-z: parameter argument missing", 1},
        {"--HeightZero=-5", InvalidParameter, "-5: invalid parameter", 14},
        {"-q", InvalidParameter, "-q: invalid parameter", 1},
        {"-H a --Nope=1", InvalidParameter, "--Nope: invalid parameter", 5},
        {"-H a -R 1", InvalidParameter, "-R: invalid parameter", 6},
        {"-H a bare", InvalidParameter, "bare: invalid parameter", 5},
        {"\nHMfname=a\n\nTMfname=b", InvalidParameter, "--: invalid parameter", 11},
        {"-H a -T b\n", InvalidParameter, "--: invalid parameter", 10},
        {"", MissingRequired, "Missing required parameter --HMfname", 0},
        {"-T b ", MissingRequired, "Missing required parameter --HMfname", 5},
        {"-H a", MissingRequired, "Missing required parameter --TMfname", 4},
        {"-H a [", SyntaxError, "Syntax error", 5},
        {"-H a ]", SyntaxError, "Syntax error", 5},
        {"= -H a", SyntaxError, "Syntax error", 0},
    };
    for (const Refused& c : refused) {
        ParameterSet set = ToolParameters();
        ExpectRefused(set, c);
    }
}

TEST(Parser, FailuresWithoutSubjectKeepTheOldOne) {
    ParameterSet set = ToolParameters();
    ASSERT_EQ(set.parse("-q"), InvalidParameter);
    ASSERT_EQ(set.parse("-H a ]"), SyntaxError);
    EXPECT_EQ(set.errorMessage(InvalidParameter), "-q: invalid parameter");
    // A success leaves the last failure in place, under the new text.
    ASSERT_EQ(set.parse("-H a -T b"), NoError);
    std::int32_t caret = -1;
    EXPECT_EQ(set.errorLine(caret), "-H a -T b");
    EXPECT_EQ(caret, 5);
}

ParameterSet SwitchesAndPositionals() {
    ParameterSet set;
    MustSucceed(set.declare("verbose", 'v', Switch, ""));
    MustSucceed(set.declare("quiet", 'q', Switch, ""));
    MustSucceed(set.declare("input", 0, Positional | Required, ""));
    MustSucceed(set.declare("level", 'l', 0, "", "1"));
    MustSucceed(set.declare("output", 'o', Positional, "", "out.txt"));
    return set;
}

TEST(Parser, SwitchesGroupsAndPositionals) {
    const Accepted accepted[] = {
        {"in out -vq", {{"verbose", "00020000"}, {"quiet", "00020001"}, {"input", "in"}, {"output", "out"}}},
        {"in out --level = 3 --verbose", {{"verbose", "00050000"}, {"level", "3"}}},
        {"-vlfast in", {{"verbose", "00000000"}, {"level", "fast"}}},
        {"-vl fast in", {{"level", "fast"}, {"input", "in"}}},
        {"-lvq in", {{"level", "vq"}, {"verbose", ""}, {"quiet", ""}}},
        {"in", {{"level", "1"}, {"output", "out.txt"}}},
        {"in -o x", {{"input", "in"}, {"output", "x"}}},
        {"a b", {{"input", "a"}, {"output", "b"}}},
        {"-vxq in", {{"verbose", "00000000"}, {"quiet", ""}}},  // the rest of the group goes with x
        {"--nope = 1 in", {{"input", "in"}}},
        {"--nope in", {{"input", "in"}}},
    };
    for (const Accepted& c : accepted) {
        ParameterSet set = SwitchesAndPositionals();
        ExpectAccepted(set, c);
    }
    const Refused refused[] = {
        {"a b c", InvalidParameter, "c: invalid parameter", 4},
        {"--verbose=1 in", SyntaxError, "Syntax error", 9},
        {"-v", MissingRequired, "Missing required parameter input", 2},
        {"--nope=[ in", SyntaxError, "Syntax error", 7},
    };
    for (const Refused& c : refused) {
        ParameterSet set = SwitchesAndPositionals();
        ExpectRefused(set, c);
    }
    ParameterSet strict = SwitchesAndPositionals();
    strict.skipUndeclared = false;
    ExpectRefused(strict, {"in -vxq", InvalidParameter, "-x: invalid parameter", 5});
}

}  // namespace
}  // namespace params
