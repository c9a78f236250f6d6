#include "app/intake.h"

#include <cassert>
#include <cstdint>
#include <cstdio>

#include "app/command_line.h"
#include "app/number_text.h"
#include "params/parameter_set.h"
#include "platform/console.h"
#include "platform/wide_text.h"
#include "settings/tool_parameters.h"
#include "settings/tool_settings.h"

namespace app {

namespace {

// With these names and letters no declaration can fail; one that did would be a
// slip in the table.
void DeclareParameters(params::ParameterSet& set) {
    for (const ToolParameter& p : kToolParameters) {
        [[maybe_unused]] const params::ParamError declared =
            set.declare(p.name, p.letter, p.required ? std::uint32_t{params::Required} : 0u, p.description, "", "");
        assert(declared == params::NoError);
    }
}

void ReportParseError(const params::ParameterSet& set, params::ParamError code) {
    std::int32_t caret = 0;
    const std::string line = set.errorLine(caret);
    ConsolePrint("%s\n", line.c_str());
    ConsolePrint("%s^\n", std::string(caret > 0 ? static_cast<std::size_t>(caret) : 0, ' ').c_str());
    ConsolePrint("%s\n", set.errorMessage(code).c_str());
}

}  // namespace

bool TakeCommandLine(int argc, const char* const* argv) {
    assert(argc >= 1 && argv != nullptr);
    params::ParameterSet& set = *ToolSettings.Parameters;
    DeclareParameters(set);
    if (argc <= 1) {
        set.printUsage(stdout, 100, "");
        std::fflush(stdout);
        return false;
    }
    const params::ParamError code = set.parse(CommandLineText(argc, argv));
    if (code == params::NoError) return true;
    ReportParseError(set, code);
    return false;
}

void CopyParsedValues() {
    const params::ParameterSet& set = *ToolSettings.Parameters;
    const auto copyName = [&set](const char* name, std::wstring& field) {
        if (const std::string& v = set.valueOf(name); !v.empty()) field = platform::WidenBytes(v);
    };
    copyName("HMfname", ToolSettings.HMfname);
    copyName("TMfname", ToolSettings.TMfname);
    copyName("Outfname", ToolSettings.Outfname);
    if (const std::string& v = set.valueOf("OutRez"); !v.empty()) ToolSettings.OutRez = TextToInt(v);
    const auto copyNumber = [&set](const char* name, float& field) {
        if (const std::string& v = set.valueOf(name); !v.empty()) field = TextToFloat(v);
    };
    copyNumber("Height", ToolSettings.Height);
    copyNumber("TerraSize", ToolSettings.TerraSize);
    copyNumber("HeightZero", ToolSettings.HeightZero);
}

}  // namespace app
