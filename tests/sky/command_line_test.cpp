// umbrascope-sky's own word rules on the companions' shared command-line reader.
#include <gtest/gtest.h>

#include "sky/sky_options.h"

namespace {

TEST(SkyCommandLine, NumbersAreOperandsAndThereAreNoLetters) {
    const struct {
        std::vector<std::string> args;
        const char* error;  // "": runs
    } cases[] = {
        {{"-5", "--start", "-10", "--curvature", "--svf=s.tif"}, ""},
        {{"d.tif", "-xyz", "--svf=s.tif"}, "unknown option -xyz"},
        {{"d.tif", "--curvature=1", "--svf=s.tif"}, "--curvature takes no value"},
        {{"d.tif", "--svf"}, "--svf needs a value"},
    };
    for (const auto& c : cases) {
        const sky::ParsedCommandLine p = sky::ParseSkyCommandLine(c.args);
        EXPECT_EQ(p.error, c.error);
        if (*c.error != 0) continue;
        EXPECT_EQ(p.options.dem, "-5");
        EXPECT_EQ(p.options.start, -10);
        EXPECT_TRUE(p.options.curvature);
    }
}

}  // namespace
