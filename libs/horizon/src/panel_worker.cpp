#include "panel_worker.h"

#include <cstddef>

#include "horizon_value.h"

namespace horizon {
namespace {

// Whole cache lines per column, an odd number of them: the panel's columns then
// start in different cache sets instead of all in one. The read padding follows
// each column.
std::size_t ColumnStride(std::size_t height) {
    const std::size_t lines = (height + kReadPadding + 15) / 16;
    return (lines | 1) * 16;
}

}  // namespace

PanelWorker::PanelWorker(const MapJob& job)
    : job_(job),
      stride_(ColumnStride(job.height)),
      columns_(std::size_t{kPanelColumns} * stride_),
      red_(std::size_t{kPanelColumns} * stride_),
      green_(std::size_t{kPanelColumns} * stride_),
      reversed_(job.height + kReadPadding),
      scaled_(job.height),
      scaledReversed_(job.height),
      doubles_(job.height),
      doublesReversed_(job.height),
      best_(job.height),
      values_(job.height) {
    scratch_.reserve(job.height);
}

void PanelWorker::run(std::uint32_t first, std::uint32_t count) {
    const std::size_t w = job_.width, h = job_.height, s = stride_;
    const std::size_t lines = (std::size_t{count} * 16 + 63) / 64;
    for (std::size_t r = 0; r < h; ++r) {
        if (r + kPrefetchRows < h) {
            const char* ahead = reinterpret_cast<const char*>(job_.heights + ((r + kPrefetchRows) * w + first) * 4);
            for (std::size_t line = 0; line < lines; ++line) __builtin_prefetch(ahead + 64 * line, 0);
        }
        const float* texel = job_.heights + (r * w + first) * 4;
        for (std::uint32_t j = 0; j < count; ++j) columns_[j * s + r] = Elevation(job_.settings, texel[4 * j]);
    }

    for (std::uint32_t j = 0; j < count; ++j) {
        const float* z = &columns_[j * s];
        const ScaledColumn scaled = PrepareColumn(z, h, reversed_.data(), scaled_.data(), scaledReversed_.data(),
                                                  doubles_.data(), doublesReversed_.data());
        evaluated_ += GreatestSlopes(z, scaled_.data(), doubles_.data(), scaled, *job_.forward, best_.data(), scratch_);
        ValuesFromSlopes(best_.data(), job_.forward->y, z, job_.halfSize, &red_[j * s], h);

        evaluated_ += GreatestSlopes(reversed_.data(), scaledReversed_.data(), doublesReversed_.data(), scaled,
                                     *job_.backward, best_.data(), scratch_);
        ValuesFromSlopes(best_.data(), job_.backward->y, reversed_.data(), -job_.halfSize, values_.data(), h);
        float* green = &green_[j * s];
        for (std::size_t i = 0; i < h; ++i) green[h - 1 - i] = values_[i];
    }

    for (std::size_t r = 0; r < h; ++r) {
        if (r + kPrefetchRows < h) {
            const char* ahead = reinterpret_cast<const char*>(job_.out + ((r + kPrefetchRows) * w + first) * 4);
            for (std::size_t line = 0; line < lines; ++line) __builtin_prefetch(ahead + 64 * line, 1);
        }
        float* texel = job_.out + (r * w + first) * 4;
        for (std::uint32_t j = 0; j < count; ++j) {
            texel[4 * j] = red_[j * s + r];
            texel[4 * j + 1] = green_[j * s + r];
        }
    }
}

}  // namespace horizon
