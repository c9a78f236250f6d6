#pragma once
// Test images written to a temporary directory: by the libraries' own encoders where
// they have one, by small writers of ours for PGM/PPM, PFM and DDS.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "status/status.h"

// A fresh directory under TMPDIR, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using Bytes = std::vector<std::uint8_t>;
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// Samples are given one per element, row after row, channels interleaved.
struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::uint16_t> samples{};      // palette images: indices
    std::vector<std::uint8_t> palette{};       // r, g, b per entry
    std::vector<std::uint8_t> transparency{};  // tRNS: alpha per palette entry
    int greyKey = -1;                          // tRNS of a grey image
    int compressionLevel = 6;
};
void WritePng(const std::string& path, const PngImage& image);

struct JpegImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int components = 1;  // 1 grey, 3 RGB, 4 CMYK
    int quality = 100;
    bool progressive = false;
    int restartRows = 0;     // restart markers every that many MCU rows
    bool subsampled = true;  // RGB chroma at libjpeg's default 2x2; false: full resolution
    std::vector<std::uint8_t> samples{};
};
void WriteJpeg(const std::string& path, const JpegImage& image);

struct TiffImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int samplesPerPixel = 1;
    int bits = 8;
    int sampleFormat = 1;            // SAMPLEFORMAT_UINT, _INT or _IEEEFP
    int photometric = 1;             // PHOTOMETRIC_MINISBLACK
    int compression = 1;             // COMPRESSION_NONE
    int predictor = 1;               // PREDICTOR_NONE; _HORIZONTAL or _FLOATINGPOINT with LZW or Deflate
    std::uint32_t tileSize = 0;      // 0: strips
    std::uint32_t tileHeight = 0;    // 0: tileSize
    std::uint32_t rowsPerStrip = 0;  // 0: libtiff's choice
    bool bigEndian = false;          // the file's byte order; libtiff swaps the samples
    bool bigTiff = false;
    bool planar = false;  // each sample a plane of its own (GDAL's INTERLEAVE=BAND)
    Bytes data{};         // packed native-endian samples
};
void WriteTiff(const std::string& path, const TiffImage& image);

// OpenEXR, by the library's own writer. Samples are bit patterns, one per element,
// row after row: half bits, float bits or uint values.
struct ExrChannel {
    std::string name;
    int type = 2;      // Imf::PixelType: 0 UINT, 1 HALF, 2 FLOAT
    int sampling = 1;  // in x and y alike; then (width / sampling) * (height / sampling) samples
    std::vector<std::uint32_t> samples;
};
struct ExrImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int minX = 0;  // the data window's corner
    int minY = 0;
    std::vector<ExrChannel> channels{};
    int compression = 0;          // Imf::Compression
    bool decreasingY = false;     // line order
    std::uint32_t tileWidth = 0;  // 0: scanlines
    std::uint32_t tileHeight = 0;
    bool mipmaps = false;  // tiled: lower levels follow, every sample 0x3C00 (half 1), 1.0f or 7
};
void WriteExr(const std::string& path, const ExrImage& image);

// stb_image_write: BMP (3 or 4 channels), TGA (RLE), HDR (3 channels of floats).
void WriteBmp(const std::string& path, int width, int height, int channels, const Bytes& samples);
void WriteTga(const std::string& path, int width, int height, int channels, const Bytes& samples);
void WriteHdr(const std::string& path, int width, int height, const std::vector<float>& rgb);

// P5 / P6 with the given maxval; 16-bit samples when maxval > 255. `comment` goes
// into the header when not empty.
Bytes PnmBytes(char kind, std::uint32_t width, std::uint32_t height, std::uint32_t maxval,
               const std::vector<std::uint16_t>& samples, const std::string& comment = "");
// "Pf" (1 channel) or "PF" (3 channels); rows given top first, stored bottom-up.
Bytes PfmBytes(std::uint32_t width, std::uint32_t height, int channels, bool littleEndian,
               const std::vector<float>& samples);

// DDS: the 128-byte legacy header, pixel format either a FourCC or bit masks, then
// the texel bytes as given.
struct DdsPixelFormat {
    std::uint32_t flags = 0;
    std::uint32_t fourCc = 0;
    std::uint32_t bits = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // r, g, b, a
};
// With levels > 1 the header announces that many mip levels, all in `texels`.
Bytes DdsBytes(std::uint32_t width, std::uint32_t height, const DdsPixelFormat& format, const Bytes& texels,
               std::uint32_t caps2 = 0, std::uint32_t levels = 1);
// A DX10 file: FourCC "DX10" and the extension header.
Bytes Dds10Bytes(std::uint32_t width, std::uint32_t height, std::uint32_t dxgiFormat, const Bytes& texels,
                 std::uint32_t dimension = 3, std::uint32_t misc = 0, std::uint32_t arraySize = 1);

DdsPixelFormat DdsFourCc(std::uint32_t fourCc);

// Little-endian byte images of values.
Bytes FloatBytes(const std::vector<float>& values);
Bytes U16Bytes(const std::vector<std::uint16_t>& values);

// Half floats whose conversion is easy to get wrong (signed zeros, one, the largest,
// the smallest subnormal and the largest, infinities, the smallest normal), with the
// floats they stand for.
std::vector<std::uint16_t> HalfEdgeBits();
std::vector<float> HalfEdgeValues();

// Loads through LoadImageScaled into a fresh zero-filled buffer.
struct Loaded {
    status::Code result = status::Code::Ok;
    std::string reason;
    std::vector<float> texels;
};
Loaded Load(const std::string& path, std::uint32_t width, std::uint32_t height);

// The value of integer sample k: the float nearest k / max.
inline float Unorm(std::uint32_t k, std::uint32_t max) { return static_cast<float>(k) / static_cast<float>(max); }

// Values of `channels` per texel (1 grey, 2 grey + alpha, 3 RGB, 4 RGBA) as RGBA.
std::vector<float> ToRgba(int channels, const std::vector<float>& values);

// Compares bit patterns (so -0 and NaN payloads count), naming the first mismatches.
::testing::AssertionResult SameBits(std::span<const float> actual, const std::vector<float>& expected);
