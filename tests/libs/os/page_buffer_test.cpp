// Buffers large enough to start on a huge page boundary are trimmed from a larger
// mapping: every byte asked for must stay mapped, zero and writable, and the
// buffer must be released whole.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "os/page_buffer.h"

using os::PageBuffer;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(PageBuffer, EveryByteOfSizesAroundTheHugePageThresholdIsUsable) {
    for (const std::size_t bytes : {std::size_t{1}, 4095 * std::size_t{1}, 2 * kMiB, 8 * kMiB - 1, 8 * kMiB,
                                    8 * kMiB + 1, 8 * kMiB + 4097, 37 * kMiB + 123}) {
        PageBuffer buffer;
        ASSERT_TRUE(PageBuffer::allocate(bytes, 0, buffer).ok()) << bytes;
        auto* p = static_cast<volatile unsigned char*>(buffer.data());
        const std::size_t places[] = {0, bytes / 2, bytes - 1};
        for (const std::size_t at : places) EXPECT_EQ(p[at], 0) << bytes << " at " << at;
        for (const std::size_t at : places) p[at] = 0xA5;
        for (const std::size_t at : places) EXPECT_EQ(p[at], 0xA5) << bytes << " at " << at;
        if (bytes >= 8 * kMiB) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % (2 * kMiB), 0u) << bytes;
        }
        // A moved buffer keeps its memory; the emptied one releases nothing.
        PageBuffer moved(std::move(buffer));
        EXPECT_EQ(buffer.data(), nullptr);  // NOLINT(bugprone-use-after-move): the moved-from state is checked
        EXPECT_EQ(static_cast<unsigned char*>(moved.data())[bytes - 1], 0xA5);
    }
}

TEST(PageBuffer, RefusesWhatCannotBeBacked) {
    PageBuffer buffer;
    EXPECT_EQ(PageBuffer::allocate(SIZE_MAX - 100, 0, buffer).code, status::Code::OutOfMemory);
    EXPECT_EQ(buffer.data(), nullptr);
}

}  // namespace
