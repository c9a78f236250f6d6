#pragma once
// What kind of number an image file stores, for undoing the loaders' normalisation.
#include <cstdint>
#include <string>

namespace sky {

struct StoredSampleKind {
    // Integer samples k arrive as k / divisor (0: the samples are floats, as stored).
    std::uint32_t divisor = 0;
    bool isSigned = false;
    bool inexact = false;  // the loaders round these samples (32-bit integers, doubles)
};

// From the file's first bytes (TIFF tags, PNG header, PGM/PPM maximum) or, for
// headerless RAW height maps, its name. A file that cannot be read gives the float
// kind: the loader reports the failure itself.
[[nodiscard]] StoredSampleKind StoredSampleKindOf(const std::string& path);

}  // namespace sky
