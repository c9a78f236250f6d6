#include "settings/tool_settings.h"

#include "params/parameter_set.h"

ToolSettingsRecord ToolSettings;

ToolSettingsRecord::ToolSettingsRecord() { resetToDefaults(); }

ToolSettingsRecord::~ToolSettingsRecord() = default;

void ToolSettingsRecord::resetToDefaults() {
    Outfname = L"horizon_map.dds";
    HMfname.clear();
    TMfname.clear();
    OutRez = 1024;
    Height = 100.0f;
    TerraSize = 5000.0f;
    HeightZero = 0.0f;
    Parameters = std::make_unique<params::ParameterSet>();
    Parameters->skipUndeclared = false;
    Parameters->listTypes = true;
    Parameters->setUsageHeader("\nUsage: umbrascope.exe ");
}
