#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "../../support/temp_dir.h"
#include "image/decode_image.h"
#include "platform/d3d9.h"
#include "platform/wide_text.h"
#include "test_device.h"

namespace {

std::uint32_t Word(const std::vector<char>& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

struct SavedTexture : TestTexture {
    SavedTexture(UINT w, UINT h) : TestTexture(w, h) {
        fillLevel0([n = std::size_t{w} * h](float* texels) {
            for (std::size_t i = 0; i < n; ++i) {
                texels[i * 4] = static_cast<float>(i) * 0.25f;
                texels[i * 4 + 1] = 1.0f - static_cast<float>(i);
            }
        });
    }
};

TEST(SaveTexture, HeaderFieldsAndEveryLevel) {
    TempDir dir;
    SavedTexture t(6, 4);
    ASSERT_EQ(t.save(dir.file("out.dds")), S_OK);
    const auto bytes = ReadAll(dir.file("out.dds"));
    // Levels 6x4, 3x2, 1x1: 24 + 6 + 1 texels of 16 bytes after the 128-byte header.
    ASSERT_EQ(bytes.size(), 128u + (24 + 6 + 1) * 16);
    EXPECT_EQ(std::string(bytes.data(), 4), "DDS ");
    EXPECT_EQ(Word(bytes, 4), 124u);
    EXPECT_EQ(Word(bytes, 8), 0x2100Fu);  // caps, height, width, pitch, pixel format, mip count
    EXPECT_EQ(Word(bytes, 12), 4u);
    EXPECT_EQ(Word(bytes, 16), 6u);
    EXPECT_EQ(Word(bytes, 20), 6u * 16);
    EXPECT_EQ(Word(bytes, 28), 3u);
    EXPECT_EQ(Word(bytes, 76), 32u);
    EXPECT_EQ(Word(bytes, 80), 4u);    // FourCC flag
    EXPECT_EQ(Word(bytes, 84), 116u);  // four 32-bit floats
    EXPECT_EQ(Word(bytes, 108), 0x401008u);
    for (std::size_t offset : {32u, 72u, 88u, 104u, 112u, 124u}) EXPECT_EQ(Word(bytes, offset), 0u) << offset;

    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t.texture->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(std::memcmp(bytes.data() + 128, lr.pBits, 24 * 16), 0);
    EXPECT_EQ(t.texture->UnlockRect(0), S_OK);
    ASSERT_EQ(t.texture->LockRect(1, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(std::memcmp(bytes.data() + 128 + 24 * 16, lr.pBits, 6 * 16), 0);
    EXPECT_EQ(t.texture->UnlockRect(1), S_OK);
    float blue = -1.0f;
    std::memcpy(&blue, bytes.data() + 128 + 8, 4);
    EXPECT_EQ(blue, 0.0f);  // never written
}

// What is saved reads back, through the loader's own DDS reader, as the same texels.
TEST(SaveTexture, RoundTripThroughTheReader) {
    TempDir dir;
    SavedTexture t(7, 3);
    ASSERT_EQ(t.save(dir.file("round.dds")), S_OK);
    image::DecodedImage image;
    ASSERT_TRUE(image::DecodeImageFile(dir.file("round.dds").c_str(), &image).ok());
    ASSERT_EQ(image.width, 7u);
    ASSERT_EQ(image.height, 3u);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t.texture->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(std::memcmp(image.texels.data(), lr.pBits, 7 * 3 * 16), 0);
    EXPECT_EQ(t.texture->UnlockRect(0), S_OK);
}

TEST(SaveTexture, SavingTwiceGivesIdenticalFilesAndNoTemporaries) {
    TempDir dir;
    SavedTexture t(5, 5);
    ASSERT_EQ(t.save(dir.file("a.dds")), S_OK);
    ASSERT_EQ(t.save(dir.file("a.winter.dds")), S_OK);
    EXPECT_EQ(ReadAll(dir.file("a.dds")), ReadAll(dir.file("a.winter.dds")));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.dds", "a.winter.dds"}));
    ASSERT_EQ(t.save(dir.file("a.dds")), S_OK);  // replacing an older file
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.dds", "a.winter.dds"}));
}

TEST(SaveTexture, UnusablePathsFailAndWriteNothing) {
    TempDir dir;
    SavedTexture t(2, 2);
    std::filesystem::create_directory(dir.file("sub"));
    EXPECT_LT(t.save(dir.file("missing/out.dds")), 0);
    EXPECT_LT(t.save(dir.file("sub")), 0);  // a directory in the way
    EXPECT_LT(t.save(dir.file("sub/")), 0);
    EXPECT_LT(t.save(""), 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"sub"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("sub")));
    if (geteuid() != 0) {  // root writes anywhere
        std::filesystem::permissions(dir.file("sub"),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(t.save(dir.file("sub/out.dds")), E_ACCESSDENIED);
    }
}

// A file-size limit makes the write fail part-way, as a full disk does: the older
// file must stay as it was and nothing else may appear.
TEST(SaveTexture, FailedWriteKeepsTheOlderFile) {
    TempDir dir;
    const std::string target = dir.file("out.dds");
    WriteAll(target, "older content");
    SavedTexture t(64, 64);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(t.save(target) == S_OK ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const auto bytes = ReadAll(target);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "older content");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.dds"});
}

TEST(SaveTexture, NamesKeepTheirBytes) {
    TempDir dir;
    SavedTexture t(1, 1);
    const std::string name = dir.file("h\xC3\xB6he map \xFF.dds");  // UTF-8 and a stray byte
    ASSERT_EQ(t.save(name), S_OK);
    EXPECT_TRUE(std::filesystem::exists(name));
}

}  // namespace
