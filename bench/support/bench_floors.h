#pragma once
// What a whole run cannot beat on this machine, measured beside it: timings,
// first-touched memory and the disk's own speed.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start);

// The middle value (the upper one of an even count); 0 for none.
double Median(std::vector<double> values);

// A new process maps `bytes` and writes every page once, on every core, as a run
// first writes its memory; seconds from fork to its end, -1 when it failed.
double TouchInNewProcess(std::size_t bytes);

// Files of the sizes in `bytes` (each rounded down to 4 KiB) written in `dir` with
// O_DIRECT from memory and flushed, then removed; seconds, -1 on any failure.
double DiskFloor(const std::string& dir, const std::vector<std::size_t>& bytes);

}  // namespace bench
