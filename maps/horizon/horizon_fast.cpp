// Panels of columns are handed out to worker threads; the calling thread reports
// progress as panels complete, in rows over both passes.
#include "maps/horizon/horizon_fast.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "maps/horizon/panel_worker.h"
#include "maps/horizon/pass_geometry.h"

namespace {

using horizon::kPanelColumns;

class PanelQueue {
public:
    PanelQueue(std::uint32_t width) : width_(width), panels_((width + kPanelColumns - 1) / kPanelColumns) {}

    std::uint32_t Panels() const { return panels_; }

    // Runs panels until none is left.
    void Work(horizon::PanelWorker& worker) {
        for (std::uint32_t p; (p = next_.fetch_add(1)) < panels_;) {
            const std::uint32_t first = p * kPanelColumns;
            const std::uint32_t count = std::min(kPanelColumns, width_ - first);
            worker.Run(first, count);
            {
                std::lock_guard lock(mutex_);
                columnsDone_ += count;
            }
            changed_.notify_one();
        }
    }

    // Calls report(columnsDone) on this thread whenever it grows, until all are done.
    template <typename Report>
    void Watch(Report report) {
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        while (seen < width_) {
            changed_.wait(lock, [&] { return columnsDone_ != seen; });
            seen = columnsDone_;
            lock.unlock();
            report(seen);
            lock.lock();
        }
    }

private:
    std::uint32_t width_;
    std::uint32_t panels_;
    std::atomic<std::uint32_t> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t columnsDone_ = 0;
};

}  // namespace

void ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                        const HorizonSettings& settings, const HorizonProgress& progress) {
    ComputeHorizonFast(heights, out, width, height, settings, progress, HorizonFastOptions{});
}

void ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                        const HorizonSettings& settings, const HorizonProgress& progress,
                        const HorizonFastOptions& options) {
    const std::uint64_t totalRows = 2 * std::uint64_t{height};
    std::uint64_t rowsReported = 0;
    const auto report = [&](std::uint64_t columnsDone) {
        const auto rows = static_cast<std::uint64_t>(static_cast<unsigned __int128>(totalRows) * columnsDone /
                                                     std::max<std::uint32_t>(width, 1));
        if (progress && rows > rowsReported) progress(rows);
        rowsReported = std::max(rowsReported, rows);
    };
    if (width == 0 || height == 0) {
        if (progress && totalRows > 0) progress(totalRows);
        return;
    }

    const float cellSize = settings.terraSize / static_cast<float>(width);
    const horizon::PassPositions forward(height, cellSize, false);
    const horizon::PassPositions backward(height, cellSize, true);
    const horizon::MapJob job{heights,
                              out,
                              width,
                              height,
                              settings,
                              static_cast<float>(settings.terraSize * 0.5),
                              &forward.Geometry(),
                              &backward.Geometry()};

    PanelQueue queue(width);
    unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, queue.Panels());

    std::vector<std::unique_ptr<horizon::PanelWorker>> workers;
    for (unsigned i = 0; i < threads; ++i) workers.push_back(std::make_unique<horizon::PanelWorker>(job));
    if (threads == 1) {
        std::uint32_t done = 0;
        for (std::uint32_t p = 0; p < queue.Panels(); ++p) {
            const std::uint32_t first = p * kPanelColumns;
            const std::uint32_t count = std::min(kPanelColumns, width - first);
            workers[0]->Run(first, count);
            report(done += count);
        }
    } else {
        std::vector<std::jthread> pool;
        for (auto& worker : workers) pool.emplace_back([&queue, &worker] { queue.Work(*worker); });
        queue.Watch(report);
    }

    if (options.samplesEvaluated) {
        std::uint64_t evaluated = 0;
        for (const auto& worker : workers) evaluated += worker->SamplesEvaluated();
        *options.samplesEvaluated = evaluated;
    }
}
