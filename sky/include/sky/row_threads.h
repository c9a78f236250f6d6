#pragma once
// Rows of work shared among the machine's threads.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

namespace sky {

// Runs work(i, scratch) for every i below `count` on the machine's threads, each
// thread with a Scratch of its own; false when memory ran out (the rest skipped).
template <class Scratch, class Work>
[[nodiscard]] bool ForEachRow(std::uint32_t count, Work&& work) {
    std::atomic<std::uint32_t> next{0};
    std::atomic<bool> exhausted{false};
    const auto run = [&] {
        try {
            Scratch scratch;
            for (std::uint32_t i = next++; i < count && !exhausted; i = next++) work(i, scratch);
        } catch (const std::bad_alloc&) {
            exhausted = true;
        }
    };
    const unsigned threads = std::max(1u, std::min(std::thread::hardware_concurrency(), count));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
    run();
    for (auto& thread : pool) thread.join();
    return !exhausted;
}

}  // namespace sky
