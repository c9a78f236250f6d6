#pragma once
// Where a sink's rows of RGBA texels end up: straight in an RGBA array, or, when only
// red is kept, through one row of scratch into an array of one float a texel.
#include <atomic>
#include <cstdint>
#include <vector>

namespace image {

class TexelRows {
public:
    // `out`: width * height * 4 floats, or width * height when `redOnly`. `loaded`,
    // when given: the rows kept so far, published as each is kept (rows come in
    // order). Exhausted memory escapes as std::bad_alloc.
    TexelRows(float* out, std::uint32_t width, bool redOnly, std::atomic<std::uint32_t>* loaded = nullptr)
        : out_(out),
          width_(width),
          redOnly_(redOnly),
          loaded_(loaded),
          scratch_(redOnly ? std::size_t{width} * 4 : 0) {}

    // Where row `row`'s RGBA texels are to be written, then kept by done(row).
    float* row(std::uint32_t row) { return redOnly_ ? scratch_.data() : out_ + std::size_t{row} * width_ * 4; }
    void done(std::uint32_t row) {
        if (redOnly_) {
            float* red = out_ + std::size_t{row} * width_;
            for (std::uint32_t c = 0; c < width_; ++c) red[c] = scratch_[std::size_t{c} * 4];
        }
        if (loaded_ != nullptr) {
            loaded_->store(row + 1, std::memory_order_release);
            loaded_->notify_all();
        }
    }

private:
    float* out_;
    std::uint32_t width_;
    bool redOnly_;
    std::atomic<std::uint32_t>* loaded_;
    std::vector<float> scratch_;
};

}  // namespace image
