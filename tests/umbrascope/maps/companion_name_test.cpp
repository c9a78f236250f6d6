#include <gtest/gtest.h>

#include "maps/texture_set.h"

namespace {

TEST(CompanionFileName, WinterGoesBeforeTheExtension) {
    const struct {
        const wchar_t* name;
        const wchar_t* companion;
    } cases[] = {
        {L"horizon_map.dds", L"horizon_map.winter.dds"},
        {L"maps\\out.dds", L"maps\\out.winter.dds"},
        {L"maps/out.dds", L"maps/out.winter.dds"},
        {L"out", L"out.winter"},
        {L"a.b.dds", L"a.b.winter.dds"},
        {L"maps.v2\\out", L"maps.winter.v2\\out"},  // a backslash is no separator
        {L"x.d\\s", L"x.winter.d\\s"},
        {L"maps.v2/out", L"maps.v2/out.winter"},
        {L"/abs/dir.d/x.y", L"/abs/dir.d/x.winter.y"},
        {L".dds", L".winter.dds"},
        {L"out.", L"out.winter."},
        {L"dir/", L"dir/.winter"},
    };
    for (const auto& c : cases) {
        std::wstring companion;
        EXPECT_TRUE(maps::CompanionFileName(c.name, &companion));
        EXPECT_EQ(companion, c.companion);
    }
}

TEST(CompanionFileName, RefusesWhatDoesNotFitThePathBuffers) {
    std::wstring companion = L"unchanged";
    const std::wstring ext248 = L"." + std::wstring(247, L'e');
    EXPECT_TRUE(maps::CompanionFileName(L"a" + ext248, &companion));  // ".winter" + 248 = 255
    EXPECT_FALSE(maps::CompanionFileName(L"a" + ext248 + L"e", &companion));
    EXPECT_FALSE(maps::CompanionFileName(std::wstring(256, L'n') + L".dds", &companion));
    EXPECT_FALSE(maps::CompanionFileName(std::wstring(256, L'd') + L"/a.dds", &companion));
    // Parts that fit, a whole that does not: 200 + 1 + 52 + 7 + 4 = 264.
    EXPECT_FALSE(
        maps::CompanionFileName(std::wstring(200, L'd') + L"/" + std::wstring(52, L'n') + L".dds", &companion));
    EXPECT_TRUE(maps::CompanionFileName(std::wstring(200, L'd') + L"/" + std::wstring(47, L'n') + L".dds", &companion));
    EXPECT_EQ(companion.size(), 259u);
}

}  // namespace
