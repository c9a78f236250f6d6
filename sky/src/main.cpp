#include <cstdio>
#include <string>
#include <vector>

#include "sky/sky_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int code = sky::SkyMain(arguments, stdout, stderr);
    // A full disk or a closed pipe on standard output is a failure too.
    if (std::fflush(stdout) != 0 && code == sky::kSkySuccess) return sky::kSkyWriteFailed;
    return code;
}
