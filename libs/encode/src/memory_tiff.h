#pragma once
// TIFFs that libtiff writes through procedures of ours: into a growing byte vector
// here, or wherever a caller of OpenTiffClient puts them.
#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "status/status.h"

namespace encode {

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffClose>;

// A TIFF opened for writing through `client`'s own procedures: little-endian, never
// mapped, BigTIFF when `rawBytes` of samples might not fit 32-bit offsets; libtiff's
// first error message kept in `message` (which outlives the handle), its warnings
// dropped. Null when libtiff cannot open it, `outOfMemory` set when that was for
// want of memory.
TiffHandle OpenTiffClient(thandle_t client, TIFFReadWriteProc read, TIFFReadWriteProc write, TIFFSeekProc seek,
                          TIFFSizeProc size, std::uint64_t rawBytes, std::string* message, bool* outOfMemory);

class MemoryTiff {
public:
    // `bytes` (not null) receives the file; it must outlive this object.
    explicit MemoryTiff(std::vector<std::uint8_t>* file) : bytes(file) {}

    // Opens for writing, little-endian, BigTIFF when `rawBytes` of samples might not
    // fit 32-bit offsets. Null when libtiff cannot: finish() then says why.
    TiffHandle open(std::uint64_t rawBytes);

    // Closes `tiff` (flushing it when `wrote`): Ok with the file in the vector;
    // OutOfMemory; Failed with libtiff's first message in `why` and as the reason.
    // The vector is emptied on failure.
    [[nodiscard]] status::Status finish(TiffHandle tiff, bool wrote, std::string* why);

    // For libtiff's callbacks.
    std::vector<std::uint8_t>* bytes;
    std::uint64_t position = 0;
    bool outOfMemory = false;
    std::string message;
};

}  // namespace encode
