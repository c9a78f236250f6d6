#include "export_report.h"

#include "cli/failure_words.h"
#include "export/export_run.h"

namespace exporter {

void Report(std::FILE* err, const std::string& what, status::Code code, const std::string& why) {
    std::fprintf(err, "%s: %s: %s\n", kProgram, what.c_str(), why.empty() ? cli::FailureWords(code) : why.c_str());
}

void Report(std::FILE* err, const std::string& what, const status::Status& failure) {
    std::fprintf(err, "%s: %s: %s\n", kProgram, what.c_str(), status::Describe(failure).c_str());
}

int FailureCode(const status::Status& failure) {
    return failure.code == status::Code::OutOfMemory ? kExportOutOfMemory : kExportWriteFailed;
}

int ReportOutOfMemory(std::FILE* err) {
    std::fputs("umbrascope-export: stopped: Ran out of memory\n", err);
    return kExportOutOfMemory;
}

}  // namespace exporter
