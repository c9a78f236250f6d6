#include "results/describe_result.h"

#include <algorithm>
#include <cassert>
#include <iterator>

namespace {

constexpr ResultDescription kTable[] = {
#include "result_table.inc"
};

constexpr bool SortedAndUnique() {
    for (std::size_t i = 1; i < std::size(kTable); ++i)
        if (kTable[i - 1].code >= kTable[i].code) return false;
    return true;
}
static_assert(SortedAndUnique(), "the description table must be sorted by code");

}  // namespace

const wchar_t* DescribeResult(HRESULT result) {
    const auto code = static_cast<std::uint32_t>(result);
    const auto* end = std::end(kTable);
    const auto* row = std::lower_bound(std::begin(kTable), end, code,
                                       [](const ResultDescription& r, std::uint32_t c) { return r.code < c; });
    return (row != end && row->code == code) ? row->text : L"n/a";
}

const ResultDescription* ResultDescriptionTable(std::size_t* count) {
    assert(count != nullptr);
    *count = std::size(kTable);
    return kTable;
}
