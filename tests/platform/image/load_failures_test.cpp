// Files that cannot be loaded: each gives its result, quickly and silently, and
// nothing crashes, hangs or allocates what a header merely claims.
#include <ImfCompression.h>
#include <ImfPixelType.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/image/decode_image.h"
#include "image_fixtures.h"

namespace {

class ImageFailures : public ::testing::Test {
protected:
    TempDir dir_;
};

std::vector<std::uint16_t> Ramp(std::size_t count, std::uint32_t max) {
    std::vector<std::uint16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::uint16_t>(i * 37 % (max + 1));
    return samples;
}

struct Fixture {
    std::string name;
    Bytes bytes;
    std::uint32_t width;
    std::uint32_t height;
};

// One small, valid file of each format and variant the decoders handle differently.
std::vector<Fixture> SmallFiles(const TempDir& dir) {
    std::vector<Fixture> files;
    const auto add = [&](const std::string& name, std::uint32_t width, std::uint32_t height) {
        files.push_back({name, ReadBytes(dir.Path(name)), width, height});
    };
    PngImage png;
    png.width = 5;
    png.height = 4;
    png.colour_type = PNG_COLOR_TYPE_RGB;
    png.samples = Ramp(60, 255);
    WritePng(dir.Path("rgb.png"), png);
    add("rgb.png", 5, 4);
    png.colour_type = PNG_COLOR_TYPE_GRAY;
    png.bit_depth = 16;
    png.interlaced = true;
    png.samples = Ramp(20, 65535);
    WritePng(dir.Path("interlaced.png"), png);
    add("interlaced.png", 5, 4);

    JpegImage jpeg;
    jpeg.width = 16;
    jpeg.height = 8;
    jpeg.components = 3;
    jpeg.quality = 90;
    for (std::size_t i = 0; i < 16 * 8 * 3; ++i) jpeg.samples.push_back(static_cast<std::uint8_t>(i * 5));
    WriteJpeg(dir.Path("baseline.jpg"), jpeg);
    add("baseline.jpg", 16, 8);
    jpeg.progressive = true;
    WriteJpeg(dir.Path("progressive.jpg"), jpeg);
    add("progressive.jpg", 16, 8);

    TiffImage tiff;
    tiff.width = 6;
    tiff.height = 5;
    tiff.samples_per_pixel = 3;
    tiff.photometric = PHOTOMETRIC_RGB;
    tiff.compression = COMPRESSION_LZW;
    tiff.rows_per_strip = 2;
    for (const auto s : Ramp(90, 255)) tiff.data.push_back(static_cast<std::uint8_t>(s));
    WriteTiff(dir.Path("strips.tif"), tiff);
    add("strips.tif", 6, 5);
    tiff.samples_per_pixel = 1;
    tiff.photometric = PHOTOMETRIC_MINISBLACK;
    tiff.bits = 16;
    tiff.compression = COMPRESSION_NONE;
    tiff.tile_size = 16;
    tiff.width = 20;
    tiff.height = 3;
    tiff.data = U16Bytes(Ramp(60, 65535));
    WriteTiff(dir.Path("tiles.tif"), tiff);
    add("tiles.tif", 20, 3);
    tiff.sample_format = SAMPLEFORMAT_INT;
    tiff.compression = COMPRESSION_LZW;
    tiff.predictor = PREDICTOR_HORIZONTAL;
    tiff.tile_size = 0;
    WriteTiff(dir.Path("int16.tif"), tiff);
    add("int16.tif", 20, 3);
    tiff.sample_format = SAMPLEFORMAT_IEEEFP;
    tiff.bits = 64;
    tiff.compression = COMPRESSION_NONE;
    tiff.predictor = PREDICTOR_NONE;
    tiff.tile_size = 16;
    tiff.data.clear();
    for (const auto s : Ramp(60, 65535)) {
        const double v = s / 7.0;
        tiff.data.insert(tiff.data.end(), reinterpret_cast<const std::uint8_t*>(&v),
                         reinterpret_cast<const std::uint8_t*>(&v) + sizeof v);
    }
    WriteTiff(dir.Path("double-tiles.tif"), tiff);
    add("double-tiles.tif", 20, 3);

    const auto bytes = Ramp(4 * 3 * 4, 255);
    WriteBmp(dir.Path("image.bmp"), 4, 3, 3, Bytes(bytes.begin(), bytes.begin() + 36));
    add("image.bmp", 4, 3);
    WriteTga(dir.Path("image.tga"), 4, 3, 4, Bytes(bytes.begin(), bytes.end()));
    add("image.tga", 4, 3);
    WriteHdr(dir.Path("flat.hdr"), 3, 2, {1, 2, 3, 4, 5, 6, 0.5f, 0.25f, 1, 8, 8, 8, 0, 0, 0, 1, 1, 1});
    add("flat.hdr", 3, 2);
    std::vector<float> rgb(10 * 2 * 3, 0.75f);
    for (std::size_t i = 0; i < rgb.size(); i += 4) rgb[i] = static_cast<float>(i);
    WriteHdr(dir.Path("runs.hdr"), 10, 2, rgb);
    add("runs.hdr", 10, 2);

    ExrImage exr;
    exr.width = 9;
    exr.height = 5;
    exr.compression = Imf::ZIP_COMPRESSION;
    ExrChannel red{"R", Imf::HALF, 1, {}}, alpha{"A", Imf::FLOAT, 1, {}};
    for (const auto s : Ramp(45, 65535)) {
        red.samples.push_back(s & 0x7BFF);
        alpha.samples.push_back(0x3F000000u + s);
    }
    exr.channels = {red, alpha};
    WriteExr(dir.Path("scanlines.exr"), exr);
    add("scanlines.exr", 9, 5);
    exr.compression = Imf::PIZ_COMPRESSION;
    exr.tile_width = 4;
    exr.tile_height = 3;
    exr.channels = {alpha};
    WriteExr(dir.Path("tiles.exr"), exr);
    add("tiles.exr", 9, 5);

    files.push_back({"image.pgm", PnmBytes('5', 3, 2, 65535, Ramp(6, 65535)), 3, 2});
    files.push_back({"image.pfm", PfmBytes(2, 2, 3, true, std::vector<float>(12, 0.5f)), 2, 2});
    files.push_back({"legacy.dds", DdsBytes(2, 2, DdsFourCc(113), U16Bytes(Ramp(16, 65535))), 2, 2});
    files.push_back({"dx10.dds", Dds10Bytes(2, 1, 87, Bytes(8, 7)), 2, 1});
    return files;
}

// Loops over every length short of the whole file, as the truncations a copy
// interrupted anywhere would leave.
TEST_F(ImageFailures, EveryTruncationIsInvalidDataAndSilent) {
    for (const Fixture& file : SmallFiles(dir_)) {
        SCOPED_TRACE(file.name);
        const std::string path = dir_.Path("cut-" + file.name);
        WriteBytes(path, file.bytes);
        ASSERT_EQ(Load(path, file.width, file.height).result, S_OK);

        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        std::size_t wrong = 0, first_wrong = 0;  // lengths that did not fail as they should
        // Cut from the end: the file keeps its blocks, and the loop costs no disk writes.
        for (std::size_t length = file.bytes.size(); length-- > 0;) {
            ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
            // Also resampled: the failure must come through the resampling path too.
            const std::uint32_t width = length % 2 == 0 ? file.width : file.width + 3;
            if (Load(path, width, file.height).result != D3DXERR_INVALIDDATA && wrong++ == 0) first_wrong = length;
        }
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(wrong, 0u) << "e.g. at length " << first_wrong << " of " << file.bytes.size();
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");
    }
}

void Set32(Bytes& b, std::size_t at, std::uint32_t v, bool big_endian) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (big_endian ? 8 * (3 - i) : 8 * i));
}

// Rewrites a PNG's IHDR fields, CRC included (IHDR data starts at byte 16).
Bytes PatchPngHeader(Bytes png, std::uint32_t width, std::uint32_t height, int interlace) {
    Set32(png, 16, width, true);
    Set32(png, 20, height, true);
    png[28] = static_cast<std::uint8_t>(interlace);
    Set32(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)), true);
    return png;
}

// Offset of the value of the EXR header attribute `name` (after its name, type and size).
std::size_t ExrAttribute(const Bytes& exr, const std::string& name) {
    const std::string key = name + '\0';
    const auto at = std::search(exr.begin(), exr.end(), key.begin(), key.end());
    if (at == exr.end()) return exr.size();
    const auto type_end = std::find(at + static_cast<std::ptrdiff_t>(key.size()), exr.end(), 0);
    return static_cast<std::size_t>(type_end - exr.begin()) + 1 + 4;
}

// Offset of an EXR file's chunk offset table: where the first offset points,
// less the table itself.
std::size_t ExrOffsetTable(const Bytes& exr, std::size_t chunks) {
    for (std::size_t at = 8; at + 8 <= exr.size(); ++at) {
        std::uint64_t first = 0;
        std::memcpy(&first, &exr[at], 8);
        if (first == at + 8 * chunks) return at;
    }
    return exr.size();
}

// Offset of the first JPEG marker `code`.
std::size_t FindMarker(const Bytes& jpeg, std::uint8_t code) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
    }
    return jpeg.size();
}

TEST_F(ImageFailures, CorruptOrUnsupportedContentIsInvalidData) {
    PngImage fixture;
    fixture.width = 8;
    fixture.height = 8;
    fixture.colour_type = PNG_COLOR_TYPE_GRAY;
    fixture.samples = Ramp(64, 255);
    WritePng(dir_.Path("good.png"), fixture);
    const Bytes png = ReadBytes(dir_.Path("good.png"));

    JpegImage jpeg_fixture;
    jpeg_fixture.width = 32;
    jpeg_fixture.height = 32;
    for (int i = 0; i < 32 * 32; ++i) jpeg_fixture.samples.push_back(static_cast<std::uint8_t>(i * 13));
    WriteJpeg(dir_.Path("good.jpg"), jpeg_fixture);
    const Bytes jpeg = ReadBytes(dir_.Path("good.jpg"));
    jpeg_fixture.components = 4;
    jpeg_fixture.samples.resize(32 * 32 * 4, 9);
    WriteJpeg(dir_.Path("cmyk.jpg"), jpeg_fixture);

    struct Case {
        std::string name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    Bytes noise(300);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    noise[1] = 0x80;  // not a TGA colour-map type
    cases.push_back({"noise", noise});
    cases.push_back({"text", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}});
    cases.push_back({"gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}});
    cases.push_back({"ascii pgm", Bytes{'P', '2', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', '7', '\n'}});

    Bytes bad_crc = png;
    bad_crc[29] ^= 1;
    cases.push_back({"png IHDR crc", bad_crc});
    Bytes bad_idat = png;
    bad_idat[bad_idat.size() - 20] ^= 0x55;  // inside IDAT
    cases.push_back({"png IDAT data", bad_idat});

    // An end-of-image marker inside the entropy-coded data.
    Bytes early_eoi = jpeg;
    const std::size_t scan = FindMarker(jpeg, 0xDA);
    ASSERT_LT(scan + 40, jpeg.size());
    early_eoi[scan + 30] = 0xFF;
    early_eoi[scan + 31] = 0xD9;
    cases.push_back({"jpeg early EOI", early_eoi});
    cases.push_back({"jpeg cmyk", ReadBytes(dir_.Path("cmyk.jpg"))});

    for (const auto& [name, sample_format, bits, photometric] :
         {std::tuple{"tiff 12-bit", SAMPLEFORMAT_UINT, 12, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff 64-bit integer", SAMPLEFORMAT_INT, 64, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff 24-bit float", SAMPLEFORMAT_IEEEFP, 24, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff separated", SAMPLEFORMAT_UINT, 8, PHOTOMETRIC_SEPARATED}}) {
        TiffImage tiff;
        tiff.width = 2;
        tiff.height = 2;
        tiff.bits = bits;
        tiff.sample_format = sample_format;
        tiff.photometric = photometric;
        tiff.data.assign(bits == 12 ? 6 : 4 * static_cast<std::size_t>(bits) / 8, 1);
        WriteTiff(dir_.Path("bad.tif"), tiff);
        cases.push_back({name, ReadBytes(dir_.Path("bad.tif"))});
    }

    const Bytes floats = FloatBytes(std::vector<float>(16, 1.0f));
    cases.push_back({"dds DXT1", DdsBytes(4, 4, DdsFourCc('D' | 'X' << 8 | 'T' << 16 | '1' << 24), floats)});
    cases.push_back({"dds cube map", DdsBytes(1, 1, DdsFourCc(116), floats, 0x200 | 0xFC00)});
    cases.push_back({"dds volume", DdsBytes(1, 1, DdsFourCc(116), floats, 0x200000)});
    cases.push_back({"dds zero width", DdsBytes(0, 1, DdsFourCc(116), floats)});
    Bytes bad_size = DdsBytes(1, 1, DdsFourCc(116), floats);
    bad_size[4] = 100;
    cases.push_back({"dds header size", bad_size});
    cases.push_back(
        {"dds 24-bit RGB", DdsBytes(2, 1, DdsPixelFormat{0x40, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}}, floats)});
    cases.push_back({"dx10 BC1", Dds10Bytes(4, 4, 71, floats)});
    cases.push_back({"dx10 3D", Dds10Bytes(1, 1, 2, floats, 4)});
    cases.push_back({"dx10 cube", Dds10Bytes(1, 1, 2, floats, 3, 0x4)});
    cases.push_back({"dx10 no array", Dds10Bytes(1, 1, 2, floats, 3, 0, 0)});

    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    cases.push_back({"pfm zero scale", text("PF\n1 1\n0.0\n" + std::string(12, '\0'))});
    cases.push_back({"pfm scale", text("Pf\n1 1\nabc\n" + std::string(4, '\0'))});
    cases.push_back({"pfm negative width", text("Pf\n-1 1\n-1\n" + std::string(4, '\0'))});
    cases.push_back({"pgm maxval 0", text("P5\n1 1\n0\n\x01")});
    cases.push_back({"pgm maxval 70000", text("P5\n1 1\n70000\n\x01\x01")});
    cases.push_back({"pgm no separator", text("P5\n1 1\n255")});
    const std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 16\n\x02\x02";
    cases.push_back({"hdr zero count", text(hdr + std::string("\x00\x10\x00", 3))});
    cases.push_back({"hdr run too long", text(hdr + std::string("\x00\x10\x91\x01", 4) + std::string(64, '\x90'))});
    cases.push_back({"hdr width mismatch", text(hdr + std::string("\x00\x11", 2) + std::string(64, '\x82'))});
    cases.push_back({"hdr xyz", text("#?RADIANCE\nFORMAT=32-bit_rle_xyze\n\n-Y 1 +X 1\n\x80\x80\x80\x80")});
    cases.push_back({"hdr flipped", text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n+Y 1 +X 1\n\x80\x80\x80\x80")});
    cases.push_back({"bmp header", text("BM\x40\0\0\0\0\0\0\0\x36\0\0\0\x0c\0\0\0")});

    // Uncompressed scanlines, one a chunk: offset table of 4, then per chunk its
    // row, its size and 4 x 4 bytes.
    ExrImage exr_fixture;
    exr_fixture.width = 4;
    exr_fixture.height = 4;
    exr_fixture.channels = {ExrChannel{"R", Imf::FLOAT, 1, std::vector<std::uint32_t>(16, 0x3F800000u)}};
    WriteExr(dir_.Path("good.exr"), exr_fixture);
    const Bytes exr = ReadBytes(dir_.Path("good.exr"));
    const std::size_t table = ExrOffsetTable(exr, 4);
    ASSERT_LT(table, exr.size());
    const std::size_t first_chunk = table + 4 * 8;
    Bytes exr_offset = exr;
    Set32(exr_offset, table + 8, 0x7FFFFFF0u, false);  // the second chunk past the end
    cases.push_back({"exr offset past the end", exr_offset});
    Bytes exr_row = exr;
    Set32(exr_row, first_chunk, 2, false);  // the first chunk says it holds row 2
    cases.push_back({"exr chunk of another row", exr_row});
    Bytes exr_size = exr;
    Set32(exr_size, first_chunk + 4, 1000, false);
    cases.push_back({"exr chunk size past the end", exr_size});
    Bytes exr_short = exr;
    Set32(exr_short, first_chunk + 4, 8, false);  // less than its row
    cases.push_back({"exr chunk size short", exr_short});
    Bytes exr_version = exr;
    exr_version[4] = 3;
    cases.push_back({"exr version 3", exr_version});
    Bytes exr_deep = exr;
    exr_deep[5] |= 0x08;  // the flag of deep data
    cases.push_back({"exr deep flag", exr_deep});
    Bytes exr_window = exr;
    Set32(exr_window, ExrAttribute(exr, "dataWindow"), 5, false);  // min x past max x
    cases.push_back({"exr empty data window", exr_window});
    exr_fixture.compression = Imf::DWAA_COMPRESSION;
    WriteExr(dir_.Path("dwaa.exr"), exr_fixture);
    cases.push_back({"exr dwaa", ReadBytes(dir_.Path("dwaa.exr"))});

    ::testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        WriteBytes(dir_.Path("bad"), c.bytes);
        EXPECT_EQ(Load(dir_.Path("bad"), 4, 4).result, D3DXERR_INVALIDDATA) << c.name;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ImageFailures, OnlyNonEmptyRegularFilesAreRead) {
    WriteBytes(dir_.Path("empty.png"), {});
    const std::string fifo = dir_.Path("fifo.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // No writer ever opens the FIFO: reading it would block for good.
    for (const std::string& path :
         {dir_.Path("empty.png"), dir_.path(), fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        EXPECT_EQ(Load(path, 4, 4).result, D3DXERR_INVALIDDATA) << path;
    }
}

TEST_F(ImageFailures, OpenFailuresGiveFileSystemResults) {
    WriteBytes(dir_.Path("plain.dds"), DdsBytes(1, 1, DdsFourCc(114), FloatBytes({1.0f})));
    ASSERT_EQ(symlink("loop", dir_.Path("loop").c_str()), 0);
    EXPECT_EQ(Load(dir_.Path("absent.png"), 4, 4).result, E_FILE_NOT_FOUND);
    EXPECT_EQ(Load("", 4, 4).result, E_FILE_NOT_FOUND);
    EXPECT_EQ(Load(dir_.Path("no-such-dir/map.png"), 4, 4).result, E_PATH_NOT_FOUND);
    EXPECT_EQ(Load(dir_.Path("plain.dds/map.png"), 4, 4).result, E_PATH_NOT_FOUND);
    EXPECT_EQ(Load(dir_.Path("loop"), 4, 4).result, E_PATH_NOT_FOUND);
    EXPECT_EQ(Load(dir_.Path(std::string(5000, 'x')), 4, 4).result, E_PATH_NOT_FOUND);
}

TEST_F(ImageFailures, UnreadableFileIsAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    WriteBytes(dir_.Path("secret.dds"), DdsBytes(1, 1, DdsFourCc(114), FloatBytes({1.0f})));
    ASSERT_EQ(chmod(dir_.Path("secret.dds").c_str(), 0), 0);
    EXPECT_EQ(Load(dir_.Path("secret.dds"), 1, 1).result, E_ACCESSDENIED);
    ASSERT_EQ(mkdir(dir_.Path("closed").c_str(), 0), 0);
    EXPECT_EQ(Load(dir_.Path("closed/map.png"), 1, 1).result, E_ACCESSDENIED);
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Headers claiming images of gigabytes to terabytes, with almost no data behind
// them: each fails at once, as invalid data where the file is too small for the
// claim or its rows run out, as out of memory where the decoder would have to hold
// more than there is.
TEST_F(ImageFailures, HugeClaimedSizesFailWithoutAllocating) {
    PngImage fixture;
    fixture.width = 4;
    fixture.height = 4;
    fixture.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    fixture.bit_depth = 16;
    fixture.samples = Ramp(64, 65535);
    WritePng(dir_.Path("small.png"), fixture);
    const Bytes png = ReadBytes(dir_.Path("small.png"));

    JpegImage jpeg_fixture;
    jpeg_fixture.width = 16;
    jpeg_fixture.height = 16;
    jpeg_fixture.components = 3;
    jpeg_fixture.progressive = true;
    jpeg_fixture.samples.assign(16 * 16 * 3, 99);
    WriteJpeg(dir_.Path("small.jpg"), jpeg_fixture);
    Bytes jpeg = ReadBytes(dir_.Path("small.jpg"));
    const std::size_t sof = FindMarker(jpeg, 0xC2);
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = jpeg[sof + 7] = 0xFF;  // 65535 x 65535
    jpeg[sof + 6] = jpeg[sof + 8] = 0xFF;

    // One row written of the million claimed.
    TiffImage tiff;
    tiff.width = 1000000;
    tiff.height = 1000000;
    tiff.rows_per_strip = 16;
    tiff.data.assign(1000000, 3);
    WriteTiff(dir_.Path("huge.tif"), tiff);

    Bytes bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    const std::uint32_t rest[] = {100000, 100000, 1 | 32 << 16, 0, 0, 0, 0, 0, 0};
    for (const std::uint32_t v : rest) {
        bmp.resize(bmp.size() + 4);
        Set32(bmp, bmp.size() - 4, v, false);
    }
    bmp.resize(bmp.size() + 64, 1);

    struct Case {
        std::string name;
        Bytes bytes;
        HRESULT expected;  // S_OK: either failure will do
    };
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    ExrImage exr_fixture;
    exr_fixture.width = 16;
    exr_fixture.height = 16;
    exr_fixture.compression = Imf::ZIP_COMPRESSION;
    exr_fixture.channels = {ExrChannel{"R", Imf::FLOAT, 1, std::vector<std::uint32_t>(256, 0x3F800000u)}};
    WriteExr(dir_.Path("small.exr"), exr_fixture);
    Bytes exr_window = ReadBytes(dir_.Path("small.exr"));
    Set32(exr_window, ExrAttribute(exr_window, "dataWindow") + 8, 99999, false);  // max x and y
    Set32(exr_window, ExrAttribute(exr_window, "dataWindow") + 12, 99999, false);
    exr_fixture.tile_width = 8;
    exr_fixture.tile_height = 8;
    WriteExr(dir_.Path("tiles.exr"), exr_fixture);
    Bytes exr_tiles = ReadBytes(dir_.Path("tiles.exr"));
    Set32(exr_tiles, ExrAttribute(exr_tiles, "dataWindow") + 8, 99999, false);
    Set32(exr_tiles, ExrAttribute(exr_tiles, "dataWindow") + 12, 99999, false);
    Bytes exr_tile_size = exr_tiles;
    Set32(exr_tile_size, ExrAttribute(exr_tiles, "tiles"), 1u << 30, false);
    Set32(exr_tile_size, ExrAttribute(exr_tiles, "tiles") + 4, 1u << 30, false);

    const std::vector<Case> cases = {
        {"exr data window", exr_window, D3DXERR_INVALIDDATA},
        {"exr tiled data window", exr_tiles, S_OK},
        {"exr tile size", exr_tile_size, S_OK},
        {"png rows", PatchPngHeader(png, 1000000, 1000000, 0), D3DXERR_INVALIDDATA},
        {"png interlaced", PatchPngHeader(png, 1000000, 1000000, 1), S_OK},
        {"jpeg progressive", jpeg, S_OK},
        {"tiff", ReadBytes(dir_.Path("huge.tif")), S_OK},
        {"bmp", bmp, S_OK},
        {"pgm", text("P5\n100000 100000\n255\n" + std::string(100, 'x')), D3DXERR_INVALIDDATA},
        {"pfm", text("PF\n100000 100000\n-1\n" + std::string(100, 'x')), D3DXERR_INVALIDDATA},
        {"dds", DdsBytes(100000, 100000, DdsFourCc(116), Bytes(100, 1)), D3DXERR_INVALIDDATA},
        {"dx10", Dds10Bytes(4000000000u, 4000000000u, 2, Bytes(100, 1)), D3DXERR_INVALIDDATA},
    };
    const long before = PeakResidentKiB();
    for (const Case& c : cases) {
        WriteBytes(dir_.Path("huge"), c.bytes);
        const HRESULT result = Load(dir_.Path("huge"), 64, 64).result;
        if (c.expected == S_OK) {
            EXPECT_TRUE(result == E_OUTOFMEMORY || result == D3DXERR_INVALIDDATA) << c.name << ": " << result;
        } else {
            EXPECT_EQ(result, c.expected) << c.name;
        }
    }
    // At its own size the TIFF would take 16 TB of texels, far more than its few
    // bytes can hold even compressed: refused as a cut-short file.
    image::DecodedImage image;
    EXPECT_EQ(image::DecodeImageFile(dir_.Path("huge.tif").c_str(), &image), D3DXERR_INVALIDDATA);
    // Nothing near the claimed sizes was ever touched.
    EXPECT_LT(PeakResidentKiB() - before, 256 * 1024);
}

}  // namespace
