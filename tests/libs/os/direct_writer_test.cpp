// The direct writer must put exactly the bytes it was given on disk, whatever the
// alignment of the pieces, and keep the bulk of a large file out of the page cache.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "../../support/temp_dir.h"
#include "os/direct_writer.h"
#include "os/page_buffer.h"

using os::DirectWriter;
using os::PageBuffer;

namespace {

constexpr std::size_t kBlock = DirectWriter::kBlock;

struct Piece {
    std::size_t sourceOffset;  // into a page-aligned source buffer
    std::size_t bytes;
};

// Writes the pieces in order with `mode` and returns the file's bytes.
std::vector<char> WritePieces(const std::string& path, const std::vector<Piece>& pieces, DirectWriter::Mode mode,
                              const unsigned char* source, bool* direct = nullptr) {
    const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0);
    {
        DirectWriter writer(fd, mode);
        for (const Piece& p : pieces) EXPECT_TRUE(writer.write(source + p.sourceOffset, p.bytes).ok());
        EXPECT_TRUE(writer.finish().ok());
        if (direct != nullptr) *direct = writer.direct();
    }
    close(fd);
    return ReadAll(path);
}

std::vector<char> Expected(const std::vector<Piece>& pieces, const unsigned char* source) {
    std::vector<char> bytes;
    for (const Piece& p : pieces) bytes.insert(bytes.end(), source + p.sourceOffset, source + p.sourceOffset + p.bytes);
    return bytes;
}

class DirectWriterTest : public testing::TestWithParam<DirectWriter::Mode> {
protected:
    void SetUp() override {
        ASSERT_TRUE(PageBuffer::map(kSourceBytes, source_).ok());
        auto* bytes = static_cast<unsigned char*>(source_.data());
        for (std::size_t i = 0; i < kSourceBytes; ++i) bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);
    }
    const unsigned char* source() const { return static_cast<const unsigned char*>(source_.data()); }

    static constexpr std::size_t kSourceBytes = 6 << 20;
    PageBuffer source_;
    TempDir dir_;
};

TEST_P(DirectWriterTest, PiecesOfEveryAlignmentLandExactly) {
    const std::vector<std::vector<Piece>> cases = {
        {},                                                    // an empty file
        {{0, 1}},                                              // shorter than a block
        {{0, kBlock}},                                         // exactly one block
        {{0, 128}, {128, 5 * kBlock}},                         // a header, then data that lines up after it
        {{7, 128}, {128, 3 << 20}},                            // the header from anywhere
        {{0, 128}, {128, (2 << 20) + 37}},                     // with an unaligned end
        {{1, (3 << 20) + 5}},                                  // a source that never lines up
        {{0, kBlock - 1}, {kBlock - 1, 1}, {kBlock, kBlock}},  // lining up exactly at a boundary
        {{3, 10}, {100, 2 * kBlock}, {5000, 1}, {0, (1 << 20) + kBlock}, {9, 3 * kBlock + 1}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto bytes = WritePieces(dir_.file("out"), cases[i], GetParam(), source());
        ASSERT_EQ(bytes, Expected(cases[i], source())) << "case " << i;
    }
}

// Every short length, and every length near where a header-and-data file crosses a
// block or fills the staging buffer: the padding of the last block must never show.
TEST_P(DirectWriterTest, EveryLengthNearTheBoundaries) {
    std::vector<std::size_t> lengths(65);
    std::iota(lengths.begin(), lengths.end(), 0);
    for (std::size_t end : {kBlock, 2 * kBlock, 3 * kBlock, std::size_t{1} << 20, (std::size_t{1} << 20) + kBlock})
        for (std::size_t d = 0; d < 5; ++d) lengths.push_back(end - 128 - 2 + d);
    for (const std::size_t length : lengths) {
        const std::vector<Piece> pieces = {{0, 128}, {128, length}};
        const auto bytes = WritePieces(dir_.file("out"), pieces, GetParam(), source());
        ASSERT_EQ(bytes.size(), 128 + length);
        ASSERT_EQ(bytes, Expected(pieces, source())) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, DirectWriterTest,
                         testing::Values(DirectWriter::Mode::Direct, DirectWriter::Mode::Buffered));

// Where the file system takes direct writes, the data that lined up was never
// cached: of 32 MB only the staged first and last blocks may be resident.
TEST(DirectWriter, BulkDataBypassesThePageCache) {
    TempDir dir;
    const std::string path = dir.file("big");
    constexpr std::size_t kData = std::size_t{32} << 20;
    PageBuffer data;
    ASSERT_TRUE(PageBuffer::map(kData, data).ok());
    std::memset(data.data(), 0x5A, kData);
    const std::vector<Piece> pieces = {{0, 128}, {128, kData - 128 - 1000}};
    bool direct = false;
    const auto bytes =
        WritePieces(path, pieces, DirectWriter::Mode::Direct, static_cast<unsigned char*>(data.data()), &direct);
    ASSERT_EQ(bytes.size(), kData - 1000);
    if (!direct) GTEST_SKIP() << "this file system refuses direct writes";
    // ReadAll above read the file through the cache: drop it and write again.
    const int fd = open(path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        DirectWriter writer(fd);
        ASSERT_TRUE(writer.write(data.data(), 128).ok());
        ASSERT_TRUE(writer.write(static_cast<char*>(data.data()) + 128, kData - 128 - 1000).ok());
        ASSERT_TRUE(writer.finish().ok());
    }
    void* mapped = mmap(nullptr, kData - 1000, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((kData - 1000 + page - 1) / page);
    ASSERT_EQ(mincore(mapped, kData - 1000, resident.data()), 0);
    std::size_t cached = 0;
    for (unsigned char r : resident) cached += r & 1;
    EXPECT_LE(cached, 4u) << "of " << resident.size() << " pages";
    munmap(mapped, kData - 1000);
    close(fd);
}

}  // namespace
