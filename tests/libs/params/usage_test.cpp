#include <gtest/gtest.h>

#include <string>

#include "observe.h"
#include "parameter_sets.h"

namespace params {
namespace {

TEST(Usage, WidthZeroLeavesTheSynopsisWholeAndWrapsTheListingAtW20) {
    const std::string indent(34, ' ');
    EXPECT_EQ(UsageText(ToolParameters(), 0),
              "\nUsage: umbrascope.exe -H <HMfname> -T <TMfname> -o <Outfname> -r <OutRez> -h <Height> "
              "-s <TerraSize> -z <HeightZero> \n"
              "\n"
              " * -H, --HMfname=<HMfname>        HeightMap \n" +
                  indent +
                  "filename\n"
                  " * -T, --TMfname=<TMfname>        TreeMap \n" +
                  indent +
                  "filename\n"
                  "   -o, --Outfname=<Outfname>      HorizonMap \n" +
                  indent +
                  "filename\n"
                  "   -r, --OutRez=<OutRez>          HorizonMap\n" +
                  indent +
                  "rezolution\n"
                  "   -h, --Height=<Height>          Height\n" +
                  indent +
                  "koeficient\n"
                  "   -s, --TerraSize=<TerraSize>    Map size\n" +
                  indent +
                  "(metres)\n"
                  "   -z, --HeightZero=<HeightZero>  Height Zero\n" +
                  indent + "Point\n" + indent +
                  "(metres)\n"
                  "\n"
                  " * = required parameter\n");
}

TEST(Usage, SetsWithoutParameters) {
    ParameterSet set;
    set.setUsageHeader("Head");
    EXPECT_EQ(UsageText(set, 80), "Head\n\n * = required parameter\n");
    set.setUsageFooter("Foot %s\n");
    EXPECT_EQ(UsageText(set, 80), "Head\n\n * = required parameter\nFoot %s\n");
    EXPECT_EQ(UsageText(ParameterSet(), 80, "empty"), "\n\n");
}

TEST(Usage, GroupsMarksAndNamesWithoutLetters) {
    ParameterSet set;
    set.setUsageHeader("Use: ");
    ASSERT_EQ(set.declare("verbose", 0, Switch, "Verbose", "SECRET"), NoError);
    ASSERT_EQ(set.declare("file", 0, Positional | Required, "Input@types@ file"), NoError);
    ASSERT_EQ(set.declare("mode", 0, Required, "Mode", "SECRET"), NoError);
    ASSERT_EQ(set.declare("level", 'l', 0, "Level, @types@ @types@", "SECRET", "a|b|c"), NoError);
    ASSERT_EQ(set.declare("extra", 'x', Positional, "Extra"), NoError);
    ASSERT_EQ(set.declare("q", 'q', Switch, "Quiet"), NoError);
    EXPECT_EQ(UsageText(set, 50),
              "Use: <file> <extra> --mode=<mode> --verbose \n"
              "        -l a|b|c -q \n"
              "\n"
              " *     <file>           Input file\n"
              "       <extra>          Extra\n"
              " *     --mode=<mode>    Mode\n"
              "       --verbose        Verbose\n"
              "   -l, --level=<level>  Level, a, b, c @types@\n"
              "   -q, --q              Quiet\n"
              "\n"
              " * = required parameter\n");
}

TEST(Usage, WidestSwitchPushesItsDescriptionRight) {
    ParameterSet set;
    ASSERT_EQ(set.declare("verbose", 'v', Switch, "Print more lines"), NoError);
    // W is 7 (the name alone), so the width is raised to 27 and wraps at 13 columns.
    EXPECT_EQ(UsageText(set, 0),
              "-v \n\n"
              "   -v, --verbose Print more\n"
              "              lines\n"
              "\n"
              " * = required parameter\n");
}

TEST(Usage, LongHeaderWrapsButCountsUnwrapped) {
    ParameterSet set;
    set.setUsageHeader("Usage of this fine program: ");
    ASSERT_EQ(set.declare("x", 'x', 0, "X"), NoError);
    EXPECT_EQ(UsageText(set, 20),
              "Usage of this fine\nprogram: \n"
              "        -x <x> \n\n"
              "   -x, --x=<x>  X\n"
              "\n"
              " * = required parameter\n");
}

TEST(Usage, LongSynopsisEntriesArePrintedWhole) {
    ParameterSet set;
    const std::string typeList = "alpha|bravo|charlie|delta|echo|foxtrot|golf|hotel|india|juliett|kilo";
    ASSERT_EQ(set.declare("code", 'c', Required, "Code", "", typeList), NoError);
    EXPECT_EQ(UsageText(set, 30), "\n        -c " + typeList +
                                      " \n\n"
                                      " * -c, --code=<code>  Code\n"
                                      "\n"
                                      " * = required parameter\n");
}

TEST(Usage, TypesAreListedAfterTheirUsers) {
    ParameterSet set = ShapeParameters();
    const std::string top =
        "-s circle[...]|square[...]|oval -v \n\n"
        "   -s, --shape=<shape>  Shape: circle, square, oval\n"
        "   -v, --verbose        Talk more\n"
        "\n";
    const std::string legend = " * = required parameter\n";
    EXPECT_EQ(UsageText(set, 60), top +
                                      "\n        circle[-r <radius> \b]\n"
                                      "   -r, --radius=<radius>  Radius\n"
                                      "\n"
                                      "\n        square[-s <side> -f solid|hatch[...] \b]\n"
                                      " * -s, --side=<side>  Side length\n"
                                      "   -f, --fill=<fill>  Fill: solid, hatch\n"
                                      "\n"
                                      "\n\n"
                                      "\n        hatch[-a <angle> \b]\n"
                                      "   -a, --angle=<angle>  Hatch angle\n"
                                      "\n" +
                                      legend);
    set.listTypes = false;
    EXPECT_EQ(UsageText(set, 60), top + legend);
}

TEST(PrintWrapped, BreaksAtTheLastBlankOfEachWindow) {
    struct Case {
        const char* text;
        std::uint32_t width;
        std::uint32_t indent;
        bool finalLineFeed;
        const char* expected;
    };
    const Case cases[] = {
        {"one two three", 0, 4, true, "one two three\n"},
        {"one two three", 8, 0, false, "one two\nthree"},
        {"abcdefghij", 4, 0, true, "abcd\nefgh\nij\n"},         // no blank: cut, nothing lost
        {"aa bb cc dd", 7, 2, true, "aa\n  bb\n  cc\n  dd\n"},  // "cc dd" fills the width, so it breaks
        {"abcde", 7, 2, true, "abcde\n  \n"},
        {" abc", 2, 0, false, "\nab\nc"},
        {"a b", 3, 5, false, "a b"},  // no room beside the indent: not wrapped
    };
    for (const Case& c : cases) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* stream = open_memstream(&buffer, &size);
        printWrapped(stream, c.text, c.width, c.indent, c.finalLineFeed);
        std::fclose(stream);
        EXPECT_EQ(std::string(buffer, size), c.expected) << c.text << " at " << c.width;
        std::free(buffer);
    }
}

}  // namespace
}  // namespace params
