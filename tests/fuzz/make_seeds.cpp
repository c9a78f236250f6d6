// Writes the seed corpora of the fuzz targets: small valid images of every layout
// each decoder takes, by the libraries' own encoders where there is one, and
// command lines for the parameter sets. Deterministic: run again, same bytes.
// Every image is decoded back, so a seed the loader refuses is never written.
//   fuzz_make_seeds <corpus directory>

#include <ImfCompression.h>
#include <ImfPixelType.h>
#include <png.h>
#include <stb/stb_image_write.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "../libs/image/image_fixtures.h"
#include "image/decode_image.h"

namespace {

namespace fs = std::filesystem;

fs::path gRoot;

fs::path SeedPath(const std::string& target, const std::string& name) {
    const fs::path dir = gRoot / target;
    fs::create_directories(dir);
    return dir / name;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const Bytes& bytes) { WriteFile(path, std::string(bytes.begin(), bytes.end())); }

void CopySeed(const std::string& from, const std::string& name, const std::string& to) {
    fs::copy_file(gRoot / from / name, SeedPath(to, name), fs::copy_options::overwrite_existing);
}

// A smooth ramp with some texture, different per channel: every sample differs
// from its neighbours, so a decoder that mixes up rows or channels shows it.
unsigned Pattern(unsigned x, unsigned y, unsigned c, unsigned max) {
    const unsigned v = x * 37 + y * 91 + c * 53 + (x * y * 7) % 29;
    return v % (max + 1);
}

Bytes Samples8(unsigned w, unsigned h, unsigned channels) {
    Bytes out;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (unsigned c = 0; c < channels; ++c) out.push_back(static_cast<std::uint8_t>(Pattern(x, y, c, 255)));
    return out;
}

// ---- PNG ----

// The fixtures' own image records give each seed its layout; the pattern fills it.
template <class Image>
struct Seed {
    const char* name;
    Image image;
};

void WritePng(Seed<PngImage> seed) {
    PngImage& image = seed.image;
    if (image.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (unsigned i = 0; i < 16; ++i)
            image.palette.insert(image.palette.end(),
                                 {static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 9),
                                  static_cast<std::uint8_t>(i * i)});
        image.transparency = {0, 64, 128, 200};
    }
    if (image.colourType == PNG_COLOR_TYPE_GRAY && image.bitDepth == 8) image.greyKey = 37;
    unsigned channels = 1;
    if (image.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
    if (image.colourType == PNG_COLOR_TYPE_RGB) channels = 3;
    if (image.colourType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
    const unsigned max = image.colourType == PNG_COLOR_TYPE_PALETTE ? 15 : (1u << image.bitDepth) - 1;
    for (unsigned y = 0; y < image.height; ++y)
        for (unsigned x = 0; x < image.width; ++x)
            for (unsigned c = 0; c < channels; ++c)
                image.samples.push_back(static_cast<std::uint16_t>(Pattern(x, y, c, max)));
    ::WritePng(SeedPath("decode_png", seed.name).string(), image);
}

// ---- JPEG ----

void WriteJpeg(Seed<JpegImage> seed) {
    JpegImage& image = seed.image;
    image.quality = 85;
    image.samples = Samples8(image.width, image.height, static_cast<unsigned>(image.components));
    ::WriteJpeg(SeedPath("decode_jpeg", seed.name).string(), image);
}

// ---- TIFF ----

// Strips of three rows unless tiled.
void WriteTiff(Seed<TiffImage> seed) {
    TiffImage& image = seed.image;
    image.rowsPerStrip = 3;
    const unsigned samples = static_cast<unsigned>(image.samplesPerPixel);
    const unsigned sampleBytes = static_cast<unsigned>(image.bits) / 8;
    image.data.resize(std::size_t{image.width} * image.height * samples * sampleBytes);
    std::uint8_t* out = image.data.data();
    for (unsigned y = 0; y < image.height; ++y)
        for (unsigned x = 0; x < image.width; ++x)
            for (unsigned c = 0; c < samples; ++c, out += sampleBytes) {
                const double real = static_cast<double>(Pattern(x, y, c, 1000)) / 250.0 - 1.5;
                if (image.sampleFormat == SAMPLEFORMAT_IEEEFP && image.bits == 64) {
                    std::memcpy(out, &real, 8);
                } else if (image.sampleFormat == SAMPLEFORMAT_IEEEFP && image.bits == 16) {
                    // A half of the same sign and a similar size: sign, exponent 14 or 15, mantissa.
                    const auto half = static_cast<std::uint16_t>((real < 0 ? 0x8000 : 0) | (0x38 + (x + y) % 8) << 8 |
                                                                 Pattern(x, y, c, 255));
                    std::memcpy(out, &half, 2);
                } else if (image.sampleFormat == SAMPLEFORMAT_IEEEFP) {
                    const float v = static_cast<float>(Pattern(x, y, c, 1000)) / 250.0f - 1.5f;
                    std::memcpy(out, &v, 4);
                } else if (image.bits == 32) {
                    const std::uint32_t v = Pattern(x, y, c, 65535) * 65599u;
                    std::memcpy(out, &v, 4);
                } else if (image.bits == 16) {
                    const auto v = static_cast<std::uint16_t>(Pattern(x, y, c, 65535) * 173);
                    std::memcpy(out, &v, 2);
                } else {
                    *out = static_cast<std::uint8_t>(Pattern(x, y, c, 255));
                }
            }
    ::WriteTiff(SeedPath("decode_tiff", seed.name).string(), image);
}

// ---- BMP, TGA, HDR through stb_image_write ----

void WriteStb(const std::string& target, const std::string& name, unsigned w, unsigned h, unsigned channels) {
    const Bytes samples = Samples8(w, h, channels);
    const std::string path = SeedPath(target, name).string();
    const int iw = static_cast<int>(w), ih = static_cast<int>(h), ic = static_cast<int>(channels);
    int ok = 0;
    if (target == "decode_bmp") ok = stbi_write_bmp(path.c_str(), iw, ih, ic, samples.data());
    if (target == "decode_tga") ok = stbi_write_tga(path.c_str(), iw, ih, ic, samples.data());
    if (target == "decode_hdr") {
        std::vector<float> values;
        for (const std::uint8_t v : samples) values.push_back(static_cast<float>(v) / 32.0f);
        ok = stbi_write_hdr(path.c_str(), iw, ih, ic, values.data());
    }
    if (!ok) throw std::runtime_error("stb_image_write failed for " + name);
}

// ---- PGM / PPM, PFM, DDS: the image fixtures' byte builders ----

void WritePnm(const std::string& name, char kind, unsigned w, unsigned h, unsigned maxval, const std::string& comment) {
    const unsigned channels = kind == '6' ? 3 : 1;
    std::vector<std::uint16_t> samples;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (unsigned c = 0; c < channels; ++c)
                samples.push_back(static_cast<std::uint16_t>(Pattern(x, y, c, maxval)));
    WriteFile(SeedPath("decode_pnm", name), PnmBytes(kind, w, h, maxval, samples, comment));
}

void WritePfm(const std::string& name, bool rgb, unsigned w, unsigned h, bool littleEndian, bool specialValues) {
    const unsigned channels = rgb ? 3 : 1;
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -0.0f,
                              std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::max()};
    std::vector<float> samples;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (unsigned c = 0; c < channels; ++c) {
                float v = static_cast<float>(Pattern(x, y, c, 1000)) / 100.0f - 2.0f;
                if (specialValues && (x + y + c) % 3 == 0) v = specials[(x + y * w + c) % 5];
                samples.push_back(v);
            }
    WriteFile(SeedPath("decode_pfm", name), PfmBytes(w, h, static_cast<int>(channels), littleEndian, samples));
}

constexpr std::uint32_t kFourCcFlag = 0x4, kRgbFlag = 0x40, kAlphaFlag = 0x1, kLuminanceFlag = 0x20000;

// Texel bytes of a w x h level; `bytesPerTexel` bytes of pattern each.
Bytes DdsTexels(unsigned w, unsigned h, unsigned bytesPerTexel, bool floats) {
    Bytes out;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            if (floats) {
                std::vector<float> values;
                for (unsigned c = 0; c < bytesPerTexel / 4; ++c)
                    values.push_back(static_cast<float>(Pattern(x, y, c, 1000)) / 1000.0f);
                const Bytes bytes = FloatBytes(values);
                out.insert(out.end(), bytes.begin(), bytes.end());
            } else {
                for (unsigned c = 0; c < bytesPerTexel; ++c)
                    out.push_back(static_cast<std::uint8_t>(Pattern(x, y, c, 255)));
            }
        }
    return out;
}

void WriteDds(const std::string& name, unsigned w, unsigned h, const DdsPixelFormat& format, unsigned bytesPerTexel,
              bool floats, bool mips) {
    unsigned levels = 1;
    if (mips)
        for (unsigned s = std::max(w, h); s > 1; s /= 2) ++levels;
    Bytes texels;
    for (unsigned level = 0, lw = w, lh = h; level < levels;
         ++level, lw = std::max(1u, lw / 2), lh = std::max(1u, lh / 2)) {
        const Bytes bytes = DdsTexels(lw, lh, bytesPerTexel, floats);
        texels.insert(texels.end(), bytes.begin(), bytes.end());
    }
    WriteFile(SeedPath("decode_dds", name), DdsBytes(w, h, format, texels, 0, levels));
}

void WriteDds10(const std::string& name, unsigned w, unsigned h, std::uint32_t dxgi, unsigned bytesPerTexel,
                bool floats) {
    WriteFile(SeedPath("decode_dds", name), Dds10Bytes(w, h, dxgi, DdsTexels(w, h, bytesPerTexel, floats)));
}

// ---- OpenEXR through the library's own writer ----

// One channel per letter of `channels`, all of one Imf::PixelType.
void WriteExr(Seed<ExrImage> seed, const char* channels, int type) {
    ExrImage& image = seed.image;
    for (unsigned c = 0; channels[c] != '\0'; ++c) {
        ExrChannel channel;
        channel.name = std::string(1, channels[c]);
        channel.type = type;
        for (unsigned y = 0; y < image.height; ++y)
            for (unsigned x = 0; x < image.width; ++x) {
                const float v = static_cast<float>(Pattern(x, y, c, 1000)) / 250.0f - 1.5f;
                std::uint32_t bits = 0;
                std::memcpy(&bits, &v, 4);
                // Half: the float's sign, exponent and leading mantissa bits, rebiased.
                if (type == Imf::HALF) bits = (bits >> 16 & 0x8000) | (v == 0 ? 0 : ((bits >> 13) - 0x1C000) & 0x7FFF);
                if (type == Imf::UINT) bits = Pattern(x, y, c, 65535) * 65599u;
                channel.samples.push_back(bits);
            }
        image.channels.push_back(channel);
    }
    ::WriteExr(SeedPath("decode_exr", seed.name).string(), image);
}

// ---- RAW: the samples alone, told by the name ----

void WriteRaw(const std::string& name, unsigned n, unsigned sampleBytes) {
    Bytes out;
    for (unsigned y = 0; y < n; ++y)
        for (unsigned x = 0; x < n; ++x) {
            if (sampleBytes == 4) {
                const Bytes bytes = FloatBytes({static_cast<float>(Pattern(x, y, 0, 1000)) / 100.0f - 3.0f});
                out.insert(out.end(), bytes.begin(), bytes.end());
            } else if (sampleBytes == 2) {
                const Bytes bytes = U16Bytes({static_cast<std::uint16_t>(Pattern(x, y, 0, 65535) * 211)});
                out.insert(out.end(), bytes.begin(), bytes.end());
            } else {
                out.push_back(static_cast<std::uint8_t>(Pattern(x, y, 0, 255)));
            }
        }
    WriteFile(SeedPath("decode_raw", name), out);
}

// ---- command lines ----

void WriteLines(const std::string& target, const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "line-%02zu.txt", i);
        WriteFile(SeedPath(target, name), lines[i]);
    }
}

// Seeds only help when they get past the header checks.
void CheckImagesDecode() {
    for (const fs::directory_entry& dir : fs::directory_iterator(gRoot)) {
        if (dir.path().filename().string().rfind("params_", 0) == 0) continue;
        for (const fs::directory_entry& file : fs::directory_iterator(dir.path())) {
            // Inputs the fuzzers found are mostly files the loader must refuse.
            if (file.path().filename().string().rfind("regress-", 0) == 0) continue;
            image::DecodedImage image;
            if (!image::DecodeImageFile(file.path().c_str(), &image).ok())
                throw std::runtime_error("the loader refuses " + file.path().string());
        }
    }
}

void WriteAll() {
    for (const Seed<PngImage>& s : {
             Seed<PngImage>{"grey8.png", {.width = 16, .height = 16, .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 8}},
             Seed<PngImage>{"grey1.png", {.width = 13, .height = 3, .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1}},
             Seed<PngImage>{"grey4.png", {.width = 5, .height = 5, .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 4}},
             Seed<PngImage>{"grey-alpha16-interlaced.png",
                            {.width = 9,
                            .height = 9,
                            .colourType = PNG_COLOR_TYPE_GRAY_ALPHA,
                            .bitDepth = 16,
                            .interlaced = true}},
             Seed<PngImage>{"rgb8.png", {.width = 7, .height = 5, .colourType = PNG_COLOR_TYPE_RGB, .bitDepth = 8}},
             Seed<PngImage>{"rgba16.png",
                            {.width = 4, .height = 4, .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16}},
             Seed<PngImage>{"palette-trns.png",
                            {.width = 8, .height = 8, .colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 4}},
             Seed<PngImage>{
                 "palette-interlaced.png",
                 {.width = 11, .height = 6, .colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 8, .interlaced = true}},
         })
        WritePng(s);

    for (const Seed<JpegImage>& s : {
             Seed<JpegImage>{"grey.jpg", {.width = 16, .height = 16, .components = 1, .subsampled = false}},
             Seed<JpegImage>{"rgb-444.jpg", {.width = 9, .height = 7, .components = 3, .subsampled = false}},
             Seed<JpegImage>{"rgb-420-restart.jpg",
                             {.width = 17, .height = 13, .components = 3, .restartRows = 1, .subsampled = true}},
             Seed<JpegImage>{"rgb-progressive.jpg",
                             {.width = 16, .height = 8, .components = 3, .progressive = true, .subsampled = true}},
             Seed<JpegImage>{"grey-progressive.jpg",
                             {.width = 8, .height = 9, .components = 1, .progressive = true, .subsampled = false}},
         })
        WriteJpeg(s);

    for (const Seed<TiffImage>& s : {
             Seed<TiffImage>{"grey8.tif",
                             {.width = 16,
                             .height = 16,
                             .samplesPerPixel = 1,
                             .bits = 8,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_NONE}},
             Seed<TiffImage>{"grey8-miniswhite-lzw.tif",
                             {.width = 9,
                             .height = 7,
                             .samplesPerPixel = 1,
                             .bits = 8,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_MINISWHITE,
                             .compression = COMPRESSION_LZW}},
             Seed<TiffImage>{"grey-alpha16.tif",
                             {.width = 6,
                             .height = 5,
                             .samplesPerPixel = 2,
                             .bits = 16,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_NONE}},
             Seed<TiffImage>{"rgb16-deflate.tif",
                             {.width = 7,
                             .height = 4,
                             .samplesPerPixel = 3,
                             .bits = 16,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_RGB,
                             .compression = COMPRESSION_ADOBE_DEFLATE}},
             Seed<TiffImage>{"rgba8-packbits.tif",
                             {.width = 5,
                             .height = 5,
                             .samplesPerPixel = 4,
                             .bits = 8,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_RGB,
                             .compression = COMPRESSION_PACKBITS}},
             Seed<TiffImage>{"float-tiled.tif",
                             {.width = 20,
                             .height = 18,
                             .samplesPerPixel = 1,
                             .bits = 32,
                             .sampleFormat = SAMPLEFORMAT_IEEEFP,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_ADOBE_DEFLATE,
                             .tileSize = 16}},
             Seed<TiffImage>{"int16-lzw-predictor.tif",
                             {.width = 12,
                             .height = 9,
                             .samplesPerPixel = 1,
                             .bits = 16,
                             .sampleFormat = SAMPLEFORMAT_INT,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_LZW,
                             .predictor = PREDICTOR_HORIZONTAL}},
             Seed<TiffImage>{"int8-grey-alpha-bigtiff.tif",
                             {.width = 6,
                             .height = 6,
                             .samplesPerPixel = 2,
                             .bits = 8,
                             .sampleFormat = SAMPLEFORMAT_INT,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_NONE,
                             .bigTiff = true}},
             Seed<TiffImage>{"int32-tiled-big-endian.tif",
                             {.width = 17,
                             .height = 16,
                             .samplesPerPixel = 1,
                             .bits = 32,
                             .sampleFormat = SAMPLEFORMAT_INT,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_ADOBE_DEFLATE,
                             .tileSize = 16,
                             .bigEndian = true}},
             Seed<TiffImage>{"uint32-miniswhite.tif",
                             {.width = 5,
                             .height = 4,
                             .samplesPerPixel = 1,
                             .bits = 32,
                             .sampleFormat = SAMPLEFORMAT_UINT,
                             .photometric = PHOTOMETRIC_MINISWHITE,
                             .compression = COMPRESSION_NONE}},
             Seed<TiffImage>{"half-rgb-predictor.tif",
                             {.width = 7,
                             .height = 5,
                             .samplesPerPixel = 3,
                             .bits = 16,
                             .sampleFormat = SAMPLEFORMAT_IEEEFP,
                             .photometric = PHOTOMETRIC_RGB,
                             .compression = COMPRESSION_ADOBE_DEFLATE,
                             .predictor = PREDICTOR_FLOATINGPOINT}},
             Seed<TiffImage>{"double-tiled-predictor-big-endian.tif",
                             {.width = 16,
                             .height = 17,
                             .samplesPerPixel = 1,
                             .bits = 64,
                             .sampleFormat = SAMPLEFORMAT_IEEEFP,
                             .photometric = PHOTOMETRIC_MINISBLACK,
                             .compression = COMPRESSION_LZW,
                             .predictor = PREDICTOR_FLOATINGPOINT,
                             .tileSize = 16,
                             .bigEndian = true}},
         })
        WriteTiff(s);

    WriteStb("decode_bmp", "rgb.bmp", 8, 8, 3);
    WriteStb("decode_bmp", "rgba.bmp", 5, 3, 4);
    WriteStb("decode_bmp", "grey.bmp", 7, 2, 1);
    stbi_write_tga_with_rle = 1;
    WriteStb("decode_tga", "rgb-rle.tga", 8, 8, 3);
    WriteStb("decode_tga", "grey-rle.tga", 6, 4, 1);
    stbi_write_tga_with_rle = 0;
    WriteStb("decode_tga", "rgba.tga", 5, 3, 4);
    WriteStb("decode_tga", "grey-alpha.tga", 3, 3, 2);
    WriteStb("decode_hdr", "rgb-rle.hdr", 16, 4, 3);
    WriteStb("decode_hdr", "rgb-flat.hdr", 5, 3, 3);
    WriteStb("decode_hdr", "grey.hdr", 4, 4, 1);

    WritePnm("grey8.pgm", '5', 16, 16, 255, "");
    WritePnm("grey-maxval1000.pgm", '5', 7, 5, 1000, "sixteen-bit samples");
    WritePnm("grey-maxval3.pgm", '5', 6, 2, 3, "");
    WritePnm("rgb8.ppm", '6', 5, 4, 255, "a comment");
    WritePnm("rgb16.ppm", '6', 3, 3, 65535, "");

    WritePfm("grey-le.pfm", false, 8, 8, true, false);
    WritePfm("grey-be-specials.pfm", false, 5, 3, false, true);
    WritePfm("rgb-le.pfm", true, 4, 3, true, true);
    WritePfm("rgb-be.pfm", true, 3, 5, false, false);

    // The tool's own output: A32B32G32R32F with its mip chain.
    WriteDds("rgba32f-mips.dds", 8, 8, {kFourCcFlag, 116, 0, {0, 0, 0, 0}}, 16, true, true);
    WriteDds("r32f.dds", 5, 3, {kFourCcFlag, 114, 0, {0, 0, 0, 0}}, 4, true, false);
    WriteDds("rgba16.dds", 4, 4, {kFourCcFlag, 36, 0, {0, 0, 0, 0}}, 8, false, false);
    WriteDds("rgba16f.dds", 3, 5, {kFourCcFlag, 113, 0, {0, 0, 0, 0}}, 8, false, false);
    WriteDds("r16f.dds", 6, 2, {kFourCcFlag, 111, 0, {0, 0, 0, 0}}, 2, false, false);
    WriteDds("l8.dds", 8, 8, {kLuminanceFlag, 0, 8, {0xFF, 0, 0, 0}}, 1, false, true);
    WriteDds("l16.dds", 4, 3, {kLuminanceFlag, 0, 16, {0xFFFF, 0, 0, 0}}, 2, false, false);
    WriteDds("bgra8.dds", 4, 4, {kRgbFlag | kAlphaFlag, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, 4, false, false);
    WriteDds("bgrx8.dds", 3, 3, {kRgbFlag, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}}, 4, false, false);
    WriteDds("rgbx8.dds", 2, 5, {kRgbFlag, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}}, 4, false, false);
    WriteDds10("dx10-rgba8.dds", 4, 4, 28, 4, false);
    WriteDds10("dx10-r32f.dds", 3, 3, 41, 4, true);
    WriteDds10("dx10-bgra8-srgb.dds", 2, 2, 91, 4, false);

    struct ExrSeed {
        Seed<ExrImage> seed;
        const char* channels;
        int type;
    };
    for (const ExrSeed& s : {
             ExrSeed{{"half-r.exr", {.width = 8, .height = 8, .compression = Imf::NO_COMPRESSION}}, "R", Imf::HALF},
             ExrSeed{{"float-rgba-zip.exr", {.width = 7, .height = 5, .compression = Imf::ZIP_COMPRESSION}},
                     "RGBA",
                     Imf::FLOAT},
             ExrSeed{
                 {"uint-y-rle.exr", {.width = 6, .height = 6, .compression = Imf::RLE_COMPRESSION}}, "Y", Imf::UINT},
             ExrSeed{{"half-ra-zips-decreasing.exr",
                      {.width = 5,
                      .height = 7,
                      .minX = -2,
                      .minY = 3,
                      .compression = Imf::ZIPS_COMPRESSION,
                      .decreasingY = true}},
                     "RA",
                     Imf::HALF},
             ExrSeed{{"half-ra-piz-tiles.exr",
                      {.width = 9, .height = 7, .compression = Imf::PIZ_COMPRESSION, .tileWidth = 4, .tileHeight = 3}},
                     "AR",
                     Imf::HALF},
             ExrSeed{{"float-pxr24.exr", {.width = 8, .height = 8, .compression = Imf::PXR24_COMPRESSION}},
                     "R",
                     Imf::FLOAT},
             ExrSeed{{"half-b44.exr", {.width = 8, .height = 8, .compression = Imf::B44_COMPRESSION}}, "R", Imf::HALF},
             ExrSeed{{"half-b44a-tiles.exr",
                      {.width = 9, .height = 9, .compression = Imf::B44A_COMPRESSION, .tileWidth = 8, .tileHeight = 8}},
                     "R",
                     Imf::HALF},
             ExrSeed{{"float-z-mipmaps.exr",
                      {.width = 6,
                      .height = 5,
                      .compression = Imf::NO_COMPRESSION,
                      .tileWidth = 3,
                      .tileHeight = 2,
                      .mipmaps = true}},
                     "Z",
                     Imf::FLOAT},
         })
        WriteExr(s.seed, s.channels, s.type);

    WriteRaw("heights-8x8.r8", 8, 1);
    WriteRaw("heights-6x6.r16", 6, 2);
    WriteRaw("heights-5x5.r32", 5, 4);

    // The loader gets one of each format (RAW needs a name, which its input lacks).
    for (const auto& [target, name] : std::vector<std::pair<std::string, std::string>>{
             {"decode_png", "grey8.png"},
             {"decode_png", "palette-interlaced.png"},
             {"decode_jpeg", "grey.jpg"},
             {"decode_jpeg", "rgb-progressive.jpg"},
             {"decode_tiff", "grey8.tif"},
             {"decode_tiff", "float-tiled.tif"},
             {"decode_tiff", "int16-lzw-predictor.tif"},
             {"decode_bmp", "rgb.bmp"},
             {"decode_tga", "rgb-rle.tga"},
             {"decode_hdr", "rgb-rle.hdr"},
             {"decode_pnm", "grey8.pgm"},
             {"decode_pnm", "rgb16.ppm"},
             {"decode_pfm", "grey-le.pfm"},
             {"decode_dds", "rgba32f-mips.dds"},
             {"decode_dds", "l8.dds"},
             {"decode_exr", "half-ra-piz-tiles.exr"},
             {"decode_exr", "float-rgba-zip.exr"},
         })
        CopySeed(target, name, "load_image");

    WriteLines("params_tool", {
                                  "-H heights.png -T trees.png",
                                  "-H maps/h.png -T maps/t.png -r 4096 -h 600 -s 16000 -o out/horizon.dds",
                                  "--HMfname=\"my maps/h.tif\" --TMfname=t.png --OutRez=2048 --HeightZero=\"-35\"",
                                  "-Hh.pgm -Tt.pgm -r64 -z \"-5\" --Height = 1e40",
                                  "--HMfname = a --TMfname= b -o \"x [y] = z\" --TerraSize=nan",
                                  "-H a -T b --Outfname",
                                  "-H a -T \"b",
                                  "-H a -T b -x",
                                  "-T only.png",
                                  "-H a -T b [ ] = --OutRez=-0",
                              });
    WriteLines("params_nested", {
                                    "in.txt out.txt -v",
                                    "in.txt -q --shape=branch [ 12 -a 45 -f --child=twig [ 3 --end=leaf [ 0.5 -t ] ] ]",
                                    "-i in.txt --shape=leaf [ 2 ] -vq",
                                    "in.txt --shape=branch [ 5 -c leaf [ 1 ] ] out.txt",
                                    "in.txt --shape=branch [ 5 -c twig [ 1 -e bud ] ]",
                                    "in.txt --shape=square",
                                    "in.txt --shape=branch [ 5 -c twig [ ]",
                                    "\"in file.txt\" \"out [1].txt\" --a-long-name-for-the-usage=\"x = y\"",
                                    "--unknown=3 -z in.txt",
                                    "-S branch [ -s 3 ] in.txt",
                                });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    gRoot = argv[1];
    try {
        WriteAll();
        CheckImagesDecode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
