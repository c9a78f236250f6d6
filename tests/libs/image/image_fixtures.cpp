#include "image_fixtures.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <ImfTiledOutputFile.h>
#include <png.h>
#include <stb/stb_image_write.h>
#include <tiffio.h>

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>

#include "image/load_image.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr OpenForWriting(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) throw std::runtime_error("cannot create " + path);
    return file;
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// --- PNG: setjmp'd writer kept free of objects with destructors.

[[noreturn]] void OnPngWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnPngWriteWarning(png_structp, png_const_charp) {}

struct PngWriteArgs {
    const PngImage* image;
    png_colorp palette;
    int paletteSize;
    png_color_16* key;
    png_bytepp rows;
    std::FILE* file;
};

bool WritePngPlain(png_structp png, png_infop info, const PngWriteArgs* args) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngImage& image = *args->image;
    png_init_io(png, args->file);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (args->paletteSize > 0) png_set_PLTE(png, info, args->palette, args->paletteSize);
    if (!image.transparency.empty()) {
        png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
    }
    if (args->key != nullptr) png_set_tRNS(png, info, nullptr, 0, args->key);
    png_set_compression_level(png, image.compressionLevel);
    png_write_info(png, info);
    if (image.bitDepth < 8) png_set_packing(png);
    png_write_image(png, args->rows);
    png_write_end(png, nullptr);
    return true;
}

int PngChannels(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;
    }
}

// --- JPEG

struct JpegWriteErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegWriteError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegWriteErrors*>(cinfo->err)->jump, 1);
}

bool WriteJpegPlain(jpeg_compress_struct* cinfo, JpegWriteErrors* errors, const JpegImage* image, std::FILE* file) {
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    cinfo->image_width = image->width;
    cinfo->image_height = image->height;
    cinfo->input_components = image->components;
    cinfo->in_color_space = image->components == 1 ? JCS_GRAYSCALE : image->components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, image->quality, TRUE);
    if (image->progressive) jpeg_simple_progression(cinfo);
    cinfo->restart_in_rows = image->restartRows;
    if (image->components == 3 && !image->subsampled) {
        for (int c = 0; c < 3; ++c) cinfo->comp_info[c].h_samp_factor = cinfo->comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(cinfo, TRUE);
    const std::size_t stride = std::size_t{image->width} * image->components;
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(image->samples.data() + cinfo->next_scanline * stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/image-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Undo permission changes made by tests before removing.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WritePng(const std::string& path, const PngImage& image) {
    const int channels = PngChannels(image.colourType);
    const std::size_t samplesPerRow = std::size_t{image.width} * channels;
    const std::size_t bytesPerSample = image.bitDepth == 16 ? 2 : 1;
    if (image.samples.size() != samplesPerRow * image.height) throw std::runtime_error("PNG sample count");
    Bytes pixels(samplesPerRow * bytesPerSample * image.height);
    for (std::size_t i = 0; i < image.samples.size(); ++i) {
        if (bytesPerSample == 2) {
            pixels[2 * i] = static_cast<std::uint8_t>(image.samples[i] >> 8);
            pixels[2 * i + 1] = static_cast<std::uint8_t>(image.samples[i]);
        } else {
            pixels[i] = static_cast<std::uint8_t>(image.samples[i]);
        }
    }
    std::vector<png_bytep> rows(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y) rows[y] = pixels.data() + y * samplesPerRow * bytesPerSample;
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < image.palette.size(); i += 3) {
        palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    }
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(image.greyKey);

    FilePtr file = OpenForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnPngWriteError, &OnPngWriteWarning);
    png_infop info = png_create_info_struct(png);
    const PngWriteArgs args{
        &image,      palette.data(), static_cast<int>(palette.size()), image.greyKey >= 0 ? &key : nullptr,
        rows.data(), file.get()};
    const bool written = WritePngPlain(png, info, &args);
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error("libpng could not write " + path);
}

void WriteJpeg(const std::string& path, const JpegImage& image) {
    FilePtr file = OpenForWriting(path);
    jpeg_compress_struct cinfo{};
    JpegWriteErrors errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = &OnJpegWriteError;
    if (!WriteJpegPlain(&cinfo, &errors, &image, file.get())) throw std::runtime_error("libjpeg could not write");
}

void WriteTiff(const std::string& path, const TiffImage& image) {
    const std::string mode = std::string("w") + (image.bigEndian ? "b" : "l") + (image.bigTiff ? "8" : "");
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), mode.c_str()), &TIFFClose);
    if (!tiff) throw std::runtime_error("cannot create " + path);
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, image.samplesPerPixel);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, image.bits);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, image.sampleFormat);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, image.photometric);
    TIFFSetField(t, TIFFTAG_COMPRESSION, image.compression);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, image.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (image.predictor != PREDICTOR_NONE) TIFFSetField(t, TIFFTAG_PREDICTOR, image.predictor);
    if (image.samplesPerPixel == 2 || image.samplesPerPixel == 4) {
        const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    const std::size_t texelBytes = std::size_t{static_cast<unsigned>(image.samplesPerPixel)} * image.bits / 8;
    const std::size_t rowBytes = (std::size_t{image.width} * image.samplesPerPixel * image.bits + 7) / 8;
    // Fewer rows than the height claims make a truncated file.
    if (image.data.size() % rowBytes != 0 || image.data.size() > rowBytes * image.height) {
        throw std::runtime_error("TIFF data size");
    }
    const auto rows = static_cast<std::uint32_t>(image.data.size() / rowBytes);
    // libtiff 4.5 swaps the samples of a big-endian file before the floating-point
    // predictor, which wants them native: swapped once more here, they come out right.
    Bytes data = image.data;
    if (image.bigEndian && image.predictor == PREDICTOR_FLOATINGPOINT) {
        const std::size_t size = static_cast<std::size_t>(image.bits) / 8;
        for (std::size_t i = 0; i + size <= data.size(); i += size) std::reverse(&data[i], &data[i] + size);
    }
    if (image.planar) {
        // Each sample's plane cut out of the interleaved texels.
        const std::size_t sampleBytes = static_cast<std::size_t>(image.bits) / 8;
        const auto planes = static_cast<std::uint16_t>(image.samplesPerPixel);
        const std::size_t planeRow = std::size_t{image.width} * sampleBytes;
        const std::uint32_t tileHeight = image.tileHeight != 0 ? image.tileHeight : image.tileSize;
        if (image.tileSize == 0)
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, image.rowsPerStrip != 0 ? image.rowsPerStrip : image.height);
        else
            TIFFSetField(t, TIFFTAG_TILEWIDTH, image.tileSize), TIFFSetField(t, TIFFTAG_TILELENGTH, tileHeight);
        Bytes plane(planeRow * image.height);
        for (std::uint16_t s = 0; s < planes; ++s) {
            for (std::size_t i = 0; i < std::size_t{rows} * image.width; ++i)
                std::memcpy(&plane[i * sampleBytes], &data[i * texelBytes + s * sampleBytes], sampleBytes);
            if (image.tileSize == 0) {
                for (std::uint32_t y = 0; y < rows; ++y)
                    if (TIFFWriteScanline(t, &plane[y * planeRow], y, s) < 0)
                        throw std::runtime_error("TIFFWriteScanline");
                continue;
            }
            Bytes tile(std::size_t{image.tileSize} * tileHeight * sampleBytes);
            for (std::uint32_t y0 = 0; y0 < image.height; y0 += tileHeight)
                for (std::uint32_t x0 = 0; x0 < image.width; x0 += image.tileSize) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (std::uint32_t y = y0; y < std::min(rows, y0 + tileHeight); ++y)
                        std::memcpy(&tile[(y - y0) * image.tileSize * sampleBytes],
                                    &plane[y * planeRow + x0 * sampleBytes],
                                    std::min(image.tileSize, image.width - x0) * sampleBytes);
                    if (TIFFWriteTile(t, tile.data(), x0, y0, 0, s) < 0) throw std::runtime_error("TIFFWriteTile");
                }
        }
        return;
    }
    if (image.tileSize != 0) {
        const std::uint32_t tileHeight = image.tileHeight != 0 ? image.tileHeight : image.tileSize;
        TIFFSetField(t, TIFFTAG_TILEWIDTH, image.tileSize);
        TIFFSetField(t, TIFFTAG_TILELENGTH, tileHeight);
        Bytes tile(std::size_t{image.tileSize} * tileHeight * texelBytes);
        for (std::uint32_t y0 = 0; y0 < image.height; y0 += tileHeight) {
            for (std::uint32_t x0 = 0; x0 < image.width; x0 += image.tileSize) {
                std::fill(tile.begin(), tile.end(), 0);
                for (std::uint32_t y = y0; y < std::min(rows, y0 + tileHeight); ++y) {
                    const std::size_t n = std::min(image.tileSize, image.width - x0) * texelBytes;
                    std::memcpy(tile.data() + (y - y0) * image.tileSize * texelBytes,
                                data.data() + y * rowBytes + x0 * texelBytes, n);
                }
                if (TIFFWriteTile(t, tile.data(), x0, y0, 0, 0) < 0) throw std::runtime_error("TIFFWriteTile");
            }
        }
        return;
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, image.rowsPerStrip != 0 ? image.rowsPerStrip : TIFFDefaultStripSize(t, 0));
    Bytes row(rowBytes);
    for (std::uint32_t y = 0; y < rows; ++y) {
        std::memcpy(row.data(), data.data() + y * rowBytes, rowBytes);
        if (TIFFWriteScanline(t, row.data(), y, 0) < 0) throw std::runtime_error("TIFFWriteScanline");
    }
}

namespace {

// Each channel's samples in the width its type has.
struct ExrPlane {
    Imf::PixelType type;
    std::size_t bytes;
    Bytes data;
};

ExrPlane PackExrSamples(int type, const std::vector<std::uint32_t>& samples) {
    ExrPlane plane{static_cast<Imf::PixelType>(type), type == Imf::HALF ? 2u : 4u, {}};
    plane.data.resize(samples.size() * plane.bytes);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (plane.bytes == 2) {
            const auto half = static_cast<std::uint16_t>(samples[i]);
            std::memcpy(&plane.data[2 * i], &half, 2);
        } else {
            std::memcpy(&plane.data[4 * i], &samples[i], 4);
        }
    }
    return plane;
}

Imf::FrameBuffer ExrFrameBuffer(const Imath::Box2i& window, const std::vector<ExrChannel>& channels,
                                const std::vector<ExrPlane>& planes) {
    Imf::FrameBuffer frame;
    const std::size_t width = static_cast<std::size_t>(window.max.x - window.min.x) + 1;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const ExrPlane& plane = planes[c];
        const auto s = static_cast<std::size_t>(channels[c].sampling);
        frame.insert(channels[c].name,
                     Imf::Slice::Make(plane.type, plane.data.data(), window, plane.bytes, plane.bytes * (width / s),
                                      channels[c].sampling, channels[c].sampling));
    }
    return frame;
}

}  // namespace

void WriteExr(const std::string& path, const ExrImage& image) {
    const Imath::Box2i window(
        Imath::V2i(image.minX, image.minY),
        Imath::V2i(image.minX + static_cast<int>(image.width) - 1, image.minY + static_cast<int>(image.height) - 1));
    Imf::Header header(window, window);
    header.compression() = static_cast<Imf::Compression>(image.compression);
    header.lineOrder() = image.decreasingY ? Imf::DECREASING_Y : Imf::INCREASING_Y;
    for (const ExrChannel& channel : image.channels) {
        header.channels().insert(
            channel.name, Imf::Channel(static_cast<Imf::PixelType>(channel.type), channel.sampling, channel.sampling));
    }
    const auto pack = [](const std::vector<ExrChannel>& channels) {
        std::vector<ExrPlane> planes;
        for (const ExrChannel& channel : channels) planes.push_back(PackExrSamples(channel.type, channel.samples));
        return planes;
    };
    if (image.tileWidth == 0) {
        Imf::OutputFile file(path.c_str(), header);
        const std::vector<ExrPlane> planes = pack(image.channels);
        file.setFrameBuffer(ExrFrameBuffer(window, image.channels, planes));
        file.writePixels(static_cast<int>(image.height));
        return;
    }
    header.setTileDescription(
        Imf::TileDescription(image.tileWidth, image.tileHeight, image.mipmaps ? Imf::MIPMAP_LEVELS : Imf::ONE_LEVEL));
    Imf::TiledOutputFile file(path.c_str(), header);
    for (int level = 0; level < file.numLevels(); ++level) {
        const Imath::Box2i levelWindow = file.dataWindowForLevel(level);
        std::vector<ExrChannel> channels = image.channels;
        if (level > 0) {
            const auto count = static_cast<std::size_t>(file.levelWidth(level)) * file.levelHeight(level);
            for (ExrChannel& channel : channels) {
                const bool half = channel.type == Imf::HALF, real = channel.type == Imf::FLOAT;
                channel.samples.assign(count, half ? 0x3C00u : real ? 0x3F800000u : 7u);
            }
        }
        const std::vector<ExrPlane> planes = pack(channels);
        file.setFrameBuffer(ExrFrameBuffer(levelWindow, channels, planes));
        file.writeTiles(0, file.numXTiles(level) - 1, 0, file.numYTiles(level) - 1, level);
    }
}

void WriteBmp(const std::string& path, int width, int height, int channels, const Bytes& samples) {
    if (!stbi_write_bmp(path.c_str(), width, height, channels, samples.data())) throw std::runtime_error("bmp");
}

void WriteTga(const std::string& path, int width, int height, int channels, const Bytes& samples) {
    if (!stbi_write_tga(path.c_str(), width, height, channels, samples.data())) throw std::runtime_error("tga");
}

void WriteHdr(const std::string& path, int width, int height, const std::vector<float>& rgb) {
    if (!stbi_write_hdr(path.c_str(), width, height, 3, rgb.data())) throw std::runtime_error("hdr");
}

Bytes PnmBytes(char kind, std::uint32_t width, std::uint32_t height, std::uint32_t maxval,
               const std::vector<std::uint16_t>& samples, const std::string& comment) {
    std::string header = std::string("P") + kind + "\n";
    if (!comment.empty()) header += "# " + comment + "\n";
    header += std::to_string(width) + " " + std::to_string(height) + "\n" + std::to_string(maxval) + "\n";
    Bytes out(header.begin(), header.end());
    for (const std::uint16_t s : samples) {
        if (maxval > 255) out.push_back(static_cast<std::uint8_t>(s >> 8));
        out.push_back(static_cast<std::uint8_t>(s));
    }
    return out;
}

Bytes PfmBytes(std::uint32_t width, std::uint32_t height, int channels, bool littleEndian,
               const std::vector<float>& samples) {
    const std::string header = std::string(channels == 1 ? "Pf" : "PF") + "\n" + std::to_string(width) + " " +
                               std::to_string(height) + "\n" + (littleEndian ? "-1.0" : "1.0") + "\n";
    Bytes out(header.begin(), header.end());
    const std::size_t row = std::size_t{width} * channels;
    for (std::uint32_t y = height; y-- > 0;) {
        for (std::size_t i = 0; i < row; ++i) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &samples[y * row + i], 4);
            for (int b = 0; b < 4; ++b) {
                const int shift = littleEndian ? 8 * b : 8 * (3 - b);
                out.push_back(static_cast<std::uint8_t>(bits >> shift));
            }
        }
    }
    return out;
}

DdsPixelFormat DdsFourCc(std::uint32_t fourCc) {
    DdsPixelFormat format;
    format.flags = 0x4;
    format.fourCc = fourCc;
    return format;
}

Bytes DdsBytes(std::uint32_t width, std::uint32_t height, const DdsPixelFormat& format, const Bytes& texels,
               std::uint32_t caps2, std::uint32_t levels) {
    const bool mips = levels > 1;
    Bytes out = {'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out, 0x1 | 0x2 | 0x4 | 0x1000 | (mips ? 0x20000u : 0u));  // caps, height, width, pixel format, mips
    Put32(out, height);
    Put32(out, width);
    Put32(out, 0);  // pitch
    Put32(out, 0);  // depth
    Put32(out, levels);
    for (int i = 0; i < 11; ++i) Put32(out, 0);
    Put32(out, 32);
    Put32(out, format.flags);
    Put32(out, format.fourCc);
    Put32(out, format.bits);
    for (const std::uint32_t mask : format.masks) Put32(out, mask);
    Put32(out, 0x1000 | (mips ? 0x400008u : 0u));  // caps: texture, complex and mipmap when mips
    Put32(out, caps2);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    out.insert(out.end(), texels.begin(), texels.end());
    return out;
}

Bytes Dds10Bytes(std::uint32_t width, std::uint32_t height, std::uint32_t dxgiFormat, const Bytes& texels,
                 std::uint32_t dimension, std::uint32_t misc, std::uint32_t arraySize) {
    Bytes out = DdsBytes(width, height, DdsFourCc('D' | 'X' << 8 | '1' << 16 | '0' << 24), {});
    Put32(out, dxgiFormat);
    Put32(out, dimension);
    Put32(out, misc);
    Put32(out, arraySize);
    Put32(out, 0);
    out.insert(out.end(), texels.begin(), texels.end());
    return out;
}

Bytes FloatBytes(const std::vector<float>& values) {
    Bytes out;
    for (const float v : values) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        Put32(out, bits);
    }
    return out;
}

Bytes U16Bytes(const std::vector<std::uint16_t>& values) {
    Bytes out;
    for (const std::uint16_t v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return out;
}

std::vector<std::uint16_t> HalfEdgeBits() {
    return {0x0000, 0x8000, 0x3C00, 0xC000, 0x7BFF, 0x0001, 0x03FF, 0x7C00, 0xFC00, 0x3555, 0x0400, 0x3800};
}

std::vector<float> HalfEdgeValues() {
    return {0.0f,
            -0.0f,
            1.0f,
            -2.0f,
            65504.0f,
            std::ldexp(1.0f, -24),
            1023 * std::ldexp(1.0f, -24),
            std::numeric_limits<float>::infinity(),
            -std::numeric_limits<float>::infinity(),
            0.333251953125f,
            std::ldexp(1.0f, -14),
            0.5f};
}

Loaded Load(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Loaded loaded;
    loaded.texels.assign(std::size_t{width} * height * 4, 0.0f);
    status::Status loadedOk = image::LoadImageScaled(path.c_str(), width, height, loaded.texels.data());
    loaded.result = loadedOk.code;
    loaded.reason = std::move(loadedOk.reason);
    return loaded;
}

std::vector<float> ToRgba(int channels, const std::vector<float>& values) {
    std::vector<float> rgba;
    for (std::size_t i = 0; i < values.size(); i += static_cast<std::size_t>(channels)) {
        const float* v = &values[i];
        switch (channels) {
            case 1: rgba.insert(rgba.end(), {v[0], v[0], v[0], 1.0f}); break;
            case 2: rgba.insert(rgba.end(), {v[0], v[0], v[0], v[1]}); break;
            case 3: rgba.insert(rgba.end(), {v[0], v[1], v[2], 1.0f}); break;
            default: rgba.insert(rgba.end(), {v[0], v[1], v[2], v[3]}); break;
        }
    }
    return rgba;
}

::testing::AssertionResult SameBits(std::span<const float> actual, const std::vector<float>& expected) {
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure() << "size " << actual.size() << " != " << expected.size();
    }
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    int mismatches = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (std::memcmp(&actual[i], &expected[i], sizeof(float)) != 0) {
            if (mismatches < 8) {
                failure << "texel " << i / 4 << " channel " << i % 4 << ": " << actual[i] << " != " << expected[i]
                        << "; ";
            }
            ++mismatches;
        }
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return failure << mismatches << " mismatches";
}
