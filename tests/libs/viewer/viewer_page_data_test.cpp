// The page's data as the browser reads it: the text of its JSON script element.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "viewer/viewer_page.h"

namespace {

constexpr std::string_view kOpen = "<script type=\"application/json\" id=\"umbrascope-data\">";

// The element's text up to the first "</script" after it, where the browser ends it.
std::string DataElement(const std::string& page) {
    const std::size_t from = page.find(kOpen) + kOpen.size();
    return page.substr(from, page.find("</script", from) - from);
}

viewer::PageData OnePoint(const std::string& name) {
    viewer::PageData d;
    d.mapName = name;
    d.mapWidth = d.mapHeight = 1;
    d.height = 0.1f;
    d.terraSize = 1e300;
    d.grid = {1, 1, 1};
    d.elevations = {NAN};
    d.directions = {{"forward", "red", 1, 0, {viewer::AngleCode(10)}}};
    return d;
}

// Names that would end the element early, break the JSON or are not UTF-8 come
// back as the browser would show them, and the element holds all of the data.
TEST(ViewerPageDataTest, NamesAndNumbersReadBackFromTheElement) {
    const struct {
        std::string name, shown;
    } cases[] = {
        {"plain", "plain"},
        {"</script><script>alert(1)</script>", "</script><script>alert(1)</script>"},
        {"a \"quoted\" back\\slash & <!-- comment", "a \"quoted\" back\\slash & <!-- comment"},
        {"tab\tline\ncontrol\x01", "tab\tline\ncontrol\x01"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"bad \xff byte", "bad \xef\xbf\xbd byte"},
    };
    for (const auto& c : cases) {
        std::string page;
        ASSERT_TRUE(viewer::MakeViewerPage(OnePoint(c.name), &page).ok()) << c.name;
        const auto data = nlohmann::json::parse(DataElement(page), nullptr, false);
        ASSERT_FALSE(data.is_discarded()) << c.name;
        EXPECT_EQ(data["map"]["name"], c.shown);
        EXPECT_EQ(data["settings"]["Height"].get<double>(), double{0.1f}) << c.name;
        EXPECT_EQ(data["settings"]["TerraSize"].get<double>(), 1e300) << c.name;
        EXPECT_TRUE(data["directions"][0]["azimuth"].is_null()) << c.name;
        EXPECT_EQ(data["elevations"]["codes"], "AAA=") << c.name;
    }
}

}  // namespace
