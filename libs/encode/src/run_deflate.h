#pragma once
// Deflate blocks for filtered picture rows, made for speed: a run of one repeated
// byte becomes a match at distance 1, every other byte a literal, and each block
// gets Huffman codes of its own (or is stored, when those would not be smaller).
// What zlib's run-length strategy makes, several times as fast.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace encode {

class RunDeflater {
public:
    // Room for the blocks of `rawBytes` in all, added `maxBlock` at most at a time.
    // Exhausted memory escapes as std::bad_alloc.
    RunDeflater(std::uint64_t rawBytes, std::size_t maxBlock);

    // `n` bytes (1 to maxBlock) as one block, not the last of the stream.
    void block(const std::uint8_t* data, std::size_t n);
    // Ends the blocks: with `last`, an empty final block; without, an empty stored
    // block that leaves the stream on a byte boundary for more (a sync flush).
    void end(bool last);

    const std::uint8_t* data() const { return out_.get(); }
    std::size_t size() const { return used_; }

private:
    void reserve(std::size_t more);
    void put(std::uint32_t bits, int count) {
        bits_ |= std::uint64_t{bits} << count_;
        count_ += count;
        if (count_ < 32) return;
        for (int i = 0; i < 4; ++i) out_[used_++] = static_cast<std::uint8_t>(bits_ >> (8 * i));
        bits_ >>= 32;
        count_ -= 32;
    }
    void align();
    void stored(const std::uint8_t* data, std::size_t n);

    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> out_;  // not cleared: only what is written is touched
    std::size_t used_ = 0;
    std::uint64_t bits_ = 0;
    int count_ = 0;
    std::vector<std::uint16_t> tokens_;  // of a block: a literal byte, or 256 + match length - 3
};

}  // namespace encode
