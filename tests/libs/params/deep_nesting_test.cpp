#include <gtest/gtest.h>

#include <string>

#include "observe.h"
#include "parameter_sets.h"

namespace params {
namespace {

// Type "a" whose positional parameter is again of type "a", levels deep;
// the innermost type has no parameters.
ParameterSet TypeChain(int levels) {
    ParameterSet set;
    for (int i = 0; i < levels; ++i) {
        ParameterSet outer;
        outer.skipUndeclared = false;
        MustSucceed(outer.declare("t", 0, Positional, "", "", "a"));
        MustSucceed(outer.addType("a", std::move(set)));
        set = std::move(outer);
    }
    return set;
}

// "a[a[...]]", levels deep.
std::string NestedValues(int levels) {
    const auto count = static_cast<std::size_t>(levels);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "a[";
    return text + std::string(count, ']');
}

// Every level's nested set holds a copy of the rest of the chain, so these
// parses hold a few hundred megabytes.
TEST(DeepNesting, NestingStopsBeyondTheLimitAtTheOffendingBracket) {
    const int limit = ParameterSet::kMaxNesting;
    {
        ParameterSet chain = TypeChain(limit);
        EXPECT_EQ(chain.parse(NestedValues(limit)), NoError);
    }
    ParameterSet chain = TypeChain(limit + 1);
    const std::string text = NestedValues(limit + 1);
    ASSERT_EQ(chain.parse(text), SyntaxError);
    std::int32_t caret = -1;
    const std::string line = chain.errorLine(caret);
    EXPECT_TRUE(ShowsPlaceIn(text, line, caret, 2 * limit + 1));
}

}  // namespace
}  // namespace params
