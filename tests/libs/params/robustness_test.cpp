#include <gtest/gtest.h>

#include <random>
#include <string>

#include "observe.h"
#include "parameter_sets.h"

namespace params {
namespace {

TEST(Robustness, HostileBracketRunsFailWithoutRecursing) {
    struct Case {
        std::string text;
        ParamError code;
        std::size_t position;
    };
    const std::string value = "--shape=circle";  // 14 characters
    const Case cases[] = {
        {value + std::string(100000, '['), MissingBracket, 14},
        {value + std::string(50000, '[') + std::string(50000, ']'), SyntaxError, 15},
        {std::string(100000, '['), SyntaxError, 0},
        {"-v" + std::string(100000, 'v') + " " + std::string(100000, ']'), SyntaxError, 100003},
    };
    for (const Case& c : cases) {
        ParameterSet set = ShapeParameters();
        EXPECT_EQ(set.parse(c.text), c.code);
        std::int32_t caret = -1;
        const std::string line = set.errorLine(caret);
        EXPECT_TRUE(ShowsPlaceIn(c.text, line, caret, c.position));
    }
}

// Random mixes of the pieces a command line is made of.
std::string RandomCommandLine(std::mt19937& random) {
    static const char* const kPieces[] = {
        "--OutRez", "--shape", "--Nope", "--",    "-",    "-H", "-rT",  "-v", "-s",      "-f",
        "-a",       "circle",  "square", "hatch", "oval", "x",  "1024", "\"", "\"a b\"", "[",
        "]",        "=",       " ",      " ",     "  ",   "\t", "\n",   "\\",
    };
    const std::size_t pieceCount = std::uniform_int_distribution<std::size_t>(0, 24)(random);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::string text;
    for (std::size_t i = 0; i < pieceCount; ++i) text += kPieces[pick(random)];
    // Pad some lines past the length at which the error line is shortened.
    if (random() % 4 == 0) text.insert(random() % (text.size() + 1), std::string(random() % 120, 'p'));
    return text;
}

TEST(Robustness, EveryCommandLineGivesACodeAndAPlaceInTheText) {
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        ParameterSet sets[] = {ToolParameters(), ShapeParameters(), ShapeParameters()};
        sets[2].skipUndeclared = true;
        for (int line = 0; line < 1000; ++line) {
            const std::string text = RandomCommandLine(random);
            ParameterSet& set = sets[line % 3];
            const ParamError code = set.parse(text);
            ASSERT_GE(code, NoError) << text;
            ASSERT_LE(code, CannotOpenFile) << text;
            if (code == NoError) continue;

            std::int32_t caret = -1;
            const std::string errorLine = set.errorLine(caret);
            ASSERT_TRUE(ShowsPlaceIn(text, errorLine, caret)) << text;
        }
    }
}

}  // namespace
}  // namespace params
