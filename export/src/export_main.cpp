#include <new>
#include <string>
#include <vector>

#include "export/export_options.h"
#include "export/export_run.h"
#include "export/export_usage.h"
#include "export_report.h"

namespace exporter {

namespace {

// The text is what was asked for: not writing it is a failure.
int PrintText(const std::string& text, std::FILE* out, std::FILE* err) {
    if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) return kExportSuccess;
    std::fprintf(err, "%s: cannot write to standard output\n", kProgram);
    return kExportWriteFailed;
}

int Main(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const ParsedCommandLine parsed =
        ParseExportCommandLine(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argc > 0 ? argv + argc : argv));
    switch (parsed.action) {
        case CommandLineAction::Help: return PrintText(ExportHelp(), out, err);
        case CommandLineAction::Version: return PrintText(ExportVersion(), out, err);
        case CommandLineAction::Usage: std::fputs(ExportUsage().c_str(), err); return kExportBadCommand;
        case CommandLineAction::Error:
            std::fprintf(err, "%s: %s\n", kProgram, parsed.error.c_str());
            std::fputs(ExportUsage().c_str(), err);
            return kExportBadCommand;
        case CommandLineAction::Run: break;
    }
    return RunExport(parsed.options, out, err);
}

}  // namespace

int ExportMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    try {
        return Main(argc, argv, out, err);
    } catch (const std::bad_alloc&) {
        return ReportOutOfMemory(err);
    }
}

}  // namespace exporter
