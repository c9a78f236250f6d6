#include "memory_tiff.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace encode {

namespace {

int CloseProc(thandle_t) { return 0; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int KeepMessage(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* message = static_cast<std::string*>(user);
    if (message->empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        *message = text;
    }
    return 1;  // handled: nothing printed
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

TiffHandle OpenTiffClient(thandle_t client, TIFFReadWriteProc read, TIFFReadWriteProc write, TIFFSeekProc seek,
                          TIFFSizeProc size, std::uint64_t rawBytes, std::string* message, bool* outOfMemory) {
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) {
        *outOfMemory = true;
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &KeepMessage, message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &IgnoreWarning, nullptr);
    // "l": little-endian; "m": no mapping; "8": BigTIFF, only where 32-bit offsets
    // might not reach the end.
    const char* mode = rawBytes > (std::uint64_t{3} << 30) ? "wlm8" : "wlm";
    return TiffHandle(TIFFClientOpenExt("export", mode, client, read, write, seek, &CloseProc, size, &MapProc,
                                        &UnmapProc, options.get()));
}

namespace {

MemoryTiff* Of(thandle_t handle) { return reinterpret_cast<MemoryTiff*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* destination, tmsize_t count) {
    MemoryTiff* m = Of(handle);
    if (count < 0 || m->position >= m->bytes->size()) return 0;
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(count), m->bytes->size() - m->position));
    std::memcpy(destination, m->bytes->data() + m->position, n);
    m->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t handle, void* source, tmsize_t count) {
    MemoryTiff* m = Of(handle);
    if (count < 0) return -1;
    const std::uint64_t end = m->position + static_cast<std::uint64_t>(count);
    try {
        if (end > m->bytes->size()) m->bytes->resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        m->outOfMemory = true;
        return -1;
    }
    std::memcpy(m->bytes->data() + m->position, source, static_cast<std::size_t>(count));
    m->position = end;
    return count;
}

toff_t SizeProc(thandle_t handle) { return Of(handle)->bytes->size(); }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryTiff* m = Of(handle);
    const std::uint64_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->bytes->size() : 0;
    m->position = base + offset;
    return m->position;
}

}  // namespace

TiffHandle MemoryTiff::open(std::uint64_t rawBytes) {
    bytes->clear();
    return OpenTiffClient(reinterpret_cast<thandle_t>(this), &ReadProc, &WriteProc, &SeekProc, &SizeProc, rawBytes,
                          &message, &outOfMemory);
}

status::Status MemoryTiff::finish(TiffHandle tiff, bool wrote, std::string* why) {
    const bool ok = tiff != nullptr && wrote && TIFFFlush(tiff.get()) == 1;
    tiff.reset();
    if (ok && !outOfMemory) return status::Ok();
    bytes->clear();
    if (outOfMemory) return status::OutOfMemory();
    *why = message.empty() ? "libtiff could not write the image" : "libtiff: " + message;
    return status::Fail(status::Code::Failed, *why);
}

}  // namespace encode
