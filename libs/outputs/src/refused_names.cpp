#include "outputs/refused_names.h"

#include "os/output_names.h"
#include "outputs/report_lines.h"

namespace outputs {

status::Status CheckOutputNames(std::FILE* err, const char* program, const std::vector<std::string>& outputs,
                                const std::vector<std::string>& inputs, InputWords inputWords) {
    os::OutputRefusal refused;
    const status::Status checked = os::CheckOutputNames(outputs, inputs, &refused);
    if (checked.ok()) return checked;
    const std::string why = !refused.input.empty()     ? inputWords(refused.input)
                            : !refused.earlier.empty() ? "it is the same file as the output " + refused.earlier
                                                       : "";
    ReportFailure(err, program, "cannot write " + refused.output, checked.code, why);
    return checked;
}

}  // namespace outputs
