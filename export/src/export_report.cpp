#include "export_report.h"

#include "export/export_run.h"
#include "outputs/report_lines.h"

namespace exporter {

void Report(std::FILE* err, const std::string& what, status::Code code, const std::string& why) {
    outputs::ReportFailure(err, kProgram, what, code, why);
}

void Report(std::FILE* err, const std::string& what, const status::Status& failure) {
    outputs::ReportFailure(err, kProgram, what, failure);
}

int FailureCode(const status::Status& failure) {
    return failure.code == status::Code::OutOfMemory ? kExportOutOfMemory : kExportWriteFailed;
}

int ReportOutOfMemory(std::FILE* err) {
    std::fputs("umbrascope-export: stopped: Ran out of memory\n", err);
    return kExportOutOfMemory;
}

}  // namespace exporter
