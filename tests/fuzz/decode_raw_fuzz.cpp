// The RAW reader, as each of its three samples: the size decides whether there is
// an image, and every square gets drained.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "drain_rows.h"
#include "fuzz_check.h"
#include "image/image_file.h"
#include "memory_file.h"
#include "raw_decoder.h"

using image::ImageInfo;
using image::RawSample;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryFile input(data, size);
    for (const RawSample sample : {RawSample::U8, RawSample::U16, RawSample::F32}) {
        image::ImageFile file;
        if (!file.open(input.path()).ok()) return 0;
        std::unique_ptr<image::RowSource> source;
        try {
            const status::Code hr = image::OpenRawSource(file, sample, &source).code;
            FUZZ_CHECK(IsDecoderResult(hr));
            if (hr != status::Code::Ok) continue;
            const ImageInfo& info = source->info();
            FUZZ_CHECK(std::uint64_t{info.width} * info.height * image::SampleBytes(info.type) == size);
            DrainRows(*source);
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}
