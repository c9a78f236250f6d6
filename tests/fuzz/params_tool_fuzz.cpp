// The parameter library with seven declarations like the tool's own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../libs/params/parameter_sets.h"
#include "params_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const params::ParameterSet tool = ToolParameters(kNeverParsed);
    static const SetShape shape{{"HMfname", "TMfname"}, {}};
    ParseAndReport(tool, shape, std::string(reinterpret_cast<const char*>(data), size), 100);
    return 0;
}
