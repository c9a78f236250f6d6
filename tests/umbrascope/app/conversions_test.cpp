#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "app/command_line.h"
#include "app/number_text.h"

namespace {

TEST(TextToInt, AsAtoiWithSaturation) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"1024", 1024},
        {"  -17x", -17},
        {"+8", 8},
        {"abc", 0},
        {"", 0},
        {"1e40", 1},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"\t\n 12", 12},
        {"- 5", 0},
        {"0x10", 0},
        {"007", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(app::TextToInt(c.text), c.value) << c.text;
}

TEST(TextToFloat, AsAtofRoundedToFloat) {
    EXPECT_EQ(app::TextToFloat("2.5"), 2.5f);
    EXPECT_EQ(app::TextToFloat("1e3"), 1000.0f);
    EXPECT_EQ(app::TextToFloat("0.1"), 0.1f);
    EXPECT_EQ(app::TextToFloat("abc"), 0.0f);
    EXPECT_EQ(app::TextToFloat("-5m"), -5.0f);
    EXPECT_TRUE(std::signbit(app::TextToFloat("-0")));
    EXPECT_TRUE(std::isnan(app::TextToFloat("nan")));
    EXPECT_EQ(app::TextToFloat("inf"), INFINITY);
    EXPECT_EQ(app::TextToFloat("1e40"), INFINITY);
    EXPECT_EQ(app::TextToFloat("-1e40"), -INFINITY);
    EXPECT_EQ(app::TextToFloat("1e400"), INFINITY);
    // Just above the largest float rounds back to it; half a last place above overflows.
    EXPECT_EQ(app::TextToFloat("3.4028235e38"), FLT_MAX);
    EXPECT_EQ(app::TextToFloat("3.40282356e38"), FLT_MAX);
    EXPECT_EQ(app::TextToFloat("3.4028236e38"), INFINITY);
    EXPECT_EQ(app::TextToFloat("1e-50"), 0.0f);
}

std::string Join(std::vector<const char*> words) {
    words.insert(words.begin(), "umbrascope");
    return app::CommandLineText(static_cast<int>(words.size()), words.data());
}

TEST(CommandLineText, RebuildsTheWordsTheShellSplit) {
    EXPECT_EQ(Join({}), "");
    EXPECT_EQ(Join({"-H", "h.png", "--OutRez=2"}), "-H h.png --OutRez=2");
    EXPECT_EQ(Join({"-H", "my maps/h.png"}), "-H my\" \"maps/h.png");
    EXPECT_EQ(Join({"-H", " lead  and\ttab\n"}), "-H \" \"lead\"  \"and\"\t\"tab\"\n\"");
    EXPECT_EQ(Join({"-H", ""}), "-H \"\"");
    EXPECT_EQ(Join({"--HeightZero=\"-5\""}), "--HeightZero=\"-5\"");  // quotes keep their meaning
    EXPECT_EQ(Join({"a[b]=c"}), "a[b]=c");
}

}  // namespace
