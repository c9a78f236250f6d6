#pragma once
#include <cstddef>
#include <cstdint>

#include "results/result_code.h"

// One row of the description table.
struct ResultDescription {
    std::uint32_t code;
    const wchar_t* text;
};

// The English description of a result code, matched on all 32 bits; "n/a" for a
// code without a row. The text is static; the caller neither copies nor frees it.
const wchar_t* DescribeResult(HRESULT result);

// The whole table, sorted by code as an unsigned number (for checks).
const ResultDescription* ResultDescriptionTable(std::size_t* count);
