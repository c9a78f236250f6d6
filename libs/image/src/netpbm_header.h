#pragma once
// The text header shared by PGM/PPM and PFM: a magic, then whitespace-separated
// fields (PGM/PPM allow '#' comments between them), then one whitespace byte.
#include <cstdint>
#include <string>
#include <vector>

namespace image {

class ImageFile;

struct NetpbmHeader {
    char kind = 0;                    // the character after 'P'
    std::vector<std::string> fields;  // the fields after the magic, as written
    std::uint64_t dataOffset = 0;     // first byte of the samples
};

// Reads the magic and `fieldCount` fields from the start of `file`. False for a
// header that is malformed, has over-long fields or does not end in whitespace.
[[nodiscard]] bool ReadNetpbmHeader(ImageFile& file, unsigned fieldCount, bool allowComments, NetpbmHeader* header);

// A decimal field in [1, max]; false for anything else (signs, overflow, letters).
[[nodiscard]] bool ParseNetpbmUnsigned(const std::string& field, std::uint32_t max, std::uint32_t* value);

}  // namespace image
