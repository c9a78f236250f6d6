#include "export_fixtures.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

Terrain MakeTerrain(std::uint32_t size, bool withTrees) {
    Terrain t{size, {}, {}};
    for (std::uint32_t r = 0; r < size; ++r)
        for (std::uint32_t c = 0; c < size; ++c) {
            const double x = c / double(size), y = r / double(size);
            const double h = 0.5 + 0.25 * std::sin(7.1 * x + 2.3 * y) * std::cos(5.3 * y - 1.1 * x) +
                             0.2 * std::exp(-40 * (x - y) * (x - y)) + 0.05 * std::sin(31 * x * y);
            t.heights.push_back(static_cast<float>(h));
            const bool tree = withTrees && h < 0.45 && (r * 7 + c * 3) % 5 != 0;
            t.trees.push_back(tree ? 200 : (r + c) % 20);
        }
    return t;
}

ProcessResult MakeHorizonMap(const TempDir& dir, const Terrain& terrain, const std::string& dds,
                             const std::vector<std::string>& settings) {
    WriteBytes(dir.path("h.pfm"), PfmBytes(terrain.size, terrain.size, 1, true, terrain.heights));
    WriteBytes(dir.path("t.pgm"), PnmBytes('5', terrain.size, terrain.size, 255, terrain.trees));
    std::vector<std::string> argv = {
        UMBRASCOPE_EXE, "-H", dir.path("h.pfm"), "-T", dir.path("t.pgm"), "-r", std::to_string(terrain.size),
        "-o",           dds};
    argv.insert(argv.end(), settings.begin(), settings.end());
    return RunProcess(argv);
}

ProcessResult RunExporter(const std::vector<std::string>& arguments, const std::function<void()>& beforeExec) {
    std::vector<std::string> argv = {UMBRASCOPE_EXPORT_EXE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProcess(argv, 60, beforeExec);
}

std::vector<std::function<void()>> StandardOutputLosses() {
    return {
        [] { close(STDOUT_FILENO); },
        [] { dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO); },
        [] {
            int ends[2];
            if (pipe(ends) == 0) dup2(ends[1], STDOUT_FILENO), close(ends[0]);  // the reader has gone
            signal(SIGPIPE, SIG_DFL);
        },
    };
}

std::vector<std::string> FileNames(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<float> DdsLevel0(const std::string& path, std::uint32_t width, std::uint32_t height) {
    const Bytes file = ReadBytes(path);
    std::vector<float> level(std::size_t{width} * height * 4);
    if (file.size() < 128 + level.size() * 4) return {};
    std::memcpy(level.data(), file.data() + 128, level.size() * 4);
    return level;
}

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// setjmp'd: nothing with a destructor lives in this frame.
bool ReadPngRows(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

ReadPng ReadGreyPng(const std::string& path) {
    ReadPng read;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return read;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png_create_info_struct(png);
    if (ReadPngRows(png, info, file) && png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY) {
        read.width = png_get_image_width(png, info);
        read.height = png_get_image_height(png, info);
        read.bitDepth = png_get_bit_depth(png, info);
        png_bytepp rows = png_get_rows(png, info);
        for (std::uint32_t r = 0; r < read.height; ++r)
            for (std::uint32_t c = 0; c < read.width; ++c)
                read.samples.push_back(read.bitDepth == 16
                                           ? static_cast<std::uint16_t>(rows[r][2 * c] << 8 | rows[r][2 * c + 1])
                                           : rows[r][c]);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return read;
}

// A tiled TIFF of one plane a band into `planes`.
bool ReadFloatTiles(TIFF* tiff, std::uint32_t width, std::uint32_t height, std::vector<std::vector<float>>* planes) {
    std::uint32_t tw = 0, th = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &th);
    std::vector<float> tile(std::size_t{tw} * th);
    for (std::size_t s = 0; s < planes->size(); ++s) {
        (*planes)[s].assign(std::size_t{width} * height, 0);
        for (std::uint32_t y = 0; y < height; y += th)
            for (std::uint32_t x = 0; x < width; x += tw) {
                if (TIFFReadTile(tiff, tile.data(), x, y, 0, static_cast<std::uint16_t>(s)) < 0) return false;
                for (std::uint32_t r = y; r < std::min(height, y + th); ++r)
                    std::copy_n(&tile[std::size_t{r - y} * tw], std::min(tw, width - x),
                                &(*planes)[s][std::size_t{r} * width + x]);
            }
    }
    return true;
}

ReadFloats ReadFloatTiff(const std::string& path) {
    ReadFloats read;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return read;
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 0, bits = 0, format = 0;
    char* description = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &description);
    if (bits == 32 && format == SAMPLEFORMAT_IEEEFP && description != nullptr) {
        std::istringstream names(description);
        for (std::string name; names >> name;) read.names.push_back(name);
        std::uint16_t planar = PLANARCONFIG_CONTIG;
        TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &planar);
        std::vector<float> row(std::size_t{width} * samples);
        std::vector<std::vector<float>> planes(samples);
        bool ok = read.names.size() == samples;
        if (TIFFIsTiled(tiff)) {
            ok = ok && planar == PLANARCONFIG_SEPARATE && ReadFloatTiles(tiff, width, height, &planes);
            planar = 0;  // read
        }
        for (std::uint16_t s = 0; ok && planar == PLANARCONFIG_SEPARATE && s < samples; ++s)
            for (std::uint32_t r = 0; ok && r < height; ++r) {
                ok = TIFFReadScanline(tiff, row.data(), r, s) == 1;
                planes[s].insert(planes[s].end(), row.begin(), row.begin() + width);
            }
        for (std::uint32_t r = 0; ok && planar == PLANARCONFIG_CONTIG && r < height; ++r) {
            ok = TIFFReadScanline(tiff, row.data(), r, 0) == 1;
            for (std::size_t i = 0; ok && i < row.size(); ++i) planes[i % samples].push_back(row[i]);
        }
        if (ok) {
            read.width = width;
            read.height = height;
            for (std::size_t s = 0; s < samples; ++s) read.planes[read.names[s]] = std::move(planes[s]);
        }
    }
    TIFFClose(tiff);
    return read;
}

ReadFloats ReadFloatExr(const std::string& path) {
    ReadFloats read;
    try {
        Imf::InputFile file(path.c_str());
        const auto window = file.header().dataWindow();
        const auto width = static_cast<std::uint32_t>(window.max.x - window.min.x + 1);
        const auto height = static_cast<std::uint32_t>(window.max.y - window.min.y + 1);
        Imf::FrameBuffer frame;
        for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it) {
            if (it.channel().type != Imf::FLOAT) return {};
            read.names.push_back(it.name());
            auto& plane = read.planes[it.name()];
            plane.resize(std::size_t{width} * height);
            frame.insert(it.name(), Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(plane.data()), sizeof(float),
                                               sizeof(float) * width));
        }
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
        read.width = width;
        read.height = height;
    } catch (const std::exception&) {
        return {};
    }
    return read;
}

std::vector<float> Channel(const std::vector<float>& rgba, int channel) {
    std::vector<float> plane;
    for (std::size_t i = static_cast<std::size_t>(channel); i < rgba.size(); i += 4) plane.push_back(rgba[i]);
    return plane;
}
