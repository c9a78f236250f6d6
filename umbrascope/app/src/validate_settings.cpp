#include <unistd.h>

#include <cmath>

#include "app/intake.h"
#include "app/number_text.h"
#include "params/parameter_set.h"
#include "platform/console.h"
#include "platform/wide_text.h"
#include "settings/tool_settings.h"

namespace app {

namespace {

bool FileExists(const std::wstring& name) { return access(platform::NarrowToBytes(name).c_str(), F_OK) == 0; }

// The copy reads a number up to the first other character, so "4e3" became 4 and
// "33km" 33: a value with more after its number is refused instead.
bool NumbersAreWhole(const params::ParameterSet& set) {
    const struct {
        const char* name;
        bool whole;
    } numbers[] = {{"OutRez", true}, {"Height", false}, {"TerraSize", false}, {"HeightZero", false}};
    for (const auto& n : numbers) {
        const std::string& text = set.valueOf(n.name);
        if (n.whole ? HasTextAfterInt(text) : HasTextAfterFloat(text)) {
            ConsolePrint("ERROR: %s value '%s' is not %s\n", n.name, text.c_str(),
                         n.whole ? "a whole number" : "a number");
            return false;
        }
    }
    return true;
}

}  // namespace

bool ValidateSettings() {
    const ToolSettingsRecord& s = ToolSettings;
    if (s.Parameters && !NumbersAreWhole(*s.Parameters)) return false;
    if (!(s.TerraSize > 0)) {
        ConsolePrint("ERROR:bad Terrain Size: must be > 0\n");
        return false;
    }
    if (std::isinf(s.TerraSize)) {
        ConsolePrint("ERROR:bad Terrain Size: must be a finite number\n");
        return false;
    }
    if (!(s.OutRez > 0)) {
        ConsolePrint("ERROR:bad Out File Resolution: must be > 0\n");
        return false;
    }
    // "deviding": the console's own text, kept as scripts read it.
    if (s.OutRez % 2 != 0) ConsolePrint("WARNING: Out File Resolution is not deviding by 2");
    const float root = static_cast<float>(std::sqrt(static_cast<double>(s.OutRez)));
    float whole = 0.0f;
    if (std::modf(root, &whole) != 0.0f) ConsolePrint("WARNING: Out File Resolution is not ^2\n");
    // A zero height scale makes the tree raise infinite; NaN or infinity only
    // produce garbage.
    if (!std::isfinite(s.Height) || s.Height == 0.0f) {
        // "koeficient": the parameter's help text says it so; kept.
        ConsolePrint("ERROR:bad Height koeficient: must be a finite number other than 0\n");
        return false;
    }
    if (!std::isfinite(s.HeightZero)) {
        ConsolePrint("ERROR:bad Height Zero Point: must be a finite number\n");
        return false;
    }
    const struct {
        const char* name;
        const std::wstring& value;
    } names[] = {{"HMfname", s.HMfname}, {"TMfname", s.TMfname}, {"Outfname", s.Outfname}};
    for (const auto& n : names)
        if (n.value.size() > kMaxPathChars) {
            ConsolePrint("ERROR:%s is longer than %zu characters\n", n.name, kMaxPathChars);
            return false;
        }
    for (const std::wstring* name : {&s.HMfname, &s.TMfname})
        if (!FileExists(*name)) {
            ConsolePrint("ERROR:File %s not found\n", platform::NarrowToBytes(*name).c_str());
            return false;
        }
    return true;
}

}  // namespace app
