#include <gtest/gtest.h>

#include <string>

#include "observe.h"
#include "parameter_sets.h"

namespace params {
namespace {

TEST(TypedValues, BracketsDefaultsAndNesting) {
    const Accepted cases[] = {
        {"-v --shape=square[--side=2 -f hatch[-a 45]] ",
         {{"verbose", "00000000"},
          {"shape", "square"},
          {"shape/side", "2"},
          {"shape/fill", "hatch"},
          {"shape/fill/angle", "45"}}},
        {"", {{"shape", "circle"}, {"shape/radius", "1"}}},  // the default takes its type too
        {"-scircle[-r 3]", {{"shape", "circle"}, {"shape/radius", "3"}}},
        {"--shape = circle [ ] -v", {{"shape/radius", "1"}, {"verbose", "00050000"}}},
        {"--shape=square[-s 1]", {{"shape/side", "1"}, {"shape/fill", "solid"}}},
        {"--shape=square[-s 1 -f hatch]", {{"shape/fill/angle", "90"}}},
        {"--shape=square[-s 1] -s circle", {{"shape", "circle"}, {"shape/radius", "1"}, {"shape/side", ""}}},
    };
    for (const Accepted& c : cases) {
        ParameterSet set = ShapeParameters();
        ExpectAccepted(set, c);
    }
}

// Failures inside brackets point into the whole command line; a nested set's
// end is its closing bracket, or the opening one of an empty pair.
TEST(TypedValues, TypeAndBracketErrors) {
    const Refused cases[] = {
        {"--shape=triangle", InvalidType, "triangle: invalid parameter type", 8},
        {"-s oval[x]", InvalidType, "oval: invalid parameter type", 3},  // listed, but no such type
        {"--shape=Circle", InvalidType, "Circle: invalid parameter type", 8},
        {"--shape=", InvalidType, ": invalid parameter type", 7},
        {"--shape=square[-s 1 -f hatch[-a 1]", MissingBracket, "Missing enclosing bracket", 14},
        {"--shape=square[-s 1 -f stripes]", InvalidType, "stripes: invalid parameter type", 23},
        {"--shape=square[-s 1 --nope=2]", InvalidParameter, "--nope: invalid parameter", 20},
        {"--shape=square[-s 1 -f hatch[-a]]", ArgumentMissing, "-a: parameter argument missing", 30},
        {"--shape=square[-f solid] ", MissingRequired, "Missing required parameter --side", 23},
        {"-v --shape=square[ ]  ", MissingRequired, "Missing required parameter --side", 17},
        {"--shape=square[-s 1 -f hatch[ [ ]]]", SyntaxError, "Syntax error", 30},
    };
    for (const Refused& c : cases) {
        ParameterSet set = ShapeParameters();
        ExpectRefused(set, c);
    }
}

TEST(TypedValues, UnregisteredDefaultFailsAtTheFirstToken) {
    ParameterSet set;
    ASSERT_EQ(set.declare("mode", 'm', 0, "", "fast", "fast|slow"), NoError);
    ASSERT_EQ(set.addType("slow", ParameterSet()), NoError);
    ExpectAccepted(set, {"  -m slow", {{"mode", "slow"}}});
    ExpectRefused(set, {"  --other=1", InvalidType, "fast: invalid parameter type", 2});
}

TEST(TypedValues, OnlyParsedTypedValuesHaveNestedSets) {
    ParameterSet set = ShapeParameters();
    EXPECT_EQ(set.nestedOf("shape"), nullptr);  // nothing parsed yet
    ASSERT_EQ(set.parse("-v"), NoError);
    EXPECT_NE(set.nestedOf("shape"), nullptr);
    EXPECT_EQ(set.nestedOf("verbose"), nullptr);
    EXPECT_EQ(set.nestedOf("nope"), nullptr);
}

}  // namespace
}  // namespace params
