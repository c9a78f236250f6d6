#include "resample.h"

#include <utility>

#include <algorithm>

#include "os/memory_budget.h"

namespace image {

namespace {

using Wide = unsigned __int128;  // positions are products of two 32-bit sizes

// Target texel j covers source [j * n / m, (j + 1) * n / m); weights are the covered
// lengths over n / m, with exact integer numerators over n.
AxisTap AreaTap(std::uint64_t j, std::uint64_t n, std::uint64_t m) {
    const Wide lo = Wide{j} * n;      // start, in units of 1/m texel
    const Wide hi = Wide{j + 1} * n;  // end
    const Wide first = lo / m;
    const Wide last = (hi + m - 1) / m - 1;
    AxisTap tap;
    tap.first = static_cast<std::uint32_t>(first);
    tap.count = static_cast<std::uint32_t>(last - first + 1);
    const auto total = static_cast<double>(n);
    tap.firstWeight = static_cast<double>((first + 1) * m - lo) / total;
    tap.middleWeight = static_cast<double>(m) / total;
    tap.lastWeight = static_cast<double>(hi - last * m) / total;
    if (tap.count == 1) tap.firstWeight = 1.0;
    return tap;
}

// Target texel j's centre maps to source x = (j + 0.5) * n / m - 0.5, read between
// the two nearest source centres, held at the edges.
AxisTap TentTap(std::uint64_t j, std::uint64_t n, std::uint64_t m) {
    const Wide twiceJPlusOne = Wide{2} * j + 1;
    const Wide numerator = twiceJPlusOne * n;  // x + 0.5 in units of 1 / (2m)
    const Wide denominator = Wide{2} * m;
    AxisTap tap;
    if (numerator <= m) return tap;  // x <= 0
    const Wide x = numerator - m;
    const Wide whole = x / denominator;
    const Wide part = x % denominator;
    if (whole >= n - 1) {
        tap.first = static_cast<std::uint32_t>(n - 1);
        return tap;
    }
    tap.first = static_cast<std::uint32_t>(whole);
    if (part == 0) return tap;
    tap.count = 2;
    tap.firstWeight = static_cast<double>(denominator - part) / static_cast<double>(denominator);
    tap.lastWeight = static_cast<double>(part) / static_cast<double>(denominator);
    return tap;
}

double TapWeight(const AxisTap& tap, std::uint32_t k) {
    if (k == 0) return tap.firstWeight;
    return k + 1 == tap.count ? tap.lastWeight : tap.middleWeight;
}

template <unsigned C>
void FilterAcross(const AxisTap* taps, std::uint32_t width, const float* in, double* out) {
    for (std::uint32_t j = 0; j < width; ++j, out += C) {
        const AxisTap& tap = taps[j];
        const float* p = in + std::size_t{tap.first} * C;
        double sum[C];
        for (unsigned c = 0; c < C; ++c) sum[c] = tap.firstWeight * p[c];
        if (tap.count > 1) {
            if (tap.count > 2) {
                double middle[C] = {};
                for (std::uint32_t k = 1; k + 1 < tap.count; ++k) {
                    for (unsigned c = 0; c < C; ++c) middle[c] += p[std::size_t{k} * C + c];
                }
                for (unsigned c = 0; c < C; ++c) sum[c] += tap.middleWeight * middle[c];
            }
            const float* last = p + std::size_t{tap.count - 1} * C;
            for (unsigned c = 0; c < C; ++c) sum[c] += tap.lastWeight * last[c];
        }
        for (unsigned c = 0; c < C; ++c) out[c] = sum[c];
    }
}

}  // namespace

std::vector<AxisTap> MakeAxisTaps(std::uint32_t sourceSize, std::uint32_t targetSize) {
    std::vector<AxisTap> taps(targetSize);
    for (std::uint32_t j = 0; j < targetSize; ++j) {
        if (sourceSize == targetSize) {
            taps[j].first = j;
        } else if (targetSize < sourceSize) {
            taps[j] = AreaTap(j, sourceSize, targetSize);
        } else {
            taps[j] = TentTap(j, sourceSize, targetSize);
        }
    }
    return taps;
}

std::uint64_t ResamplerBytes(const ImageInfo& info, std::uint32_t width, std::uint32_t height, bool* overflowed) {
    const std::uint64_t channels = info.channels();
    std::uint64_t sourceRow = 0, targetRows = 0, taps = 0, table = 0;
    *overflowed = !os::CheckedMul(info.width, channels, sizeof(float), &sourceRow) ||
                  !os::CheckedMul(width, channels, 3 * sizeof(double), &targetRows) ||
                  !os::CheckedMul(std::uint64_t{width} + height, sizeof(AxisTap), &taps);
    table = 65536 * sizeof(float);
    return sourceRow + targetRows + taps + table;
}

Resampler::Resampler(const ImageInfo& info, std::uint32_t width, std::uint32_t height, TexelRows target)
    : info_(info),
      width_(width),
      height_(height),
      target_(std::move(target)),
      channels_(info.channels()),
      converter_(info),
      columns_(MakeAxisTaps(info.width, width)),
      rows_(MakeAxisTaps(info.height, height)),
      sourceRow_(std::size_t{info.width} * channels_) {
    const std::size_t targetRow = std::size_t{width} * channels_;
    filtered_.resize(targetRow);
    slots_[0].assign(targetRow, 0.0);
    slots_[1].assign(targetRow, 0.0);
}

void Resampler::putRows(const std::uint8_t* rows, std::uint32_t count) {
    const std::size_t rowBytes = info_.rowBytes();
    for (std::uint32_t i = 0; i < count; ++i) putRow(rows + i * rowBytes);
}

void Resampler::filterRow(double* out) const {
    const float* in = sourceRow_.data();
    if (info_.width == width_) {
        std::copy(in, in + std::size_t{width_} * channels_, out);
        return;
    }
    switch (channels_) {
        case 1: return FilterAcross<1>(columns_.data(), width_, in, out);
        case 2: return FilterAcross<2>(columns_.data(), width_, in, out);
        case 3: return FilterAcross<3>(columns_.data(), width_, in, out);
        default: return FilterAcross<4>(columns_.data(), width_, in, out);
    }
}

void Resampler::putRow(const std::uint8_t* row) {
    const std::uint32_t s = nextSourceRow_++;
    converter_.toFloats(row, info_.width, sourceRow_.data());
    const std::size_t n = std::size_t{width_} * channels_;

    if (info_.height == height_) {
        filterRow(filtered_.data());
        emit(s, filtered_.data());
        return;
    }
    if (height_ < info_.height) {
        // Shrinking: a source row lies in at most two target rows; each open target
        // row sums in its slot until its last source row has come.
        filterRow(filtered_.data());
        for (std::uint32_t t = nextTargetRow_; t < height_ && rows_[t].first <= s; ++t) {
            const AxisTap& tap = rows_[t];
            const std::uint32_t k = s - tap.first;
            if (k >= tap.count) continue;
            std::vector<double>& sum = slots_[t & 1];
            const double w = TapWeight(tap, k);
            for (std::size_t i = 0; i < n; ++i) sum[i] += w * filtered_[i];
            if (k + 1 == tap.count) {
                emit(t, sum.data());
                std::fill(sum.begin(), sum.end(), 0.0);
                nextTargetRow_ = t + 1;
            }
        }
        return;
    }
    // Enlarging: target rows read at most the last two source rows; emit every target
    // row whose last source row is this one.
    filterRow(slots_[s & 1].data());
    for (std::uint32_t t = nextTargetRow_; t < height_; ++t) {
        const AxisTap& tap = rows_[t];
        if (tap.first + tap.count - 1 > s) break;
        if (tap.count == 1) {
            emit(t, slots_[tap.first & 1].data());
        } else {
            const double* a = slots_[tap.first & 1].data();
            const double* b = slots_[(tap.first + 1) & 1].data();
            for (std::size_t i = 0; i < n; ++i) filtered_[i] = tap.firstWeight * a[i] + tap.lastWeight * b[i];
            emit(t, filtered_.data());
        }
        nextTargetRow_ = t + 1;
    }
}

void Resampler::emit(std::uint32_t targetRow, const double* values) {
    ExpandToRgba(info_.layout, values, width_, target_.row(targetRow));
    target_.done(targetRow);
}

}  // namespace image
