#include <string>
#include <vector>

#include "platform/console.h"
#include "sky/sky_run.h"

int main(int argc, char** argv) {
    // Before any file is opened: a closed standard output must not lend its number
    // to an output file, nor a reader that has gone end the run. The files are the
    // product; the names on standard output are a report.
    ProtectStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return sky::SkyMain(arguments, stdout, stderr);
}
