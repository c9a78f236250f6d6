#include "cli/program_main.h"
#include "export/export_options.h"
#include "export/export_run.h"
#include "export/export_usage.h"
#include "export_report.h"

namespace exporter {

int ExportMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    const cli::ProgramTexts texts{kProgram, ExportHelp, ExportVersion, ExportUsage};
    const cli::ProgramCodes codes{kExportSuccess, kExportBadCommand, kExportWriteFailed, kExportOutOfMemory};
    const ParsedCommandLine parsed = ParseExportCommandLine(arguments);
    return cli::ActOnCommandLine(
        texts, codes, parsed.action, parsed.error, [&] { return RunExport(parsed.options, out, err); }, out, err);
}

}  // namespace exporter
