#include "encode/float_tiff_stream.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "float_strips.h"
#include "float_tiff_tags.h"
#include "memory_tiff.h"
#include "os/atomic_file.h"
#include "results/status_result.h"

namespace encode {

struct FloatTiffStream::State {
    os::AtomicFile file;
    TiffHandle tiff;
    std::uint32_t width = 0, height = 0, stripsPerBand = 0;
    Compression compression = Compression::Fast;
    FloatTiffStream::Layout layout = FloatTiffStream::Layout::Planes;
    std::vector<bool> written;
    std::uint64_t position = 0, end = 0;
    HRESULT writeError = S_OK;  // the first the file met
    bool failed = false;
    std::string message;  // libtiff's first

    // The reason for a failure that left `writeError` unset: libtiff's message.
    HRESULT fail(HRESULT hr, std::string* why) {
        failed = true;
        if (writeError != S_OK) return writeError;
        if (hr == E_FAIL) *why = message.empty() ? "libtiff could not write the image" : "libtiff: " + message;
        return hr;
    }
};

namespace {

using State = FloatTiffStream::State;

State* Of(thandle_t handle) { return reinterpret_cast<State*>(handle); }

// libtiff only writes and seeks here: it never reads back what it wrote.
tmsize_t ReadProc(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t WriteProc(thandle_t handle, void* source, tmsize_t count) {
    State* s = Of(handle);
    if (count < 0 || s->writeError != S_OK) return -1;
    if (const HRESULT hr = ResultOfStatus(s->file.writeAt(s->position, source, static_cast<std::size_t>(count)));
        hr != S_OK) {
        s->writeError = hr;
        return -1;
    }
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

HRESULT FloatTiffStream::open(const std::string& path, std::uint32_t width, std::uint32_t height,
                              const std::vector<std::string>& names, const TiffExtras& extras, std::string* why,
                              Compression compression, Layout layout) {
    if (why == nullptr || width == 0 || height == 0 || names.empty() || names.size() > 0xFFFF) return E_INVALIDARG;
    try {
        state_.reset();
        auto s = std::make_unique<State>();
        if (const HRESULT hr = ResultOfStatus(s->file.open(path, os::DirectWriter::Mode::Buffered)); hr != S_OK)
            return hr;
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
        if (outOfMemory) return E_OUTOFMEMORY;
        if (!s->tiff ||
            !WriteFloatTiffTags(s->tiff.get(), width, height, names, extras, compression, layout == Layout::Planes)) {
            const HRESULT hr = s->fail(E_FAIL, why);
            s->tiff.reset();
            return hr;
        }
        state_ = std::move(s);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT FloatTiffStream::writeBand(std::size_t index, const float* samples, std::string* why) {
    if (!state_ || state_->failed || why == nullptr || samples == nullptr) return E_FAIL;
    State& s = *state_;
    if (s.layout != Layout::Planes || index >= s.written.size() || s.written[index]) return E_INVALIDARG;
    const auto first = static_cast<std::uint32_t>(index * s.stripsPerBand);
    const HRESULT hr = WritePlaneStrips(s.tiff.get(), samples, s.width, s.height, first, s.compression);
    if (hr != S_OK) return s.fail(hr, why);
    s.written[index] = true;
    return S_OK;
}

HRESULT FloatTiffStream::writeInterleaved(const FloatChannels& channels, const RowsDone& progress, std::string* why) {
    if (!state_ || state_->failed || why == nullptr) return E_FAIL;
    State& s = *state_;
    if (s.layout != Layout::Interleaved || s.written.front() || channels.width != s.width ||
        channels.height != s.height || channels.planeCount() != s.written.size() || !channels.planesFit())
        return E_INVALIDARG;
    const HRESULT hr = WriteFloatStrips(s.tiff.get(), channels, s.compression, progress);
    if (hr != S_OK) return s.fail(hr, why);
    s.written.assign(s.written.size(), true);
    return S_OK;
}

HRESULT FloatTiffStream::commit(std::string* why) {
    if (!state_ || state_->failed || why == nullptr) return E_FAIL;
    State& s = *state_;
    if (std::find(s.written.begin(), s.written.end(), false) != s.written.end()) {
        s.failed = true;
        *why = "a band is missing";
        return E_FAIL;
    }
    const bool flushed = TIFFFlush(s.tiff.get()) == 1;
    s.tiff.reset();
    if (!flushed) return s.fail(E_FAIL, why);
    if (const HRESULT hr = ResultOfStatus(s.file.commit()); hr != S_OK) return s.fail(hr, why);
    state_.reset();
    return S_OK;
}

}  // namespace encode
