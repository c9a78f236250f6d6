#include <cstdio>
#include <string>
#include <vector>

#include "export/export_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int code = exporter::ExportMain(arguments, stdout, stderr);
    // A full disk or a closed pipe on standard output is a failure too.
    if (std::fflush(stdout) != 0 && code == exporter::kExportSuccess) return exporter::kExportWriteFailed;
    return code;
}
