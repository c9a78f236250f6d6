#pragma once
// The English description of every result code the graphics, multimedia and system
// interfaces define, for the failure report.
#include <cstddef>
#include <cstdint>

#include "results/result_code.h"

// One row of the description table.
struct ResultDescription {
    std::uint32_t code;
    const wchar_t* text;
};

// The English description of a result code, matched on all 32 bits. Any value can
// be passed; one without a row gives "n/a", so the result is never null. The text
// is static: the caller neither copies nor frees it.
[[nodiscard]] const wchar_t* DescribeResult(HRESULT result);

// The whole table, sorted by code as an unsigned number (for checks). `count` must
// not be null and receives the number of rows.
[[nodiscard]] const ResultDescription* ResultDescriptionTable(std::size_t* count);
