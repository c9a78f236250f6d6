// The page's data as the browser reads it: the text of its JSON script element.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "viewer/viewer_page.h"

// Names that would end the element early, break the JSON or are not UTF-8 come
// back as the browser shows them, and the numbers as they were.
TEST(ViewerPageDataTest, NamesAndNumbersReadBackFromTheElement) {
    const std::string open = "<script type=\"application/json\" id=\"umbrascope-data\">";
    const std::pair<std::string, std::string> cases[] = {
        {"</script><script>alert(1)</script>", "</script><script>alert(1)</script>"},
        {"a \"quoted\" back\\slash & <!--", "a \"quoted\" back\\slash & <!--"},
        {"tab\tline\ncontrol\x01", "tab\tline\ncontrol\x01"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"bad \xff byte", "bad \xef\xbf\xbd byte"},
    };
    for (const auto& [name, shown] : cases) {
        viewer::PageData d{name, 1, 1, -1, 1, 0.1f, 0, 1e300, {1, 1, 1}, {NAN}, {}};
        d.directions = {{"forward", "red", 1, 0, {viewer::AngleCode(10)}}};
        std::string page;
        ASSERT_TRUE(viewer::MakeViewerPage(d, &page).ok()) << name;
        const std::size_t from = page.find(open) + open.size();
        const auto data = nlohmann::json::parse(page.substr(from, page.find("</script", from) - from), nullptr, false);
        ASSERT_FALSE(data.is_discarded()) << name;
        EXPECT_EQ(data["map"]["name"], shown);
        EXPECT_EQ(data["settings"]["Height"].get<double>(), double{0.1f}) << name;
        EXPECT_EQ(data["settings"]["TerraSize"].get<double>(), 1e300) << name;
        EXPECT_TRUE(data["directions"][0]["azimuth"].is_null()) << name;
        EXPECT_EQ(data["elevations"]["codes"], "AAA=") << name;
    }
}
