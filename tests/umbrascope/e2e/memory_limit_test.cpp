// The tool and its export companion inside a memory cgroup whose limit is far below
// what the machine has free: what does not fit is refused, instead of the kernel
// killing the process once its pages are touched.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "../../support/limited_group.h"
#include "tool.h"

namespace {

TEST(MemoryLimit, TexturesBeyondTheGroupsLimitAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a memory cgroup needs root";
    LimitedGroup group(64u << 20);
    if (!group.usable()) GTEST_SKIP() << "no memory cgroup can be created here";

    TempDir dir;
    WritePgm(dir.file("map.pgm"), 16, 16, std::vector<unsigned char>(256, 40));
    // 2048: each texture alone is 64 MB, more than the group can hold. 1448: the
    // height map's 32 MB fit, the tree map's do not fit beside them, although both
    // are loaded at once and neither has touched its pages yet when the other is
    // created: the height map still comes first, as when loaded in turn. 1100: the
    // three level-0 textures (58 MB) fit, the output's mip levels beside them do
    // not, which is found when the output is created, not when it is saved.
    struct Case {
        const char* rez;
        std::string failure;
    };
    std::vector<Case> cases = {
        {"2048", "Loading texturesERROR:Can`t load height map.\n"},
        {"1448", "Loading textures....ERROR:Can`t load tree map.\n"},
    };
#ifndef UMBRASCOPE_SANITIZED  // the sanitizers' own memory leaves too little room for the fine margin
    cases.push_back({"1100", "Loading textures........ERROR:Can`t create new texture for horizon map.\n"});
#endif
    for (const auto& c : cases) {
        const ProcessResult r =
            RunTool({"-H", dir.file("map.pgm"), "-T", dir.file("map.pgm"), "-r", c.rez, "-o", dir.file("out.dds")}, 60,
                    group.join());
        EXPECT_EQ(r.signal, 0) << c.rez;
        EXPECT_EQ(r.exitCode, 2) << c.rez << "\n" << r.out;
        EXPECT_NE(r.out.find(c.failure + "ERROR:Can`t init textures.\n" + FailureReport("Ran out of memory")),
                  std::string::npos)
            << r.out;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"map.pgm"});
}

// The companion's outputs are refused before the first is written: exit 2 and a line.
TEST(MemoryLimit, ExportOutputsBeyondTheGroupsLimitAreRefusedBeforeAnyIsWritten) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a memory cgroup needs root";
    LimitedGroup group(128u << 20);
    if (!group.usable()) GTEST_SKIP() << "no memory cgroup can be created here";

    TempDir dir;
    WritePgm(dir.file("map.pgm"), 16, 16, std::vector<unsigned char>(256, 40));
    // 3200: the horizon map (164 MB, read where it lies in the page cache) and the
    // height map at its size (41 MB) fit in the group, the angles (102 MB) and their
    // file beside them do not; a channel file, streamed, does.
    ASSERT_EQ(
        RunTool({"-H", dir.file("map.pgm"), "-T", dir.file("map.pgm"), "-r", "3200", "-o", dir.file("m.dds")}).exitCode,
        0);
    const std::vector<std::string> before = dir.entries();
    struct Case {
        std::vector<std::string> outputs;  // options and names in the directory
        int exitCode;
    };
    std::vector<Case> cases = {{{"-p", "p", "-c", "c.exr", "-a", "a.tif"}, 2}, {{"-a", "a.exr"}, 2}};
#ifndef UMBRASCOPE_SANITIZED  // the sanitizers' own memory leaves too little room
    cases.push_back({{"-c", "c.exr"}, 0});
#endif
    for (const auto& c : cases) {
        std::vector<std::string> argv = {UMBRASCOPE_EXPORT_EXE, dir.file("m.dds"), "-H", dir.file("map.pgm")};
        for (std::size_t i = 0; i < c.outputs.size(); ++i)
            argv.push_back(i % 2 == 0 ? c.outputs[i] : dir.file(c.outputs[i]));
        const ProcessResult r = RunProcess(argv, 60, group.join());
        EXPECT_EQ(r.signal, 0) << argv[5];
        EXPECT_EQ(r.exitCode, c.exitCode) << argv[5] << ": " << r.err;
        if (c.exitCode == 0) continue;
        EXPECT_NE(r.err.find("umbrascope-export: too little memory"), std::string::npos) << r.err;
        EXPECT_EQ(dir.entries(), before) << argv[5];
    }
}

// A grey-and-alpha interlaced PNG of zeros: small on disk, decoded whole (2 side^2 bytes).
void WriteBlankInterlacedPng(const std::string& path, std::uint32_t side) {
    std::ofstream file(path, std::ios::binary);
    const auto word = [](std::uint32_t w) { return std::string{char(w >> 24), char(w >> 16), char(w >> 8), char(w)}; };
    const auto chunk = [&](const std::string& typeAndData) {
        file << word(static_cast<std::uint32_t>(typeAndData.size() - 4)) << typeAndData
             << word(crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), typeAndData.size()));
    };
    file << "\x89PNG\r\n\x1a\n";
    chunk("IHDR" + word(side) + word(side) + std::string("\x08\x04\x00\x00\x01", 5));
    // Seven passes, 15 side / 8 rows (side a multiple of 8): a filter byte, 2 bytes a pixel.
    std::uint64_t left = 2 * std::uint64_t{side} * side + side / 8 * 15;
    z_stream z{};
    deflateInit(&z, 9);
    const std::vector<Bytef> zeros(1 << 20, 0);
    std::string data = "IDAT";
    for (int flush = Z_NO_FLUSH; flush != Z_FINISH;) {
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = static_cast<uInt>(std::min<std::uint64_t>(left, zeros.size()));
        left -= z.avail_in;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            char out[65536];
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof out;
            deflate(&z, flush);
            data.append(out, sizeof out - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk(data);
    chunk("IEND");
}

// Both maps are decoded at once. Each 17320^2 map needs 600 MB while decoding:
// in 1 GB one fits, two do not, so they are decoded in turn; in 512 MB not even one.
TEST(MemoryLimit, MapsDecodedAtOnceAreCountedTogether) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a memory cgroup needs root";
    TempDir dir;
    WriteBlankInterlacedPng(dir.file("map.png"), 17320);
    const struct {
        std::uint64_t limit;
        int exitCode;
        std::string printed;
    } cases[] = {
        {1u << 30, 0, "Loading textures..........OK\n"},
        {512u << 20, 2,
         "ERROR:Can`t load height map.\nERROR:Can`t init textures.\n" + FailureReport("Ran out of memory")},
    };
    for (const auto& c : cases) {
        LimitedGroup group(c.limit);
        if (!group.usable()) GTEST_SKIP() << "no memory cgroup can be created here";
        const ProcessResult r =
            RunTool({"-H", dir.file("map.png"), "-T", dir.file("map.png"), "-r", "64", "-o", dir.file("out.dds")}, 120,
                    group.join());
        EXPECT_EQ(r.signal, 0) << c.limit;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.limit << "\n" << r.out;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
    }
}

}  // namespace
