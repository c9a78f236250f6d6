#pragma once
// A float TIFF written band by band as the bands come, so that only one band need
// be held: each band a plane of its own (separate planar configuration), its strips
// compressed as EncodeFloatTiff's and appended to a file beside the target, the
// directory written last, the file flushed and renamed over the name only when
// every band is in (os::AtomicFile: nothing is left behind on failure).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encode/compression.h"
#include "encode/tiff_encoder.h"
#include "status/status.h"

namespace encode {

class FloatTiffStream {
public:
    // Each band a plane of its own, or all interleaved as EncodeFloatTiff stores them.
    enum class Layout : std::uint8_t { Planes, Interleaved };

    FloatTiffStream();
    FloatTiffStream(const FloatTiffStream&) = delete;
    FloatTiffStream& operator=(const FloatTiffStream&) = delete;
    // Abandons a file not committed.
    ~FloatTiffStream();

    // Starts the file for `path`: width x height, one float band per name (at most
    // 65535), the tags EncodeFloatTiff sets with `extras`, BigTIFF beyond 3 GB of
    // samples. Ok; InvalidArgument; the file's open status (ResolveSaveTarget's
    // refusal, OutOfMemory, the error met creating it); Failed with libtiff's reason
    // in `why` (not null), and after the file's name in the status.
    [[nodiscard]] status::Status open(const std::string& path, std::uint32_t width, std::uint32_t height,
                                      const std::vector<std::string>& names, const TiffExtras& extras, std::string* why,
                                      Compression compression = Compression::Fast, Layout layout = Layout::Planes);

    // Compresses band `index` (width * height floats, packed rows) and appends it;
    // bands in any order, each once. Ok; InvalidArgument for a band out of range or
    // given twice; OutOfMemory; the write error met; Failed with the reason in
    // `why`. After a failure the file can only be abandoned.
    [[nodiscard]] status::Status writeBand(std::size_t index, const float* samples, std::string* why);

    // For Layout::Interleaved: every band at once, `channels` of the size and names
    // opened, its strips written into the file as they are packed (no copy of the
    // file is held), `progress` told the rows done. Failures as writeBand's.
    [[nodiscard]] status::Status writeInterleaved(const FloatChannels& channels, const RowsDone& progress,
                                                  std::string* why);

    // Writes the directory, flushes the file and renames it over the name. Ok;
    // Failed when a band is missing or libtiff fails (`why` says why); the error
    // met writing or renaming.
    [[nodiscard]] status::Status commit(std::string* why);

    struct State;  // open for libtiff's callbacks, defined with them

private:
    std::unique_ptr<State> state_;
};

}  // namespace encode
