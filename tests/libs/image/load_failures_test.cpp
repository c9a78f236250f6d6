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

#include "image/decode_image.h"
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
        files.push_back({name, ReadBytes(dir.path(name)), width, height});
    };
    PngImage png;
    png.width = 5;
    png.height = 4;
    png.colourType = PNG_COLOR_TYPE_RGB;
    png.samples = Ramp(60, 255);
    WritePng(dir.path("rgb.png"), png);
    add("rgb.png", 5, 4);
    png.colourType = PNG_COLOR_TYPE_GRAY;
    png.bitDepth = 16;
    png.interlaced = true;
    png.samples = Ramp(20, 65535);
    WritePng(dir.path("interlaced.png"), png);
    add("interlaced.png", 5, 4);

    JpegImage jpeg;
    jpeg.width = 16;
    jpeg.height = 8;
    jpeg.components = 3;
    jpeg.quality = 90;
    for (std::size_t i = 0; i < 16 * 8 * 3; ++i) jpeg.samples.push_back(static_cast<std::uint8_t>(i * 5));
    WriteJpeg(dir.path("baseline.jpg"), jpeg);
    add("baseline.jpg", 16, 8);
    jpeg.progressive = true;
    WriteJpeg(dir.path("progressive.jpg"), jpeg);
    add("progressive.jpg", 16, 8);

    TiffImage tiff;
    tiff.width = 6;
    tiff.height = 5;
    tiff.samplesPerPixel = 3;
    tiff.photometric = PHOTOMETRIC_RGB;
    tiff.compression = COMPRESSION_LZW;
    tiff.rowsPerStrip = 2;
    for (const auto s : Ramp(90, 255)) tiff.data.push_back(static_cast<std::uint8_t>(s));
    WriteTiff(dir.path("strips.tif"), tiff);
    add("strips.tif", 6, 5);
    tiff.samplesPerPixel = 1;
    tiff.photometric = PHOTOMETRIC_MINISBLACK;
    tiff.bits = 16;
    tiff.compression = COMPRESSION_NONE;
    tiff.tileSize = 16;
    tiff.width = 20;
    tiff.height = 3;
    tiff.data = U16Bytes(Ramp(60, 65535));
    WriteTiff(dir.path("tiles.tif"), tiff);
    add("tiles.tif", 20, 3);
    tiff.sampleFormat = SAMPLEFORMAT_INT;
    tiff.compression = COMPRESSION_LZW;
    tiff.predictor = PREDICTOR_HORIZONTAL;
    tiff.tileSize = 0;
    WriteTiff(dir.path("int16.tif"), tiff);
    add("int16.tif", 20, 3);
    tiff.sampleFormat = SAMPLEFORMAT_IEEEFP;
    tiff.bits = 64;
    tiff.compression = COMPRESSION_NONE;
    tiff.predictor = PREDICTOR_NONE;
    tiff.tileSize = 16;
    tiff.data.clear();
    for (const auto s : Ramp(60, 65535)) {
        const double v = s / 7.0;
        tiff.data.insert(tiff.data.end(), reinterpret_cast<const std::uint8_t*>(&v),
                         reinterpret_cast<const std::uint8_t*>(&v) + sizeof v);
    }
    WriteTiff(dir.path("double-tiles.tif"), tiff);
    add("double-tiles.tif", 20, 3);

    const auto bytes = Ramp(4 * 3 * 4, 255);
    WriteBmp(dir.path("image.bmp"), 4, 3, 3, Bytes(bytes.begin(), bytes.begin() + 36));
    add("image.bmp", 4, 3);
    WriteTga(dir.path("image.tga"), 4, 3, 4, Bytes(bytes.begin(), bytes.end()));
    add("image.tga", 4, 3);
    WriteHdr(dir.path("flat.hdr"), 3, 2, {1, 2, 3, 4, 5, 6, 0.5f, 0.25f, 1, 8, 8, 8, 0, 0, 0, 1, 1, 1});
    add("flat.hdr", 3, 2);
    std::vector<float> rgb(10 * 2 * 3, 0.75f);
    for (std::size_t i = 0; i < rgb.size(); i += 4) rgb[i] = static_cast<float>(i);
    WriteHdr(dir.path("runs.hdr"), 10, 2, rgb);
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
    WriteExr(dir.path("scanlines.exr"), exr);
    add("scanlines.exr", 9, 5);
    exr.compression = Imf::PIZ_COMPRESSION;
    exr.tileWidth = 4;
    exr.tileHeight = 3;
    exr.channels = {alpha};
    WriteExr(dir.path("tiles.exr"), exr);
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
        const std::string path = dir_.path("cut-" + file.name);
        WriteBytes(path, file.bytes);
        ASSERT_EQ(Load(path, file.width, file.height).result, status::Code::Ok);

        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        std::size_t wrong = 0, firstWrong = 0;  // lengths that did not fail as they should
        std::size_t unnamed = 0;                // failures whose reason names no file
        // Cut from the end: the file keeps its blocks, and the loop costs no disk writes.
        for (std::size_t length = file.bytes.size(); length-- > 0;) {
            ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
            // Also resampled: the failure must come through the resampling path too.
            const std::uint32_t width = length % 2 == 0 ? file.width : file.width + 3;
            const Loaded loaded = Load(path, width, file.height);
            if (loaded.result != status::Code::InvalidData && wrong++ == 0) firstWrong = length;
            if (loaded.reason.rfind(path + ": ", 0) != 0 || loaded.reason.size() <= path.size() + 2) ++unnamed;
        }
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(wrong, 0u) << "e.g. at length " << firstWrong << " of " << file.bytes.size();
        EXPECT_EQ(unnamed, 0u);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");
    }
}

void Set32(Bytes& b, std::size_t at, std::uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (bigEndian ? 8 * (3 - i) : 8 * i));
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
    const auto typeEnd = std::find(at + static_cast<std::ptrdiff_t>(key.size()), exr.end(), 0);
    return static_cast<std::size_t>(typeEnd - exr.begin()) + 1 + 4;
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
    fixture.colourType = PNG_COLOR_TYPE_GRAY;
    fixture.samples = Ramp(64, 255);
    WritePng(dir_.path("good.png"), fixture);
    const Bytes png = ReadBytes(dir_.path("good.png"));

    JpegImage jpegFixture;
    jpegFixture.width = 32;
    jpegFixture.height = 32;
    for (int i = 0; i < 32 * 32; ++i) jpegFixture.samples.push_back(static_cast<std::uint8_t>(i * 13));
    WriteJpeg(dir_.path("good.jpg"), jpegFixture);
    const Bytes jpeg = ReadBytes(dir_.path("good.jpg"));
    jpegFixture.components = 4;
    jpegFixture.samples.resize(32 * 32 * 4, 9);
    WriteJpeg(dir_.path("cmyk.jpg"), jpegFixture);

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

    Bytes badCrc = png;
    badCrc[29] ^= 1;
    cases.push_back({"png IHDR crc", badCrc});
    Bytes badIdat = png;
    badIdat[badIdat.size() - 20] ^= 0x55;  // inside IDAT
    cases.push_back({"png IDAT data", badIdat});

    // An end-of-image marker inside the entropy-coded data.
    Bytes earlyEoi = jpeg;
    const std::size_t scan = FindMarker(jpeg, 0xDA);
    ASSERT_LT(scan + 40, jpeg.size());
    earlyEoi[scan + 30] = 0xFF;
    earlyEoi[scan + 31] = 0xD9;
    cases.push_back({"jpeg early EOI", earlyEoi});
    cases.push_back({"jpeg cmyk", ReadBytes(dir_.path("cmyk.jpg"))});

    for (const auto& [name, sampleFormat, bits, photometric] :
         {std::tuple{"tiff 12-bit", SAMPLEFORMAT_UINT, 12, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff 64-bit integer", SAMPLEFORMAT_INT, 64, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff 24-bit float", SAMPLEFORMAT_IEEEFP, 24, PHOTOMETRIC_MINISBLACK},
          std::tuple{"tiff separated", SAMPLEFORMAT_UINT, 8, PHOTOMETRIC_SEPARATED}}) {
        TiffImage tiff;
        tiff.width = 2;
        tiff.height = 2;
        tiff.bits = bits;
        tiff.sampleFormat = sampleFormat;
        tiff.photometric = photometric;
        tiff.data.assign(bits == 12 ? 6 : 4 * static_cast<std::size_t>(bits) / 8, 1);
        WriteTiff(dir_.path("bad.tif"), tiff);
        cases.push_back({name, ReadBytes(dir_.path("bad.tif"))});
    }

    const Bytes floats = FloatBytes(std::vector<float>(16, 1.0f));
    cases.push_back({"dds DXT1", DdsBytes(4, 4, DdsFourCc('D' | 'X' << 8 | 'T' << 16 | '1' << 24), floats)});
    cases.push_back({"dds cube map", DdsBytes(1, 1, DdsFourCc(116), floats, 0x200 | 0xFC00)});
    cases.push_back({"dds volume", DdsBytes(1, 1, DdsFourCc(116), floats, 0x200000)});
    cases.push_back({"dds zero width", DdsBytes(0, 1, DdsFourCc(116), floats)});
    Bytes badSize = DdsBytes(1, 1, DdsFourCc(116), floats);
    badSize[4] = 100;
    cases.push_back({"dds header size", badSize});
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
    cases.push_back({"bmp header", text(std::string("BM\x40\0\0\0\0\0\0\0\x36\0\0\0\x0c\0\0\0", 18))});

    // Uncompressed scanlines, one a chunk: offset table of 4, then per chunk its
    // row, its size and 4 x 4 bytes.
    ExrImage exrFixture;
    exrFixture.width = 4;
    exrFixture.height = 4;
    exrFixture.channels = {ExrChannel{"R", Imf::FLOAT, 1, std::vector<std::uint32_t>(16, 0x3F800000u)}};
    WriteExr(dir_.path("good.exr"), exrFixture);
    const Bytes exr = ReadBytes(dir_.path("good.exr"));
    const std::size_t table = ExrOffsetTable(exr, 4);
    ASSERT_LT(table, exr.size());
    const std::size_t firstChunk = table + 4 * 8;
    Bytes exrOffset = exr;
    Set32(exrOffset, table + 8, 0x7FFFFFF0u, false);  // the second chunk past the end
    cases.push_back({"exr offset past the end", exrOffset});
    Bytes exrRow = exr;
    Set32(exrRow, firstChunk, 2, false);  // the first chunk says it holds row 2
    cases.push_back({"exr chunk of another row", exrRow});
    Bytes exrSize = exr;
    Set32(exrSize, firstChunk + 4, 1000, false);
    cases.push_back({"exr chunk size past the end", exrSize});
    Bytes exrShort = exr;
    Set32(exrShort, firstChunk + 4, 8, false);  // less than its row
    cases.push_back({"exr chunk size short", exrShort});
    Bytes exrVersion = exr;
    exrVersion[4] = 3;
    cases.push_back({"exr version 3", exrVersion});
    Bytes exrDeep = exr;
    exrDeep[5] |= 0x08;  // the flag of deep data
    cases.push_back({"exr deep flag", exrDeep});
    Bytes exrWindow = exr;
    Set32(exrWindow, ExrAttribute(exr, "dataWindow"), 5, false);  // min x past max x
    cases.push_back({"exr empty data window", exrWindow});
    exrFixture.compression = Imf::DWAA_COMPRESSION;
    WriteExr(dir_.path("dwaa.exr"), exrFixture);
    cases.push_back({"exr dwaa", ReadBytes(dir_.path("dwaa.exr"))});

    ::testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        WriteBytes(dir_.path("bad"), c.bytes);
        EXPECT_EQ(Load(dir_.path("bad"), 4, 4).result, status::Code::InvalidData) << c.name;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// What a person is told: the file, then what is wrong with it, down to the row.
TEST_F(ImageFailures, ReasonsNameTheFileAndWhatIsWrong) {
    const Bytes pgm = PnmBytes('5', 4, 10, 255, Ramp(40, 255));
    const std::size_t header = pgm.size() - 40;
    PngImage png;
    png.width = 64;
    png.height = 64;
    png.samples = Ramp(64 * 64, 255);
    WritePng(dir_.path("whole.png"), png);
    const Bytes wholePng = ReadBytes(dir_.path("whole.png"));
    const struct {
        std::string name;
        Bytes bytes;
        std::string reason;  // after "<path>: "
    } cases[] = {
        {"rows.pgm", Bytes(pgm.begin(), pgm.begin() + static_cast<std::ptrdiff_t>(header + 4 * 3 + 2)),
         "PGM data ends after row 3 of 10"},
        {"cut.png", Bytes(wholePng.begin(), wholePng.begin() + static_cast<std::ptrdiff_t>(wholePng.size() / 2)),
         "PNG data ends after row "},
        {"empty.png", {}, "the file is empty"},
        {"text.png", {'h', 'e', 'l', 'l', 'o', '\n'}, "not an image format that is read (PNG,"},
        {"odd.r16", Bytes(6, 1), "RAW height map of 6 bytes is no square of 2-byte samples"},
    };
    for (const auto& c : cases) {
        WriteBytes(dir_.path(c.name), c.bytes);
        const Loaded loaded = Load(dir_.path(c.name), 4, 4);
        EXPECT_EQ(loaded.result, status::Code::InvalidData) << c.name;
        EXPECT_EQ(loaded.reason.rfind(dir_.path(c.name) + ": " + c.reason, 0), 0u) << loaded.reason;
    }
}

TEST_F(ImageFailures, OnlyNonEmptyRegularFilesAreRead) {
    WriteBytes(dir_.path("empty.png"), {});
    const std::string fifo = dir_.path("fifo.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // No writer ever opens the FIFO: reading it would block for good.
    for (const std::string& path :
         {dir_.path("empty.png"), dir_.path(), fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        EXPECT_EQ(Load(path, 4, 4).result, status::Code::InvalidData) << path;
    }
}

TEST_F(ImageFailures, OpenFailuresGiveFileSystemResults) {
    WriteBytes(dir_.path("plain.dds"), DdsBytes(1, 1, DdsFourCc(114), FloatBytes({1.0f})));
    ASSERT_EQ(symlink("loop", dir_.path("loop").c_str()), 0);
    EXPECT_EQ(Load(dir_.path("absent.png"), 4, 4).result, status::Code::NotFound);
    EXPECT_EQ(Load("", 4, 4).result, status::Code::NotFound);
    EXPECT_EQ(Load(dir_.path("no-such-dir/map.png"), 4, 4).result, status::Code::PathNotFound);
    EXPECT_EQ(Load(dir_.path("plain.dds/map.png"), 4, 4).result, status::Code::PathNotFound);
    EXPECT_EQ(Load(dir_.path("loop"), 4, 4).result, status::Code::PathNotFound);
    EXPECT_EQ(Load(dir_.path(std::string(5000, 'x')), 4, 4).result, status::Code::PathNotFound);
}

TEST_F(ImageFailures, UnreadableFileIsAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    WriteBytes(dir_.path("secret.dds"), DdsBytes(1, 1, DdsFourCc(114), FloatBytes({1.0f})));
    ASSERT_EQ(chmod(dir_.path("secret.dds").c_str(), 0), 0);
    EXPECT_EQ(Load(dir_.path("secret.dds"), 1, 1).result, status::Code::AccessDenied);
    ASSERT_EQ(mkdir(dir_.path("closed").c_str(), 0), 0);
    EXPECT_EQ(Load(dir_.path("closed/map.png"), 1, 1).result, status::Code::AccessDenied);
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
    fixture.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    fixture.bitDepth = 16;
    fixture.samples = Ramp(64, 65535);
    WritePng(dir_.path("small.png"), fixture);
    const Bytes png = ReadBytes(dir_.path("small.png"));

    JpegImage jpegFixture;
    jpegFixture.width = 16;
    jpegFixture.height = 16;
    jpegFixture.components = 3;
    jpegFixture.progressive = true;
    jpegFixture.samples.assign(16 * 16 * 3, 99);
    WriteJpeg(dir_.path("small.jpg"), jpegFixture);
    Bytes jpeg = ReadBytes(dir_.path("small.jpg"));
    const std::size_t sof = FindMarker(jpeg, 0xC2);
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = jpeg[sof + 7] = 0xFF;  // 65535 x 65535
    jpeg[sof + 6] = jpeg[sof + 8] = 0xFF;

    // One row written of the million claimed.
    TiffImage tiff;
    tiff.width = 1000000;
    tiff.height = 1000000;
    tiff.rowsPerStrip = 16;
    tiff.data.assign(1000000, 3);
    WriteTiff(dir_.path("huge.tif"), tiff);

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
        status::Code expected;  // Ok: either failure will do
    };
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    ExrImage exrFixture;
    exrFixture.width = 16;
    exrFixture.height = 16;
    exrFixture.compression = Imf::ZIP_COMPRESSION;
    exrFixture.channels = {ExrChannel{"R", Imf::FLOAT, 1, std::vector<std::uint32_t>(256, 0x3F800000u)}};
    WriteExr(dir_.path("small.exr"), exrFixture);
    Bytes exrWindow = ReadBytes(dir_.path("small.exr"));
    Set32(exrWindow, ExrAttribute(exrWindow, "dataWindow") + 8, 99999, false);  // max x and y
    Set32(exrWindow, ExrAttribute(exrWindow, "dataWindow") + 12, 99999, false);
    exrFixture.tileWidth = 8;
    exrFixture.tileHeight = 8;
    WriteExr(dir_.path("tiles.exr"), exrFixture);
    Bytes exrTiles = ReadBytes(dir_.path("tiles.exr"));
    Set32(exrTiles, ExrAttribute(exrTiles, "dataWindow") + 8, 99999, false);
    Set32(exrTiles, ExrAttribute(exrTiles, "dataWindow") + 12, 99999, false);
    Bytes exrTileSize = exrTiles;
    Set32(exrTileSize, ExrAttribute(exrTiles, "tiles"), 1u << 30, false);
    Set32(exrTileSize, ExrAttribute(exrTiles, "tiles") + 4, 1u << 30, false);

    const std::vector<Case> cases = {
        {"exr data window", exrWindow, status::Code::InvalidData},
        {"exr tiled data window", exrTiles, status::Code::Ok},
        {"exr tile size", exrTileSize, status::Code::Ok},
        {"png rows", PatchPngHeader(png, 1000000, 1000000, 0), status::Code::InvalidData},
        {"png interlaced", PatchPngHeader(png, 1000000, 1000000, 1), status::Code::Ok},
        {"jpeg progressive", jpeg, status::Code::Ok},
        {"tiff", ReadBytes(dir_.path("huge.tif")), status::Code::Ok},
        {"bmp", bmp, status::Code::Ok},
        {"pgm", text("P5\n100000 100000\n255\n" + std::string(100, 'x')), status::Code::InvalidData},
        {"pfm", text("PF\n100000 100000\n-1\n" + std::string(100, 'x')), status::Code::InvalidData},
        {"dds", DdsBytes(100000, 100000, DdsFourCc(116), Bytes(100, 1)), status::Code::InvalidData},
        {"dx10", Dds10Bytes(4000000000u, 4000000000u, 2, Bytes(100, 1)), status::Code::InvalidData},
    };
    const long before = PeakResidentKiB();
    for (const Case& c : cases) {
        WriteBytes(dir_.path("huge"), c.bytes);
        const status::Code result = Load(dir_.path("huge"), 64, 64).result;
        if (c.expected == status::Code::Ok) {
            EXPECT_TRUE(result == status::Code::OutOfMemory || result == status::Code::InvalidData)
                << c.name << ": " << status::CodeText(result);
        } else {
            EXPECT_EQ(result, c.expected) << c.name;
        }
    }
    // At its own size the TIFF would take 16 TB of texels, far more than its few
    // bytes can hold even compressed: refused as a cut-short file.
    image::DecodedImage image;
    EXPECT_EQ(image::DecodeImageFile(dir_.path("huge.tif").c_str(), &image).code, status::Code::InvalidData);
    // Nothing near the claimed sizes was ever touched.
    EXPECT_LT(PeakResidentKiB() - before, 256 * 1024);
}

}  // namespace
