// The parameter library with the tool's own seven declarations.
#include <cstddef>
#include <cstdint>
#include <string>

#include "params_check.h"
#include "tests/params/tool_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const params::ParameterSet tool = toolParameters();
    ParseAndReport(tool, std::string(reinterpret_cast<const char*>(data), size), 100);
    return 0;
}
