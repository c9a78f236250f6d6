// Panels of columns are handed out to the calling thread and its helpers; the
// calling thread reports progress as panels complete, in rows over both passes.
#include "horizon/horizon_fast.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "panel_worker.h"
#include "pass_geometry.h"

namespace horizon {
namespace {

// Hands out panels of columns to whichever thread asks next.
class PanelQueue {
public:
    explicit PanelQueue(std::uint32_t width) : width_(width), panels_((width + kPanelColumns - 1) / kPanelColumns) {}

    std::uint32_t panels() const { return panels_; }
    std::uint64_t columnsDone() const { return columnsDone_.load(); }

    // Runs one more panel; false when none is left.
    bool runOne(PanelWorker& worker) {
        const std::uint32_t p = next_.fetch_add(1);
        if (p >= panels_) return false;
        const std::uint32_t first = p * kPanelColumns;
        const std::uint32_t count = std::min(kPanelColumns, width_ - first);
        worker.run(first, count);
        columnsDone_.fetch_add(count);
        return true;
    }

private:
    std::uint32_t width_;
    std::uint32_t panels_;
    std::atomic<std::uint32_t> next_{0};
    std::atomic<std::uint64_t> columnsDone_{0};
};

}  // namespace

status::Status ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                                  const HorizonSettings& settings, const HorizonProgress& progress) {
    return ComputeHorizonFast(heights, out, width, height, settings, progress, HorizonFastOptions{});
}

status::Status ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                                  const HorizonSettings& settings, const HorizonProgress& progress,
                                  const HorizonFastOptions& options) try {
    assert((heights != nullptr && out != nullptr) || width == 0 || height == 0);
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
        return status::Ok();
    }

    const float cellSize = settings.terraSize / static_cast<float>(width);
    const PassPositions forward(height, cellSize, false);
    const PassPositions backward(height, cellSize, true);
    const MapJob job{heights,
                     out,
                     width,
                     height,
                     settings,
                     static_cast<float>(settings.terraSize * 0.5),
                     &forward.geometry(),
                     &backward.geometry()};

    PanelQueue queue(width);
    unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, queue.panels());

    // The calling thread works too and reports progress between its panels. Its own
    // worker is needed; a helper that cannot be given its memory or its thread is
    // done without, and the others take its share.
    std::vector<std::unique_ptr<PanelWorker>> workers;
    workers.reserve(threads);
    workers.push_back(std::make_unique<PanelWorker>(job));
    for (unsigned i = 1; i < threads; ++i) {
        try {
            workers.push_back(std::make_unique<PanelWorker>(job));
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < workers.size(); ++i) {
            try {
                helpers.emplace_back([&queue, &worker = *workers[i]] {
                    while (queue.runOne(worker)) {
                    }
                });
            } catch (const std::system_error&) {
                break;
            } catch (const std::bad_alloc&) {
                break;
            }
        }
        while (queue.runOne(*workers[0])) report(queue.columnsDone());
    }
    report(width);

    if (options.samplesEvaluated) {
        std::uint64_t evaluated = 0;
        for (const auto& worker : workers) evaluated += worker->samplesEvaluated();
        *options.samplesEvaluated = evaluated;
    }
    return status::Ok();
} catch (const std::bad_alloc&) {
    return status::OutOfMemory();
}

}  // namespace horizon
