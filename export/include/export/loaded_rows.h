#pragma once
// The height map's rows as another thread decodes them, so that work on the first
// rows can start before the last are in.
#include <atomic>
#include <cstdint>
#include <limits>

#include "os/side_by_side_work.h"

namespace exporter {

class LoadedRows {
public:
    // `height` rows, none loaded yet.
    explicit LoadedRows(std::uint32_t height) : height_(height), loaded_(0) {}
    LoadedRows(const LoadedRows&) = delete;
    LoadedRows& operator=(const LoadedRows&) = delete;

    std::uint32_t height() const { return height_; }

    // The loader's count of rows written from the top (LoadImageScaledRed's).
    std::atomic<std::uint32_t>* counter() { return &loaded_; }

    // Loading has ended, every row written or not (`ok` false): no one waits longer.
    void finish(bool ok) {
        loaded_.store(ok ? height_ : kFailed, std::memory_order_release);
        loaded_.notify_all();
    }

    // Waits until rows [0, end) are loaded (`end` at most height()); false when loading
    // failed first.
    bool waitFor(std::uint32_t end) const {
        for (;;) {
            const std::uint32_t now = loaded_.load(std::memory_order_acquire);
            if (now == kFailed) return false;
            if (now >= end) return true;
            loaded_.wait(now, std::memory_order_acquire);
        }
    }

private:
    static constexpr std::uint32_t kFailed = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t height_;
    std::atomic<std::uint32_t> loaded_;
};

// Calls work(row, worker) once for each of `height` rows, on two threads (worker 0
// and 1), in about the order of the rows, each as soon as the rows up to `ahead`
// after it have loaded; `rows` null: all have. Returns false, rows left undone, when
// loading failed; std::bad_alloc passes as RunSideBySide passes it.
template <typename Work>
bool ForLoadedRows(std::uint32_t height, const LoadedRows* rows, std::uint32_t ahead, const Work& work) {
    std::atomic<std::uint64_t> next{0};
    std::atomic<bool> failed{false};
    const auto worker = [&](int id) {
        for (std::uint64_t k = next.fetch_add(1); k < height; k = next.fetch_add(1)) {
            const auto r = static_cast<std::uint32_t>(k);
            const std::uint32_t need = height - r > ahead ? r + ahead + 1 : height;
            if (rows != nullptr && !rows->waitFor(need)) {
                failed = true;
                return;
            }
            work(r, id);
        }
    };
    os::RunSideBySide([&] { worker(0); }, [&] { worker(1); });
    return !failed;
}

}  // namespace exporter
