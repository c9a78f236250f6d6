#include <gtest/gtest.h>

#include <string>

#include "params/parameter_set.h"

namespace params {
namespace {

// Type "a" whose positional parameter is again of type "a", levels deep;
// the innermost type has no parameters.
ParameterSet typeChain(int levels) {
    ParameterSet set;
    for (int i = 0; i < levels; ++i) {
        ParameterSet outer;
        outer.skipUndeclared = false;
        outer.declare("t", 0, Positional, "", "", "a");
        outer.addType("a", std::move(set));
        set = std::move(outer);
    }
    return set;
}

// "a[a[...]]", levels deep.
std::string nestedValues(int levels) {
    const auto count = static_cast<std::size_t>(levels);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "a[";
    return text + std::string(count, ']');
}

// Every level's nested set holds a copy of the rest of the chain, so these
// parses hold a few hundred megabytes.
TEST(DeepNesting, NestingStopsBeyondTheLimitAtTheOffendingBracket) {
    const int limit = ParameterSet::kMaxNesting;
    ParameterSet chain = typeChain(limit + 1);
    {
        ParameterSet deepest = *chain.types().at("a");
        EXPECT_EQ(deepest.parse(nestedValues(limit)), NoError);
    }
    EXPECT_EQ(chain.parse(nestedValues(limit + 1)), SyntaxError);
    EXPECT_EQ(chain.errorPosition(), 2 * limit + 1);
}

}  // namespace
}  // namespace params
