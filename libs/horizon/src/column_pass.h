#pragma once
// One pass over one column, forward direction: for every origin r the greatest
// float slope fl(fl(z[k] - z[r]) / fl(y[k] - y[r])) over the samples k > r. The
// backward pass runs the same code on the reversed column with negated positions.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace horizon {

// Columns and positions keep this many readable floats past their ends, so that
// vector loads near the end stay inside the allocation.
constexpr std::size_t kReadPadding = 16;

// The sample positions of a pass, shared by every column.
struct PassGeometry {
    const float* y = nullptr;  // n positions
    std::size_t n = 0;
    bool regular = false;                // all finite and strictly increasing
    const std::int64_t* yInt = nullptr;  // exact y / 2^yExp when regular and small enough, else null
    bool exactDifferences = false;       // every y[k] - y[j] is a float, no rounding
    const double* yDouble = nullptr;     // yInt as doubles when all are below 2^52 in magnitude
};

// Working memory of one thread, reused from column to column.
struct ColumnScratch {
    std::vector<std::uint32_t> next;         // chain: first later sample rising above
    std::vector<float> suffixMax;            // greatest elevation from k on
    std::vector<std::uint32_t> hull;         // upper hull stack: sample indices
    std::vector<std::int64_t> hullY, hullZ;  // and their scaled coordinates
    void reserve(std::size_t n);
};

// A column as exact integers zInt = z / 2^e, shared by its two passes; usable when
// every value is finite, below 2^126 (no difference overflows) and the exponent
// range fits the hull's integer budget.
struct ScaledColumn {
    bool usable = false;
    bool exactDifferences = false;  // every z[k] - z[j] is a float
    bool doubles = false;           // every zInt is below 2^52 in magnitude, held as doubles too
};

// Fills zReversed always; when usable, zInt and its reverse, and when doubles as
// well, zDouble = zInt and its reverse. Every array holds n elements.
ScaledColumn PrepareColumn(const float* z, std::size_t n, float* zReversed, std::int64_t* zInt,
                           std::int64_t* zIntReversed, double* zDouble, double* zDoubleReversed);

// best[r] = the greatest float slope over k > r if it is > 0, else 0. zInt and
// zDouble are the scaled column as PrepareColumn fills them. Returns the number of
// float slopes computed.
std::uint64_t GreatestSlopes(const float* z, const std::int64_t* zInt, const double* zDouble,
                             const ScaledColumn& scaled, const PassGeometry& geometry, float* best,
                             ColumnScratch& scratch);

// The exact route that needs no assumption on the values: only the chain of
// record highs outward from each origin can win.
std::uint64_t GreatestSlopesByChain(const float* z, const PassGeometry& geometry, float* best, ColumnScratch& scratch);

// The upper hull route; needs regular scaled positions and zInt = z / 2^e exact
// for every sample (finite values of a moderate exponent range); zDouble is zInt
// as doubles when below 2^52, else null. exactDifferences: every z[k] - z[j] is a
// float as well.
std::uint64_t GreatestSlopesByHull(const float* z, const std::int64_t* zInt, const double* zDouble,
                                   bool exactDifferences, const PassGeometry& geometry, float* best,
                                   ColumnScratch& scratch);

}  // namespace horizon
