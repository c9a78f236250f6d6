#pragma once
// What a whole run cannot beat on this machine, measured beside it: timings,
// first-touched memory and the disk's own speed.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start);

// The whole number in the environment variable `name`, or `fallback` when it is unset.
int EnvNumber(const char* name, int fallback);

// The middle value (the upper one of an even count); 0 for none.
double Median(std::vector<double> values);

// The step times of umbrascope-sky's closing line on standard error: "... (read R s,
// horizons H s, the rest T s)". False when the line is not there.
bool StepTimes(const std::string& err, double* read, double* horizons, double* rest);

// A new process maps `bytes` and writes every page once, on every core, as a run
// first writes its memory; seconds from fork to its end, -1 when it failed.
double TouchInNewProcess(std::size_t bytes);

// Files of the sizes in `bytes` (each rounded down to 4 KiB) written in `dir` with
// O_DIRECT from memory and flushed, then removed; seconds, -1 on any failure.
double DiskFloor(const std::string& dir, const std::vector<std::size_t>& bytes);

// `bytes` of the file at `path` from `offset` read into one small buffer over and
// over, as a program streaming it would; seconds, -1 on any failure.
double ReadFloor(const std::string& path, std::uint64_t offset, std::uint64_t bytes);

// The PNG at `path` decoded by libpng alone, row by row into one row buffer, 16-bit
// samples in native byte order; seconds, -1 on any failure.
double DecodePngFloor(const std::string& path);

}  // namespace bench
