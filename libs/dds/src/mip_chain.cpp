#include "dds/mip_chain.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace dds {

namespace {

// Source indices covered by target index i along an axis of `size` texels.
struct Span {
    std::uint32_t first;
    std::uint32_t count;
};

Span Covered(std::uint32_t i, std::uint32_t size) {
    if (size == 1) return {0, 1};
    const std::uint32_t lowerSize = size / 2;
    const bool widened = (size % 2 == 1) && i == lowerSize - 1;
    return {2 * i, widened ? 3u : 2u};
}

// The general block: any of 1 to 3 rows and columns.
void AverageBlock(const float* upper, std::uint32_t width, Span rows, Span cols, float* out) {
    double sum[4] = {0, 0, 0, 0};
    for (std::uint32_t y = rows.first; y < rows.first + rows.count; ++y)
        for (std::uint32_t x = cols.first; x < cols.first + cols.count; ++x) {
            const float* texel = upper + (static_cast<std::size_t>(y) * width + x) * 4;
            for (int ch = 0; ch < 4; ++ch) sum[ch] += texel[ch];
        }
    const double n = static_cast<double>(rows.count) * cols.count;
    for (int ch = 0; ch < 4; ++ch) out[ch] = static_cast<float>(sum[ch] / n);
}

// The common block of 2 x 2, with the same sums in the same order as AverageBlock:
// the sum starts at +0 (so that -0 inputs give +0), and dividing by 4 is exact.
void AverageTwoByTwoRow(const float* top, const float* bottom, std::uint32_t count, float* out) {
    for (std::uint32_t c = 0; c < count; ++c, top += 8, bottom += 8, out += 4)
        for (int ch = 0; ch < 4; ++ch) {
            double sum = 0.0;
            sum += top[ch];
            sum += top[4 + ch];
            sum += bottom[ch];
            sum += bottom[4 + ch];
            out[ch] = static_cast<float>(sum * 0.25);
        }
}

// Rows of a lower level below which splitting the work costs more than it gains.
constexpr std::uint32_t kRowsPerThreadAtLeast = 64;

}  // namespace

void DownsampleRows(const float* upper, std::uint32_t width, std::uint32_t height, float* lower, std::uint32_t firstRow,
                    std::uint32_t endRow) {
    const std::uint32_t lowerWidth = std::max(1u, width / 2);
    // Columns covered two at a time; the last one may be widened or single.
    const std::uint32_t plainColumns = width >= 2 ? lowerWidth - (width % 2) : 0;
    for (std::uint32_t r = firstRow; r < endRow; ++r) {
        const Span rows = Covered(r, height);
        float* out = lower + static_cast<std::size_t>(r) * lowerWidth * 4;
        std::uint32_t c = 0;
        if (rows.count == 2) {
            const float* top = upper + static_cast<std::size_t>(rows.first) * width * 4;
            AverageTwoByTwoRow(top, top + static_cast<std::size_t>(width) * 4, plainColumns, out);
            c = plainColumns;
        }
        for (; c < lowerWidth; ++c) AverageBlock(upper, width, rows, Covered(c, width), out + c * 4);
    }
}

void DownsampleLevel(const float* upper, std::uint32_t width, std::uint32_t height, float* lower) {
    DownsampleRows(upper, width, height, lower, 0, std::max(1u, height / 2));
}

void DownsampleInParallel(const float* upper, std::uint32_t width, std::uint32_t height, float* lower) {
    const std::uint32_t rows = std::max(1u, height / 2);
    const std::uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::uint32_t threads = std::min(cores, std::max(1u, rows / kRowsPerThreadAtLeast));
    std::vector<std::jthread> helpers;
    std::uint32_t begin = 0;
    for (std::uint32_t t = 1; t < threads; ++t) {
        const std::uint32_t end = static_cast<std::uint32_t>(std::uint64_t{rows} * t / threads);
        try {
            helpers.emplace_back(DownsampleRows, upper, width, height, lower, begin, end);
        } catch (const std::exception&) {
            break;  // no thread to be had: this one does the rest
        }
        begin = end;
    }
    DownsampleRows(upper, width, height, lower, begin, rows);
}

}  // namespace dds
