#include <cstdio>

#include "export/export_run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    // Before any file is opened: a closed standard output must not lend its number
    // to an output file.
    ProtectStandardStreams();
    return exporter::ExportMain(argc, argv, stdout, stderr);
}
