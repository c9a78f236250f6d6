#pragma once
// A grey PNG in memory: the top and bottom halves of its rows deflated on two
// threads into one zlib stream.
#include <cstdint>
#include <functional>
#include <vector>

#include "encode/compression.h"
#include "encode/grey_image.h"
#include "status/status.h"

namespace encode {

// `image` of nonzero size (width at most 2^28), 8 or 16 bits, width x height
// samples; `bytes` not null. Fast: Up filter, deflated by RunDeflater (a run of one
// byte a match at distance 1, each block its own Huffman codes); None: zlib's stored
// deflate blocks. Ok with the file in `bytes`; InvalidArgument for anything
// else; OutOfMemory; Failed when zlib refuses.
[[nodiscard]] status::Status EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes,
                                           Compression compression = Compression::Fast);

// The picture SideBySide would make of `left` and `right` (of equal height and bit
// depth, each as above), without making it. Results as above.
[[nodiscard]] status::Status EncodeGreyPngSideBySide(const GreyImage& left, const GreyImage& right,
                                                     std::vector<std::uint8_t>* bytes,
                                                     Compression compression = Compression::Fast);

// Row `row` of two pictures, `width` samples each, into `left` and `right`. Called
// from two threads at once, for different rows; must not throw.
using PictureRows = std::function<void(std::uint32_t row, std::uint16_t* left, std::uint16_t* right)>;

// The three files EncodeGreyPng makes of each of two pictures of `width` x `height`
// samples (nonzero, width at most 2^27) and EncodeGreyPngSideBySide of both, the same
// bytes, made at once from the rows as `rows` gives them: no picture is held whole and
// each row is filtered once. Results as above; every file is empty on failure.
[[nodiscard]] status::Status EncodeGreyPngTrio(std::uint32_t width, std::uint32_t height, int bitDepth,
                                               const PictureRows& rows, std::vector<std::uint8_t>* left,
                                               std::vector<std::uint8_t>* right, std::vector<std::uint8_t>* both,
                                               Compression compression = Compression::Fast);

}  // namespace encode
