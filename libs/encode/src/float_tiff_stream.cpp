#include "encode/float_tiff_stream.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "float_strips.h"
#include "float_tiff_tags.h"
#include "memory_tiff.h"
#include "os/atomic_file.h"

namespace encode {

struct FloatTiffStream::State {
    os::AtomicFile file;
    TiffHandle tiff;
    std::uint32_t width = 0, height = 0, stripsPerBand = 0;
    Compression compression = Compression::Fast;
    FloatTiffStream::Layout layout = FloatTiffStream::Layout::Planes;
    std::vector<bool> written;
    std::uint64_t position = 0, end = 0;
    status::Status writeError;  // the first the file met
    bool failed = false;
    std::string path;
    std::string message;  // libtiff's first

    // The reason for a failure that left `writeError` unset: libtiff's message, in
    // `why` and, after the file's name, in the status.
    status::Status fail(status::Status failure, std::string* why) {
        failed = true;
        if (!writeError.ok()) return writeError;
        if (failure.code == status::Code::Failed) {
            *why = message.empty() ? "libtiff could not write the image" : "libtiff: " + message;
            return status::Fail(status::Code::Failed, path + ": " + *why);
        }
        return failure;
    }
};

namespace {

using State = FloatTiffStream::State;

State* Of(thandle_t handle) { return reinterpret_cast<State*>(handle); }

// libtiff only writes and seeks here: it never reads back what it wrote.
tmsize_t ReadProc(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t WriteProc(thandle_t handle, void* source, tmsize_t count) {
    State* s = Of(handle);
    if (count < 0 || !s->writeError.ok()) return -1;
    try {
        s->writeError = s->file.writeAt(s->position, source, static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        s->writeError = status::OutOfMemory();  // libtiff's callback must not throw
    }
    if (!s->writeError.ok()) return -1;
    s->position += static_cast<std::uint64_t>(count);
    s->end = std::max(s->end, s->position);
    return count;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    State* s = Of(handle);
    const std::uint64_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->end : 0;
    s->position = base + offset;
    return s->position;
}

toff_t SizeProc(thandle_t handle) { return Of(handle)->end; }

}  // namespace

FloatTiffStream::FloatTiffStream() = default;

FloatTiffStream::~FloatTiffStream() {
    // libtiff's handle goes before the file it writes into.
    if (state_) state_->tiff.reset();
}

status::Status FloatTiffStream::open(const std::string& path, std::uint32_t width, std::uint32_t height,
                                     const std::vector<std::string>& names, const TiffExtras& extras, std::string* why,
                                     Compression compression, Layout layout) {
    if (why == nullptr || width == 0 || height == 0 || names.empty() || names.size() > 0xFFFF)
        return status::Fail(status::Code::InvalidArgument, {});
    try {
        state_.reset();
        auto s = std::make_unique<State>();
        if (status::Status opened = s->file.open(path, os::DirectWriter::Mode::Buffered); !opened.ok()) return opened;
        s->path = path;
        s->width = width;
        s->height = height;
        s->stripsPerBand = (height + kRowsPerFloatStrip - 1) / kRowsPerFloatStrip;
        s->compression = compression;
        s->layout = layout;
        s->written.assign(names.size(), false);
        const std::uint64_t raw = std::uint64_t{width} * height * names.size() * 4;
        bool outOfMemory = false;
        s->tiff = OpenTiffClient(reinterpret_cast<thandle_t>(s.get()), &ReadProc, &WriteProc, &SeekProc, &SizeProc, raw,
                                 &s->message, &outOfMemory);
        if (outOfMemory) return status::OutOfMemory();
        if (!s->tiff ||
            !WriteFloatTiffTags(s->tiff.get(), width, height, names, extras, compression, layout == Layout::Planes)) {
            status::Status failure = s->fail(status::Fail(status::Code::Failed, {}), why);
            s->tiff.reset();
            return failure;
        }
        state_ = std::move(s);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

status::Status FloatTiffStream::writeBand(std::size_t index, const float* samples, std::string* why) {
    if (!state_ || state_->failed || why == nullptr || samples == nullptr)
        return status::Fail(status::Code::Failed, {});
    State& s = *state_;
    if (s.layout != Layout::Planes || index >= s.written.size() || s.written[index])
        return status::Fail(status::Code::InvalidArgument, {});
    const auto first = static_cast<std::uint32_t>(index * s.stripsPerBand);
    status::Status written = WritePlaneStrips(s.tiff.get(), samples, s.width, s.height, first, s.compression);
    if (!written.ok()) return s.fail(std::move(written), why);
    s.written[index] = true;
    return status::Ok();
}

status::Status FloatTiffStream::writeInterleaved(const FloatChannels& channels, const RowsDone& progress,
                                                 std::string* why) {
    if (!state_ || state_->failed || why == nullptr) return status::Fail(status::Code::Failed, {});
    State& s = *state_;
    if (s.layout != Layout::Interleaved || s.written.front() || channels.width != s.width ||
        channels.height != s.height || channels.planeCount() != s.written.size() || !channels.planesFit())
        return status::Fail(status::Code::InvalidArgument, {});
    status::Status written = WriteFloatStrips(s.tiff.get(), channels, s.compression, progress);
    if (!written.ok()) return s.fail(std::move(written), why);
    s.written.assign(s.written.size(), true);
    return status::Ok();
}

status::Status FloatTiffStream::commit(std::string* why) {
    if (!state_ || state_->failed || why == nullptr) return status::Fail(status::Code::Failed, {});
    State& s = *state_;
    if (std::find(s.written.begin(), s.written.end(), false) != s.written.end()) {
        s.failed = true;
        *why = "a band is missing";
        return status::Fail(status::Code::Failed, s.path + ": a band is missing");
    }
    const bool flushed = TIFFFlush(s.tiff.get()) == 1;
    s.tiff.reset();
    if (!flushed) return s.fail(status::Fail(status::Code::Failed, {}), why);
    if (status::Status committed = s.file.commit(); !committed.ok()) return s.fail(std::move(committed), why);
    state_.reset();
    return status::Ok();
}

}  // namespace encode
