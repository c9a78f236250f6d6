#include "outputs/report_lines.h"

#include "cli/failure_words.h"

namespace outputs {

void ReportFailure(std::FILE* err, const char* program, const std::string& what, status::Code code,
                   const std::string& why) {
    std::fprintf(err, "%s: %s: %s\n", program, what.c_str(), why.empty() ? cli::FailureWords(code) : why.c_str());
}

void ReportFailure(std::FILE* err, const char* program, const std::string& what, const status::Status& failure) {
    std::fprintf(err, "%s: %s: %s\n", program, what.c_str(), status::Describe(failure).c_str());
}

void ReportWrote(std::FILE* out, const std::string& path) { std::fprintf(out, "wrote %s\n", path.c_str()); }

}  // namespace outputs
