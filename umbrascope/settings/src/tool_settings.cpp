#include "settings/tool_settings.h"

#include "params/parameter_set.h"

ToolSettingsRecord ToolSettings;

ToolSettingsRecord::ToolSettingsRecord() { resetToDefaults(); }

ToolSettingsRecord::~ToolSettingsRecord() = default;

void ToolSettingsRecord::resetToDefaults() {
    Outfname.assign(kToolDefaults.Outfname,
                    kToolDefaults.Outfname + std::char_traits<char>::length(kToolDefaults.Outfname));
    HMfname.clear();
    TMfname.clear();
    OutRez = kToolDefaults.OutRez;
    Height = kToolDefaults.Height;
    TerraSize = kToolDefaults.TerraSize;
    HeightZero = kToolDefaults.HeightZero;
    Parameters = std::make_unique<params::ParameterSet>();
    Parameters->skipUndeclared = false;
    Parameters->listTypes = true;
    Parameters->setUsageHeader(kToolUsageHeader);
}
