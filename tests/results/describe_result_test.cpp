#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "results/describe_result.h"

namespace {

std::wstring Describe(std::uint32_t code) { return DescribeResult(ResultFromBits(code)); }

TEST(DescribeResult, KnownRowsAndMisses) {
    struct Case {
        std::uint32_t code;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0x80004005u, L"An undetermined error occurred"},
        {0x00000000u, L"The function completed successfully"},
        {0x00000001u, L"Call successful, but returned FALSE"},
        {0x8007000Eu, L"Ran out of memory"},
        {0x80070002u, L"The system cannot find the file specified."},
        {0x00000002u, L"The system cannot find the file specified."},
        {0x80070005u, L"Access is denied"},
        {0x00000005u, L"Access is denied."},
        {0x8876017Cu, L"Out of video memory"},
        {0x8876021Cu, L"Was still drawing"},
        {0x8876086Cu, L"Invalid call"},
        {0x88760B59u, L"Invalid data"},
        {0x0876086Fu, L"The call succeeded but there won't be any mipmaps generated"},
        {0xC8770BBCu, L"Direct3D has not been created"},
        {0x80040301u, L"DIERR_DRIVERFIRST+1"},
        {0x80040408u, L"MS_E_SOURCEALREADYDEFINED"},
        {0x80040207u,
         L"Attempted to read buffered device data from a device that is not buffered. & There is no common media "
         L"type between these pins."},
        // Between two rows, a severity bit cleared, and the extremes: no row.
        {0x8876086Eu, L"n/a"},
        {0x0876086Cu, L"n/a"},
        {0xFFFFFFFFu, L"n/a"},
        {0x00000007u, L"n/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(Describe(c.code), c.text) << std::hex << c.code;
}

TEST(DescribeResult, TableInvariants) {
    std::size_t count = 0;
    const ResultDescription* table = ResultDescriptionTable(&count);
    ASSERT_EQ(count, 656u);
    std::set<std::wstring> distinct;
    std::size_t shortest = SIZE_MAX, longest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].code, table[i].code);
        }
        const std::wstring text = table[i].text;
        distinct.insert(text);
        shortest = std::min(shortest, text.size());
        longest = std::max(longest, text.size());
        EXPECT_EQ(Describe(table[i].code), text);
        for (wchar_t ch : text) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << std::hex << table[i].code;
    }
    EXPECT_EQ(distinct.size(), 625u);
    EXPECT_EQ(shortest, 7u);
    EXPECT_EQ(longest, 566u);
}

TEST(DescribeResult, JoinedTextsOfTwoInterfaces) {
    for (std::uint32_t code : {0x80040200u, 0x80040201u, 0x80040202u, 0x80040203u, 0x80040204u, 0x80040205u,
                               0x80040207u, 0x80040209u, 0x8004020Bu, 0x80040401u, 0x80040402u})
        EXPECT_NE(Describe(code).find(L" & "), std::wstring::npos) << std::hex << code;
}

// The table is generated from the data file kept beside the sources; both must agree
// character for character, trailing blanks included.
TEST(DescribeResult, MatchesDataFile) {
    std::ifstream file(UMBRASCOPE_RESULT_DATA, std::ios::binary);
    ASSERT_TRUE(file) << UMBRASCOPE_RESULT_DATA;
    std::string line;
    std::size_t rows = 0;
    while (std::getline(file, line)) {
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos);
        const auto code = static_cast<std::uint32_t>(std::stoul(line.substr(0, tab), nullptr, 16));
        const std::string text = line.substr(tab + 1);
        EXPECT_EQ(Describe(code), std::wstring(text.begin(), text.end())) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 656u);
}

}  // namespace
