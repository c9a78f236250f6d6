#include "export/output_memory.h"

#include <algorithm>

#include "os/memory_budget.h"

namespace exporter {

namespace {

// Rows an encoder holds at once, at most: an EXR chunk of 16 rows with its packed
// copy, a TIFF strip, PNG filter rows.
constexpr std::uint64_t kWorkingRows = 64;
// An encoder's own state: deflate windows and tables, headers.
constexpr std::uint64_t kEncoderStateBytes = 4u << 20;

std::uint64_t Add(std::uint64_t a, std::uint64_t b) { return os::SaturatingAdd(a, b); }
std::uint64_t Mul(std::uint64_t a, std::uint64_t b) { return os::SaturatingMul(a, b); }

// One file made in memory: the file, the encoder's rows and state.
std::uint64_t EncodingBytes(std::uint64_t rawBytes, std::uint64_t rows) {
    const std::uint64_t rowBytes = rawBytes / std::max<std::uint64_t>(rows, 1) + 1;
    return Add(encode::EncodedBytesBound(rawBytes, rows), Add(Mul(rowBytes, kWorkingRows), kEncoderStateBytes));
}

// The shrunk previews as WritePreviews makes them: both directions' float levels and
// images at once, then both 16-bit images, the side-by-side one, and the three
// files with their packed bytes, encoded at once. `pixels` and `rows`: one preview's.
std::uint64_t PreviewBytes(std::uint64_t texels, std::uint64_t pixels, std::uint64_t rows, std::uint64_t sampleBytes) {
    const std::uint64_t levels = Mul(Add(Mul(texels, 4), Mul(pixels, 6)), 2);
    const std::uint64_t packed = sampleBytes == 1 ? Mul(pixels, 4) : 0;
    const std::uint64_t one = EncodingBytes(Add(Mul(pixels, sampleBytes), rows), rows);
    const std::uint64_t both = Add(Add(Mul(pixels, 8), packed),
                                   Add(Mul(one, 2), EncodingBytes(Add(Mul(Mul(pixels, 2), sampleBytes), rows), rows)));
    return std::max(levels, both);
}

// The previews at full size, made at once from the map's rows: the three files, the
// bottom halves beside them and the deflaters' own buffers, each at most a file.
std::uint64_t PreviewTrioBytes(std::uint64_t pixels, std::uint64_t rows, std::uint64_t sampleBytes) {
    const std::uint64_t one = EncodingBytes(Add(Mul(pixels, sampleBytes), rows), rows);
    const std::uint64_t both = EncodingBytes(Add(Mul(Mul(pixels, 2), sampleBytes), rows), rows);
    return Mul(Add(Mul(one, 2), both), 2);
}

// The height preview: its float levels, its image and its file, the bottom half of
// whose rows is deflated apart until joined.
std::uint64_t HeightPngBytes(std::uint64_t texels, std::uint64_t pixels, std::uint64_t rows,
                             std::uint64_t sampleBytes) {
    const std::uint64_t raw = Add(Mul(pixels, sampleBytes), rows);
    return Add(Add(Mul(texels, 4), Add(Mul(pixels, 2), encode::EncodedBytesBound(raw, rows) / 2)),
               EncodingBytes(raw, rows));
}

// One float file streamed from planes held elsewhere: a round of rows and their
// packed copies (an EXR round packs up to 8 MB of rows), the encoders' state.
std::uint64_t StreamedFileBytes(std::uint64_t rowBytes) {
    return Add(Add(Mul(rowBytes, 2 * kWorkingRows), 24u << 20), kEncoderStateBytes);
}

}  // namespace

std::uint64_t WritingPeakBytes(const ExportOptions& o, std::uint32_t width, std::uint32_t height) {
    const std::uint64_t texels = Mul(width, height);
    const std::uint64_t shrink = std::max<std::uint32_t>(o.shrink, 1);
    const std::uint64_t rows = (height + shrink - 1) / shrink;
    const std::uint64_t pixels = Mul((width + shrink - 1) / shrink, rows);
    const std::uint64_t sampleBytes = o.bitDepth == 16 ? 2 : 1;
    std::uint64_t step = 0;
    if (!o.previewPrefix.empty())
        step = std::max(step, shrink > 1 ? PreviewBytes(texels, pixels, rows, sampleBytes)
                                         : PreviewTrioBytes(pixels, rows, sampleBytes));
    if (!o.heightPng.empty()) step = std::max(step, HeightPngBytes(texels, pixels, rows, sampleBytes));
    if (!o.channelFiles.empty()) step = std::max(step, StreamedFileBytes(Mul(width, 12)));
    // The shaded picture is made while the height map loads, with the angles, and
    // held to the end: shrunk, from float levels; a bit a texel for the shadows
    // told last; then its file as the height preview's.
    std::uint64_t held = o.angleFiles.empty() ? 0 : Mul(texels, 10);  // degrees and a kind byte, both ways
    std::uint64_t making = 0;
    if (!o.shadeFile.empty()) {
        held = Add(held, Mul(pixels, 2));
        making = Add(shrink > 1 ? Mul(texels, 4) : 0, texels / 8 + height);
        const std::uint64_t raw = Add(Mul(pixels, sampleBytes), rows);
        step = std::max(step, Add(encode::EncodedBytesBound(raw, rows) / 2, EncodingBytes(raw, rows)));
    }
    // The angle files stream from the angles.
    if (!o.angleFiles.empty()) step = std::max(step, StreamedFileBytes(Mul(width, 16)));
    return Add(held, std::max(step, making));
}

}  // namespace exporter
