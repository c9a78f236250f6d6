// Parse time of long command lines: plain words, quoted words, nested typed
// values, and one typed value whose brackets hold the whole line.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "params/parameter_set.h"

namespace {

// A set that fails to declare would time nothing worth timing.
void MustSucceed(params::ParamError code) {
    if (code != params::NoError) std::abort();
}

params::ParameterSet BenchParameters() {
    params::ParameterSet hatch;
    MustSucceed(hatch.declare("angle", 'a', 0, "Hatch angle", "90"));
    params::ParameterSet square;
    MustSucceed(square.declare("side", 's', 0, "Side length", "1"));
    MustSucceed(square.declare("fill", 'f', 0, "Fill", "solid", "solid|hatch"));
    MustSucceed(square.addType("solid", params::ParameterSet()));
    MustSucceed(square.addType("hatch", std::move(hatch)));

    params::ParameterSet set;
    set.skipUndeclared = false;
    MustSucceed(set.declare("HMfname", 'H', params::Required, "HeightMap  filename"));
    MustSucceed(set.declare("TMfname", 'T', params::Required, "TreeMap  filename"));
    MustSucceed(set.declare("Outfname", 'o', 0, "HorizonMap  filename"));
    MustSucceed(set.declare("OutRez", 'r', 0, "HorizonMap rezolution"));
    MustSucceed(set.declare("Height", 'h', 0, "Height koeficient"));
    MustSucceed(set.declare("shape", 0, 0, "Shape", "square", "square"));
    MustSucceed(set.addType("square", std::move(square)));
    return set;
}

// head, then piece repeated until the text is at least size bytes, then tail.
std::string CommandLine(const std::string& head, const std::string& piece, const std::string& tail, std::size_t size) {
    std::string text = head;
    while (text.size() + tail.size() < size) text += piece;
    return text + tail;
}

void ParseBench(benchmark::State& state, const std::string& head, const std::string& piece, const std::string& tail) {
    const std::string text = CommandLine(head, piece, tail, static_cast<std::size_t>(state.range(0)));
    params::ParameterSet set = BenchParameters();
    for (auto _ : state) {
        const params::ParamError code = set.parse(text);
        if (code != params::NoError) {
            state.SkipWithError(set.errorMessage(code).c_str());
            break;
        }
        benchmark::DoNotOptimize(set.valueOf("OutRez").data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void PlainWords(benchmark::State& state) { ParseBench(state, "-H a.png -T b.png ", "--OutRez=1024 -h 250 -ro ", ""); }

void QuotedWords(benchmark::State& state) {
    ParseBench(state, "-H a.png -T b.png ", "--Outfname=\"C:\\some dir\\horizon map.dds\" -H \"a b\" ", "");
}

void NestedValues(benchmark::State& state) {
    ParseBench(state, "-H a.png -T b.png ", "--shape=square[--side=2 -f hatch[-a 45]] ", "");
}

void OneBracketedValue(benchmark::State& state) {
    ParseBench(state, "-H a.png -T b.png --shape=square[-f hatch[", "-a 45 ", "]]");
}

constexpr std::int64_t kSmallest = 1 << 10;
constexpr std::int64_t kLargest = 1 << 20;

}  // namespace

BENCHMARK(PlainWords)->RangeMultiplier(4)->Range(kSmallest, kLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(QuotedWords)->RangeMultiplier(4)->Range(kSmallest, kLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(NestedValues)->RangeMultiplier(4)->Range(kSmallest, kLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(OneBracketedValue)->RangeMultiplier(4)->Range(kSmallest, kLargest)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
