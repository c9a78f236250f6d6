#pragma once
// The run's settings: one record for the whole process, defaults in place before
// main runs, overwritten from the command line, validated once, read by the steps.
#include <cstdint>
#include <memory>
#include <string>

#include "settings/tool_parameters.h"

namespace params {
class ParameterSet;
}

struct ToolSettingsRecord {
    ToolSettingsRecord();
    ~ToolSettingsRecord();
    ToolSettingsRecord(const ToolSettingsRecord&) = delete;
    ToolSettingsRecord& operator=(const ToolSettingsRecord&) = delete;

    // Restores the defaults of a fresh record (the parameter set is recreated, so
    // references into the old one end). Exhausted memory escapes as std::bad_alloc.
    void resetToDefaults();

    // The fields carry the tool's parameter names.
    // NOLINTBEGIN(readability-identifier-naming)
    std::wstring Outfname;  // each byte of the name as the wide character of its value
    std::wstring HMfname;
    std::wstring TMfname;
    std::int32_t OutRez = 0;
    float Height = 0.0f;
    float TerraSize = 0.0f;
    float HeightZero = 0.0f;
    std::unique_ptr<params::ParameterSet> Parameters;  // the tool's declarations and parse state
    // NOLINTEND(readability-identifier-naming)
};

extern ToolSettingsRecord ToolSettings;  // NOLINT(readability-identifier-naming): the record's own name
