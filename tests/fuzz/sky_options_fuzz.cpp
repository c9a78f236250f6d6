// umbrascope-sky's command line: the input's bytes, split at NUL, as the words.
// Whatever they are, the parser answers, and a line it runs is a consistent one.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "sky/sky_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back().push_back(static_cast<char>(data[i]));
    }
    const sky::ParsedCommandLine parsed = sky::ParseSkyCommandLine(words);
    if (parsed.action == sky::CommandLineAction::Error) {
        FUZZ_CHECK(!parsed.error.empty());
        return 0;
    }
    if (parsed.action != sky::CommandLineAction::Run) return 0;
    const sky::SkyOptions& o = parsed.options;
    FUZZ_CHECK(!o.dem.empty());
    FUZZ_CHECK(o.directionCount >= 1 && o.directionCount <= 360);
    FUZZ_CHECK(o.reading.scale != 0);
    FUZZ_CHECK(!o.cellX || (*o.cellX > 0 && *o.cellY > 0));
    FUZZ_CHECK(!o.wantedAzimuths().empty());
    FUZZ_CHECK(o.shadeFile.empty() || o.sunGiven);
    FUZZ_CHECK(o.engineFile.empty() || o.wantedAzimuths().size() % 4 == 0);
    const std::vector<std::string> outputs = o.outputs();
    FUZZ_CHECK(!outputs.empty());
    // No name twice; an output that is the DEM is the run's to refuse, by any spelling.
    FUZZ_CHECK(std::set<std::string>(outputs.begin(), outputs.end()).size() == outputs.size());
    return 0;
}
