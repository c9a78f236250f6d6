#pragma once
// Where the hull proof settles or fails, for tuning only: counted when built with
// -DUMBRASCOPE_HORIZON_PROOF_STATS, printed to stderr at exit.
#ifdef UMBRASCOPE_HORIZON_PROOF_STATS
#include <atomic>
#include <cstdint>
#include <cstdio>

namespace horizon::stats {

enum Counter {
    ChainColumns,
    WideSweeps,
    DoubleSweeps,
    ExactTexels,
    Texels,  // hull texels with a rising tangent vertex, proof needed
    LoNearOrigin,
    LoWindow,
    LoWalk,
    LoWalkFail,
    HiNearEnd,
    HiWindow,
    HiWalk,
    HiWalkFail,
    LoSamples,
    HiSamples,
    Count
};

inline const char* const kNames[Count] = {"chain columns", "wide sweeps",      "double sweeps",   "exact texels",
                                          "proof texels",  "lo near origin",   "lo window",       "lo walk",
                                          "lo walk fail",  "hi near end",      "hi window",       "hi walk",
                                          "hi walk fail",  "lo extra samples", "hi extra samples"};

inline std::atomic<std::uint64_t> counts[Count];

inline void Add(Counter c, std::uint64_t v = 1) { counts[c].fetch_add(v, std::memory_order_relaxed); }

struct Printer {
    ~Printer() {
        for (int i = 0; i < Count; ++i)
            std::fprintf(stderr, "%-18s %llu\n", kNames[i], static_cast<unsigned long long>(counts[i].load()));
    }
};
inline Printer printer;

}  // namespace horizon::stats
#define HORIZON_STAT(...) ::horizon::stats::Add(__VA_ARGS__)
#else
#define HORIZON_STAT(...) ((void)0)
#endif
