#include <cstdio>
#include <string>
#include <vector>

#include "export/export_run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    // Before any file is opened: a closed standard output must not lend its number
    // to an output file.
    ProtectStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return exporter::ExportMain(arguments, stdout, stderr);
}
