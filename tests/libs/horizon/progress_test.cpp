// Progress is reported on the calling thread, never decreases, and ends at
// exactly twice the height, whatever the shape and the number of threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "horizon/horizon_fast.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {
namespace {

struct Shape {
    std::uint32_t width, height;
    unsigned threads;
};

TEST(Progress, RisesOnTheCallingThreadToTwiceTheHeight) {
    for (const Shape shape : {Shape{1, 1, 1}, Shape{1, 300, 2}, Shape{300, 1, 2}, Shape{17, 5, 2}, Shape{200, 150, 2},
                              Shape{200, 150, 1}, Shape{64, 64, 4}}) {
        const auto heights = MakeHeights(Terrain::Fbm8, shape.width, shape.height, 5);
        std::vector<float> out(heights.size());
        std::vector<std::uint64_t> calls;
        bool otherThread = false;
        const auto caller = std::this_thread::get_id();
        HorizonFastOptions options;
        options.threads = shape.threads;
        ASSERT_TRUE(ComputeHorizonFast(
                        heights.data(), out.data(), shape.width, shape.height, kDefaultSettings,
                        [&](std::uint64_t rows) {
                            calls.push_back(rows);
                            otherThread |= std::this_thread::get_id() != caller;
                        },
                        options)
                        .ok());
        SCOPED_TRACE(::testing::Message()
                     << shape.width << " x " << shape.height << ", " << shape.threads << " threads");
        ASSERT_FALSE(calls.empty());
        EXPECT_FALSE(otherThread);
        EXPECT_EQ(calls.back(), 2u * shape.height);
        for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1], calls[i]);
        // A wide map reports along the way, not only at the end (one call per
        // panel on one thread; threads may coalesce updates).
        if (shape.threads == 1 && shape.width >= 200 && shape.height >= 100) {
            EXPECT_GE(calls.size(), 5u);
        }
    }
}

}  // namespace
}  // namespace horizon::testing
