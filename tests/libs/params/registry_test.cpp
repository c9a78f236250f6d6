#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "observe.h"
#include "parameter_sets.h"

// The tests see the library as its users do: through its public header alone.
#if __has_include("set_state.h") || __has_include("params/src/set_state.h")
#error "the parameter library's private headers are within reach of its tests"
#endif

namespace params {
namespace {

TEST(Registry, DeclareRefusesBadNamesAndTakenNamesAndLetters) {
    struct Case {
        std::string name;
        char abbreviation;
        ParamError expected;
    };
    const Case cases[] = {
        {std::string(25, 'n'), 0, NoError},
        {std::string(26, 'n'), 0, NameTooLong},
        {std::string(25, 'n') + " ", 0, NameTooLong},  // length is checked before characters
        {"a b", 0, NameHasReservedChar},
        {"a=b", 0, NameHasReservedChar},
        {"[a", 0, NameHasReservedChar},
        {"a]", 0, NameHasReservedChar},
        {"a\tb", 'x', NameHasReservedChar},
        {"a-b\"c", 0, NoError},
        {"", 0, NoError},
        {"taken", 'x', ParameterExists},
        {"taken", 't', ParameterExists},  // name before letter
        {"other", 't', AbbreviationExists},
        {"Taken", 'T', NoError},  // names and letters are case-sensitive
        {"none", 0, NoError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParameterSet set;
        set.skipUndeclared = false;
        ASSERT_EQ(set.declare("taken", 't', 0, "first", "old"), NoError);
        EXPECT_EQ(set.declare(c.name, c.abbreviation, 0, "second", "new"), c.expected);

        // A refused declaration is not stored, not even under its own name or letter.
        const bool stored = c.expected == NoError;
        EXPECT_EQ(set.valueOf("taken"), "old");
        if (c.name != "taken") {
            EXPECT_EQ(set.valueOf(c.name), stored ? "new" : "");
        }
        if (c.abbreviation != 0 && c.abbreviation != 't') {
            const std::string given = std::string("-") + c.abbreviation + " v";
            ASSERT_EQ(set.parse(given), stored ? NoError : InvalidParameter);
            if (stored) {
                EXPECT_EQ(set.valueOf(c.name), "v");
            }
        }
        ASSERT_EQ(set.parse("-t v"), NoError);
        EXPECT_EQ(set.valueOf("taken"), "v");
    }
}

TEST(Registry, ValueOfReadsDefaultsAndNeverDeclares) {
    ParameterSet set;
    set.skipUndeclared = false;
    ASSERT_EQ(set.declare("size", 0, 0, "", "12"), NoError);
    EXPECT_EQ(set.valueOf("size"), "12");
    EXPECT_EQ(set.valueOf("Size"), "");
    EXPECT_EQ(set.valueOf("missing"), "");
    EXPECT_EQ(set.parse("--missing=1"), InvalidParameter);
    EXPECT_EQ(set.parse("--Size=1"), InvalidParameter);
}

TEST(Registry, EachParseStartsFromTheDefaults) {
    ParameterSet set = ShapeParameters();
    ExpectAccepted(set, {"--shape=square[--side=3] -v", {{"shape/side", "3"}, {"verbose", "00080000"}}});
    // The square's set is dropped; the default circle is converted again.
    ExpectAccepted(set, {"", {{"verbose", ""}, {"shape", "circle"}, {"shape/radius", "1"}, {"shape/side", ""}}});

    ParameterSet tool = ToolParameters();
    ExpectAccepted(tool, {"-H a -T b", {}});
    ExpectRefused(tool, {"-H a", MissingRequired, "Missing required parameter --TMfname", 4});
    EXPECT_EQ(tool.valueOf("TMfname"), "");
}

TEST(Registry, TypesAreKeptInTheOrderAdded) {
    ParameterSet b;
    ASSERT_EQ(b.declare("bee", 0, 0, "B"), NoError);
    ParameterSet a;
    ASSERT_EQ(a.declare("ay", 0, 0, "A"), NoError);
    ParameterSet other;
    ASSERT_EQ(other.declare("other", 0, 0, "O"), NoError);

    ParameterSet set;
    EXPECT_EQ(set.addType("b", b), NoError);
    EXPECT_EQ(set.addType("a", a), NoError);
    EXPECT_EQ(set.addType("b", other), TypeExists);
    EXPECT_EQ(UsageText(set, 80),
              "\n\n"
              "\n        b[--bee=<bee> \b]\n"
              "       --bee=<bee>  B\n"
              "\n"
              "\n        a[--ay=<ay> \b]\n"
              "       --ay=<ay>  A\n"
              "\n"
              " * = required parameter\n");
}

TEST(Registry, CopiesAreDeepAndOutliveTheirSource) {
    for (const bool destroyCopyFirst : {false, true}) {
        SCOPED_TRACE(destroyCopyFirst ? "copy destroyed first" : "original destroyed first");
        auto original = std::make_unique<ParameterSet>(ShapeParameters());
        ASSERT_EQ(original->parse("--shape=square[--side=3 -f hatch[-a 45]]"), NoError);
        auto copy = std::make_unique<ParameterSet>(*original);

        ASSERT_NE(copy->nestedOf("shape"), nullptr);
        EXPECT_NE(copy->nestedOf("shape"), original->nestedOf("shape"));
        EXPECT_EQ(ValueAt(*copy, "shape/fill/angle"), "45");

        // A new parse of one leaves the other's values and nested sets alone.
        ASSERT_EQ(copy->parse("--shape=circle[-r 2]"), NoError);
        EXPECT_EQ(ValueAt(*original, "shape/side"), "3");

        if (destroyCopyFirst) copy.reset();
        original.reset();
        if (!destroyCopyFirst) {
            EXPECT_EQ(ValueAt(*copy, "shape/radius"), "2");
            // The copy's types are its own too.
            ExpectAccepted(*copy, {"--shape=square[-s 4 -f hatch]", {{"shape/side", "4"}, {"shape/fill/angle", "90"}}});
            ParameterSet assigned;
            assigned = *copy;
            copy.reset();
            EXPECT_EQ(ValueAt(assigned, "shape/fill/angle"), "90");
        }
    }
}

}  // namespace
}  // namespace params
