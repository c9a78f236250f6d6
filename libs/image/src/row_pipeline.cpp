#include "row_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "os/memory_budget.h"

namespace image {

namespace {

// Bands of about this many bytes keep both threads busy without much memory.
constexpr std::size_t kBandBytes = 1 << 20;
constexpr std::size_t kBandCount = 4;

struct Band {
    std::vector<std::uint8_t> bytes;
    std::uint32_t rows = 0;
};

[[nodiscard]] status::Status ReadBand(RowSource& source, Band& band, std::uint32_t rows) {
    band.rows = rows;
    try {
        return source.readRows(band.bytes.data(), rows);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    } catch (...) {
        return status::Fail(status::Code::Failed, {});
    }
}

class BandRing {
public:
    BandRing(std::size_t count, std::size_t bytes) : bands_(count) {
        for (Band& band : bands_) band.bytes.resize(bytes);
    }

    // Producer side: the next free band, or null once the consumer has gone.
    Band* acquireFree() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ < bands_.size() || abandoned_; });
        return abandoned_ ? nullptr : &bands_[(first_ + filled_) % bands_.size()];
    }

    void publishFilled() {
        {
            const std::lock_guard lock(mutex_);
            ++filled_;
        }
        changed_.notify_all();
    }

    void finish(status::Status result) {
        {
            const std::lock_guard lock(mutex_);
            result_ = result;
            finished_ = true;
        }
        changed_.notify_all();
    }

    // Consumer side: the oldest filled band, or null when the producer has finished
    // (or failed: then the rest is of no use).
    Band* acquireFilled() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ > 0 || finished_; });
        if (!result_.ok() || filled_ == 0) return nullptr;
        return &bands_[first_];
    }

    void releaseFilled() {
        {
            const std::lock_guard lock(mutex_);
            first_ = (first_ + 1) % bands_.size();
            --filled_;
        }
        changed_.notify_all();
    }

    void abandon() {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        changed_.notify_all();
    }

    [[nodiscard]] status::Status result() {
        const std::lock_guard lock(mutex_);
        return result_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Band> bands_;
    std::size_t first_ = 0;
    std::size_t filled_ = 0;
    bool finished_ = false;
    bool abandoned_ = false;
    status::Status result_ = status::Ok();
};

void Produce(RowSource& source, BandRing& ring, std::uint32_t rowsPerBand) {
    const std::uint32_t height = source.info().height;
    for (std::uint64_t row = 0; row < height; row += rowsPerBand) {
        Band* band = ring.acquireFree();
        if (band == nullptr) return ring.finish(status::Fail(status::Code::Failed, {}));
        const auto rows = static_cast<std::uint32_t>(std::min<std::uint64_t>(rowsPerBand, height - row));
        status::Status hr = ReadBand(source, *band, rows);
        if (!hr.ok()) return ring.finish(hr);
        ring.publishFilled();
    }
    ring.finish(status::Ok());
}

// Joins the producer on every way out, telling it first that nobody will consume.
// The producer's memory checks count for the load's claim, as the load's own do.
class ProducerThread {
public:
    ProducerThread(RowSource& source, BandRing& ring, std::uint32_t rowsPerBand)
        : ring_(ring), thread_([&source, &ring, rowsPerBand, claim = os::MemoryClaim::current()] {
              const os::MemoryClaim::Joined joined(claim);
              Produce(source, ring, rowsPerBand);
          }) {}
    ~ProducerThread() {
        ring_.abandon();
        thread_.join();
    }
    ProducerThread(const ProducerThread&) = delete;
    ProducerThread& operator=(const ProducerThread&) = delete;

private:
    BandRing& ring_;
    std::thread thread_;
};

[[nodiscard]] status::Status PumpOnOneThread(RowSource& source, RowSink& sink, Band& band, std::uint32_t rowsPerBand) {
    const std::uint32_t height = source.info().height;
    for (std::uint64_t row = 0; row < height; row += rowsPerBand) {
        const auto rows = static_cast<std::uint32_t>(std::min<std::uint64_t>(rowsPerBand, height - row));
        status::Status hr = ReadBand(source, band, rows);
        if (!hr.ok()) return hr;
        sink.putRows(band.bytes.data(), band.rows);
    }
    return status::Ok();
}

}  // namespace

status::Status PumpRows(RowSource& source, RowSink& sink) {
    const ImageInfo& info = source.info();
    const std::size_t rowBytes = info.rowBytes();
    const auto rowsPerBand = static_cast<std::uint32_t>(std::clamp<std::size_t>(kBandBytes / rowBytes, 1, info.height));
    std::uint64_t bandBytes = 0;
    const bool fits = os::CheckedMul(rowBytes, rowsPerBand, kBandCount, &bandBytes);
    if (!os::CheckFitsInMemory(bandBytes, !fits).ok()) return status::OutOfMemory();

    BandRing ring(kBandCount, rowBytes * rowsPerBand);
    std::unique_ptr<ProducerThread> producer;
    try {
        producer = std::make_unique<ProducerThread>(source, ring, rowsPerBand);
    } catch (const std::system_error&) {
        // No second thread to be had: decode and consume in turn.
        Band band;
        band.bytes.resize(rowBytes * rowsPerBand);
        return PumpOnOneThread(source, sink, band, rowsPerBand);
    }
    while (Band* band = ring.acquireFilled()) {
        sink.putRows(band->bytes.data(), band->rows);
        ring.releaseFilled();
    }
    producer.reset();
    return ring.result();
}

}  // namespace image
