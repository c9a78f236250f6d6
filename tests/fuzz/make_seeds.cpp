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

#include "../platform/image/image_fixtures.h"
#include "platform/image/decode_image.h"

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

struct PngSeed {
    const char* name;
    unsigned width, height;
    int colourType, bitDepth;
    bool interlaced;
};

void WritePng(const PngSeed& seed) {
    PngImage image;
    image.width = seed.width;
    image.height = seed.height;
    image.colourType = seed.colourType;
    image.bitDepth = seed.bitDepth;
    image.interlaced = seed.interlaced;
    if (seed.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (unsigned i = 0; i < 16; ++i)
            image.palette.insert(image.palette.end(),
                                 {static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 9),
                                  static_cast<std::uint8_t>(i * i)});
        image.transparency = {0, 64, 128, 200};
    }
    if (seed.colourType == PNG_COLOR_TYPE_GRAY && seed.bitDepth == 8) image.greyKey = 37;
    unsigned channels = 1;
    if (seed.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
    if (seed.colourType == PNG_COLOR_TYPE_RGB) channels = 3;
    if (seed.colourType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
    const unsigned max = seed.colourType == PNG_COLOR_TYPE_PALETTE ? 15 : (1u << seed.bitDepth) - 1;
    for (unsigned y = 0; y < seed.height; ++y)
        for (unsigned x = 0; x < seed.width; ++x)
            for (unsigned c = 0; c < channels; ++c)
                image.samples.push_back(static_cast<std::uint16_t>(Pattern(x, y, c, max)));
    ::WritePng(SeedPath("decode_png", seed.name).string(), image);
}

// ---- JPEG ----

struct JpegSeed {
    const char* name;
    unsigned width, height;
    int components;
    bool progressive;
    int restartRows;
    bool subsampled;
};

void WriteJpeg(const JpegSeed& seed) {
    JpegImage image;
    image.width = seed.width;
    image.height = seed.height;
    image.components = seed.components;
    image.quality = 85;
    image.progressive = seed.progressive;
    image.restartRows = seed.restartRows;
    image.subsampled = seed.subsampled;
    image.samples = Samples8(seed.width, seed.height, static_cast<unsigned>(seed.components));
    ::WriteJpeg(SeedPath("decode_jpeg", seed.name).string(), image);
}

// ---- TIFF ----

struct TiffSeed {
    const char* name;
    unsigned width, height;
    unsigned samples;  // 2 and 4 carry alpha
    unsigned bits;
    std::uint16_t sampleFormat;
    std::uint16_t photometric;
    std::uint16_t compression;
    unsigned tile;  // 0: strips of three rows
    int predictor = PREDICTOR_NONE;
    bool bigEndian = false;
    bool bigTiff = false;
};

void WriteTiff(const TiffSeed& seed) {
    TiffImage image;
    image.width = seed.width;
    image.height = seed.height;
    image.samplesPerPixel = static_cast<int>(seed.samples);
    image.bits = static_cast<int>(seed.bits);
    image.sampleFormat = seed.sampleFormat;
    image.photometric = seed.photometric;
    image.compression = seed.compression;
    image.tileSize = seed.tile;
    image.rowsPerStrip = 3;
    image.predictor = seed.predictor;
    image.bigEndian = seed.bigEndian;
    image.bigTiff = seed.bigTiff;
    const unsigned sampleBytes = seed.bits / 8;
    image.data.resize(std::size_t{seed.width} * seed.height * seed.samples * sampleBytes);
    std::uint8_t* out = image.data.data();
    for (unsigned y = 0; y < seed.height; ++y)
        for (unsigned x = 0; x < seed.width; ++x)
            for (unsigned c = 0; c < seed.samples; ++c, out += sampleBytes) {
                const double real = static_cast<double>(Pattern(x, y, c, 1000)) / 250.0 - 1.5;
                if (seed.sampleFormat == SAMPLEFORMAT_IEEEFP && seed.bits == 64) {
                    std::memcpy(out, &real, 8);
                } else if (seed.sampleFormat == SAMPLEFORMAT_IEEEFP && seed.bits == 16) {
                    // A half of the same sign and a similar size: sign, exponent 14 or 15, mantissa.
                    const auto half = static_cast<std::uint16_t>((real < 0 ? 0x8000 : 0) | (0x38 + (x + y) % 8) << 8 |
                                                                 Pattern(x, y, c, 255));
                    std::memcpy(out, &half, 2);
                } else if (seed.sampleFormat == SAMPLEFORMAT_IEEEFP) {
                    const float v = static_cast<float>(Pattern(x, y, c, 1000)) / 250.0f - 1.5f;
                    std::memcpy(out, &v, 4);
                } else if (seed.bits == 32) {
                    const std::uint32_t v = Pattern(x, y, c, 65535) * 65599u;
                    std::memcpy(out, &v, 4);
                } else if (seed.bits == 16) {
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

struct ExrSeed {
    const char* name;
    unsigned width, height;
    const char* channels;  // one letter each
    int type;              // Imf::PixelType of every channel
    int compression;       // Imf::Compression
    unsigned tileWidth = 0, tileHeight = 0;
    bool mipmaps = false;
    bool decreasingY = false;
    int minX = 0, minY = 0;
};

void WriteExr(const ExrSeed& seed) {
    ExrImage image;
    image.width = seed.width;
    image.height = seed.height;
    image.minX = seed.minX;
    image.minY = seed.minY;
    image.compression = seed.compression;
    image.tileWidth = seed.tileWidth;
    image.tileHeight = seed.tileHeight;
    image.mipmaps = seed.mipmaps;
    image.decreasingY = seed.decreasingY;
    for (unsigned c = 0; seed.channels[c] != '\0'; ++c) {
        ExrChannel channel;
        channel.name = std::string(1, seed.channels[c]);
        channel.type = seed.type;
        for (unsigned y = 0; y < seed.height; ++y)
            for (unsigned x = 0; x < seed.width; ++x) {
                const float v = static_cast<float>(Pattern(x, y, c, 1000)) / 250.0f - 1.5f;
                std::uint32_t bits = 0;
                std::memcpy(&bits, &v, 4);
                // Half: the float's sign, exponent and leading mantissa bits, rebiased.
                if (seed.type == Imf::HALF)
                    bits = (bits >> 16 & 0x8000) | (v == 0 ? 0 : ((bits >> 13) - 0x1C000) & 0x7FFF);
                if (seed.type == Imf::UINT) bits = Pattern(x, y, c, 65535) * 65599u;
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
            if (DecodeImageFile(file.path().c_str(), &image) != S_OK)
                throw std::runtime_error("the loader refuses " + file.path().string());
        }
    }
}

void WriteAll() {
    for (const PngSeed& s : {
             PngSeed{"grey8.png", 16, 16, PNG_COLOR_TYPE_GRAY, 8, false},
             PngSeed{"grey1.png", 13, 3, PNG_COLOR_TYPE_GRAY, 1, false},
             PngSeed{"grey4.png", 5, 5, PNG_COLOR_TYPE_GRAY, 4, false},
             PngSeed{"grey-alpha16-interlaced.png", 9, 9, PNG_COLOR_TYPE_GRAY_ALPHA, 16, true},
             PngSeed{"rgb8.png", 7, 5, PNG_COLOR_TYPE_RGB, 8, false},
             PngSeed{"rgba16.png", 4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 16, false},
             PngSeed{"palette-trns.png", 8, 8, PNG_COLOR_TYPE_PALETTE, 4, false},
             PngSeed{"palette-interlaced.png", 11, 6, PNG_COLOR_TYPE_PALETTE, 8, true},
         })
        WritePng(s);

    for (const JpegSeed& s : {
             JpegSeed{"grey.jpg", 16, 16, 1, false, 0, false},
             JpegSeed{"rgb-444.jpg", 9, 7, 3, false, 0, false},
             JpegSeed{"rgb-420-restart.jpg", 17, 13, 3, false, 1, true},
             JpegSeed{"rgb-progressive.jpg", 16, 8, 3, true, 0, true},
             JpegSeed{"grey-progressive.jpg", 8, 9, 1, true, 0, false},
         })
        WriteJpeg(s);

    for (const TiffSeed& s : {
             TiffSeed{"grey8.tif", 16, 16, 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
             TiffSeed{"grey8-miniswhite-lzw.tif", 9, 7, 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISWHITE,
                      COMPRESSION_LZW, 0},
             TiffSeed{"grey-alpha16.tif", 6, 5, 2, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
             TiffSeed{"rgb16-deflate.tif", 7, 4, 3, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE,
                      0},
             TiffSeed{"rgba8-packbits.tif", 5, 5, 4, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, 0},
             TiffSeed{"float-tiled.tif", 20, 18, 1, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK,
                      COMPRESSION_ADOBE_DEFLATE, 16},
             TiffSeed{"int16-lzw-predictor.tif", 12, 9, 1, 16, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK,
                      COMPRESSION_LZW, 0, PREDICTOR_HORIZONTAL},
             TiffSeed{"int8-grey-alpha-bigtiff.tif", 6, 6, 2, 8, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK,
                      COMPRESSION_NONE, 0, PREDICTOR_NONE, false, true},
             TiffSeed{"int32-tiled-big-endian.tif", 17, 16, 1, 32, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK,
                      COMPRESSION_ADOBE_DEFLATE, 16, PREDICTOR_NONE, true},
             TiffSeed{"uint32-miniswhite.tif", 5, 4, 1, 32, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE,
                      0},
             TiffSeed{"half-rgb-predictor.tif", 7, 5, 3, 16, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_RGB,
                      COMPRESSION_ADOBE_DEFLATE, 0, PREDICTOR_FLOATINGPOINT},
             TiffSeed{"double-tiled-predictor-big-endian.tif", 16, 17, 1, 64, SAMPLEFORMAT_IEEEFP,
                      PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 16, PREDICTOR_FLOATINGPOINT, true},
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

    for (const ExrSeed& s : {
             ExrSeed{"half-r.exr", 8, 8, "R", Imf::HALF, Imf::NO_COMPRESSION},
             ExrSeed{"float-rgba-zip.exr", 7, 5, "RGBA", Imf::FLOAT, Imf::ZIP_COMPRESSION},
             ExrSeed{"uint-y-rle.exr", 6, 6, "Y", Imf::UINT, Imf::RLE_COMPRESSION},
             ExrSeed{"half-ra-zips-decreasing.exr", 5, 7, "RA", Imf::HALF, Imf::ZIPS_COMPRESSION, 0, 0, false, true, -2,
                     3},
             ExrSeed{"half-ra-piz-tiles.exr", 9, 7, "AR", Imf::HALF, Imf::PIZ_COMPRESSION, 4, 3},
             ExrSeed{"float-pxr24.exr", 8, 8, "R", Imf::FLOAT, Imf::PXR24_COMPRESSION},
             ExrSeed{"half-b44.exr", 8, 8, "R", Imf::HALF, Imf::B44_COMPRESSION},
             ExrSeed{"half-b44a-tiles.exr", 9, 9, "R", Imf::HALF, Imf::B44A_COMPRESSION, 8, 8},
             ExrSeed{"float-z-mipmaps.exr", 6, 5, "Z", Imf::FLOAT, Imf::NO_COMPRESSION, 3, 2, true},
         })
        WriteExr(s);

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
