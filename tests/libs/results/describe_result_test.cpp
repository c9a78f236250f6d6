#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "results/describe_result.h"

namespace {

std::wstring Describe(std::uint32_t code) { return DescribeResult(ResultFromBits(code)); }

// Rows the tool names, and rows of the table it does not name, by their codes.
TEST(DescribeResult, KnownRowsAndMisses) {
    struct Case {
        HRESULT code;
        const wchar_t* text;
    };
    const Case cases[] = {
        {E_FAIL, L"An undetermined error occurred"},
        {S_OK, L"The function completed successfully"},
        {S_FALSE, L"Call successful, but returned FALSE"},
        {E_OUTOFMEMORY, L"Ran out of memory"},
        {E_FILE_NOT_FOUND, L"The system cannot find the file specified."},
        {ResultFromBits(0x00000002u), L"The system cannot find the file specified."},
        {E_ACCESSDENIED, L"Access is denied"},
        {ResultFromBits(0x00000005u), L"Access is denied."},
        {D3DERR_OUTOFVIDEOMEMORY, L"Out of video memory"},
        {D3DERR_WASSTILLDRAWING, L"Was still drawing"},
        {D3DERR_INVALIDCALL, L"Invalid call"},
        {D3DXERR_INVALIDDATA, L"Invalid data"},
        {ResultFromBits(0x0876086Fu), L"The call succeeded but there won't be any mipmaps generated"},
        {ResultFromBits(0xC8770BBCu), L"Direct3D has not been created"},
        {ResultFromBits(0x80040301u), L"DIERR_DRIVERFIRST+1"},
        {ResultFromBits(0x80040408u), L"MS_E_SOURCEALREADYDEFINED"},
        {ResultFromBits(0x80040207u),
         L"Attempted to read buffered device data from a device that is not buffered. & There is no common media "
         L"type between these pins."},
        // Between two rows, a severity bit cleared, and the extremes: no row.
        {D3DERR_INVALIDCALL + 2, L"n/a"},
        {ResultFromBits(0x0876086Cu), L"n/a"},
        {ResultFromBits(0xFFFFFFFFu), L"n/a"},
        {ResultFromBits(0x00000007u), L"n/a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(DescribeResult(c.code)), c.text) << std::hex << static_cast<std::uint32_t>(c.code);
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
