// Every allocation of the fast computation failing in turn, once or for good: it
// ends with out of memory or with the exact values, never with a crash. Only the
// calling thread's own memory is needed; helpers it cannot have are done without.
#include <gtest/gtest.h>

#include <bit>

#include "../../support/failing_allocation.h"
#include "horizon/horizon_fast.h"
#include "terrain/terrain_families.h"

using horizon::HorizonProgress;
using horizon::HorizonSettings;

namespace {

using horizon::testing::Terrain;

TEST(HorizonOutOfMemory, EveryAllocationFailingInTurn) {
    constexpr std::uint32_t kWidth = 96, kHeight = 40;  // three panels for two threads
    const auto heights = horizon::testing::MakeHeights(Terrain::Fbm8, kWidth, kHeight, 3);
    const HorizonSettings settings = horizon::testing::SettingsFor(Terrain::Fbm8);
    std::vector<float> expected(heights.size(), -3.0f);
    horizon::ComputeHorizonReference(heights.data(), expected.data(), kWidth, kHeight, settings, nullptr);
    horizon::HorizonFastOptions options;
    options.threads = 2;

    for (const bool persistent : {false, true}) {
        SCOPED_TRACE(persistent ? "failing for good" : "failing once");
        std::vector<status::Code> results;
        for (std::size_t k = 0;; ++k) {
            std::vector<float> out(heights.size(), -3.0f);
            std::uint64_t rowsReported = 0;
            const HorizonProgress progress = [&rowsReported](std::uint64_t rows) { rowsReported = rows; };
            failing_allocation::FailFrom(k, persistent);
            const status::Code code =
                horizon::ComputeHorizonFast(heights.data(), out.data(), kWidth, kHeight, settings, progress, options)
                    .code;
            const std::size_t asked = failing_allocation::Disarm();
            const bool same = out.size() == expected.size() &&
                              std::equal(out.begin(), out.end(), expected.begin(), [](float a, float b) {
                                  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
                              });
            if (code == status::Code::Ok) {
                EXPECT_TRUE(same) << "allocation " << k;
                EXPECT_EQ(rowsReported, 2u * kHeight) << "allocation " << k;
            } else {
                EXPECT_EQ(code, status::Code::OutOfMemory) << "allocation " << k;
            }
            if (asked <= k) break;  // nothing failed: every allocation has had its turn
            results.push_back(code);
        }
        // The calling thread's allocations come first and each fails the
        // computation; every later one, a helper's, leaves it to fewer threads.
        const auto firstSuccess = std::find(results.begin(), results.end(), status::Code::Ok);
        EXPECT_NE(firstSuccess, results.begin());
        EXPECT_NE(firstSuccess, results.end());
        EXPECT_EQ(std::count(firstSuccess, results.end(), status::Code::OutOfMemory), 0);
    }
}

}  // namespace
