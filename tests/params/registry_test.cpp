#include <gtest/gtest.h>

#include <string>

#include "tests/params/tool_parameters.h"

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
        {"a\tb", 0, NameHasReservedChar},
        {"a-b\"c", 0, NoError},
        {"", 0, NoError},
        {"taken", 'x', ParameterExists},
        {"taken", 't', ParameterExists},  // name before letter
        {"other", 't', AbbreviationExists},
        {"Taken", 'T', NoError},  // names and letters are case-sensitive
        {"none1", 0, NoError},
        {"none2", 0, NoError},
    };
    for (const Case& c : cases) {
        ParameterSet set;
        ASSERT_EQ(set.declare("taken", 't', 0, "first", "old"), NoError);
        EXPECT_EQ(set.declare(c.name, c.abbreviation, Required, "second", "new"), c.expected) << c.name;
        const bool stored = c.expected == NoError;
        EXPECT_EQ(set.decls().size(), stored ? 2u : 1u) << c.name;
        EXPECT_EQ(set.declOrder().size(), stored ? 2u : 1u) << c.name;
        EXPECT_EQ(set.abbreviations().size(), stored && c.abbreviation ? 2u : 1u) << c.name;
        EXPECT_EQ(set.valueOf("taken"), "old") << c.name;
        EXPECT_EQ(set.abbreviations().at('t'), "taken") << c.name;
    }
}

TEST(Registry, ValueOfReadsDefaultsAndNeverDeclares) {
    ParameterSet set;
    set.declare("size", 0, 0, "", "12");
    EXPECT_EQ(set.valueOf("size"), "12");
    EXPECT_EQ(set.valueOf("Size"), "");
    EXPECT_EQ(set.valueOf("missing"), "");
    EXPECT_EQ(set.decls().size(), 1u);
    EXPECT_EQ(set.declOrder(), std::vector<std::string>{"size"});
}

TEST(Registry, ResetValuesRestoresDefaultsAndDropsNestedSets) {
    ParameterSet set = shapeParameters();
    ASSERT_EQ(set.parse("--shape=square[--side=3] -v"), NoError);
    ASSERT_NE(set.decls().at("shape").nested, nullptr);
    set.resetValues();
    for (const auto& [name, decl] : set.decls()) {
        EXPECT_EQ(decl.value, decl.defaultValue) << name;
        EXPECT_FALSE(decl.given) << name;
        EXPECT_EQ(decl.nested, nullptr) << name;
    }
}

TEST(Registry, AddTypeKeepsTableAndOrderInStep) {
    ParameterSet set;
    EXPECT_EQ(set.addType("b", ParameterSet()), NoError);
    EXPECT_EQ(set.addType("a", ParameterSet()), NoError);
    EXPECT_EQ(set.addType("b", ParameterSet()), TypeExists);
    EXPECT_EQ(set.typeOrder(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(set.types().size(), 2u);
}

TEST(Registry, CopiesAreDeepAndOutliveTheirSource) {
    for (const bool destroyCopyFirst : {false, true}) {
        auto original = std::make_unique<ParameterSet>(shapeParameters());
        ASSERT_EQ(original->parse("--shape=square[--side=3 -f hatch[-a 45]]"), NoError);
        auto copy = std::make_unique<ParameterSet>(*original);

        const ParameterSet* copiedSquare = copy->decls().at("shape").nested.get();
        ASSERT_NE(copiedSquare, nullptr);
        EXPECT_NE(copiedSquare, original->decls().at("shape").nested.get());
        EXPECT_NE(copy->types().at("square").get(), original->types().at("square").get());
        EXPECT_EQ(copiedSquare->decls().at("fill").nested->valueOf("angle"), "45");

        // A new parse of one leaves the other's values and nested sets alone.
        ASSERT_EQ(copy->parse("--shape=circle[-r 2]"), NoError);
        EXPECT_EQ(original->decls().at("shape").nested->valueOf("side"), "3");

        if (destroyCopyFirst) copy.reset();
        original.reset();
        if (!destroyCopyFirst) {
            EXPECT_EQ(copy->decls().at("shape").nested->valueOf("radius"), "2");
            ParameterSet assigned;
            assigned = *copy;
            copy.reset();
            EXPECT_EQ(assigned.decls().at("shape").nested->valueOf("radius"), "2");
        }
    }
}

}  // namespace
}  // namespace params
