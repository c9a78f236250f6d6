#include "run_deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace encode {

static_assert(std::endian::native == std::endian::little, "the bit buffer is stored a word at a time");

namespace {

constexpr int kSymbols = 286;  // literals, end of block, lengths
constexpr int kEndOfBlock = 256;
constexpr int kMaxRun = 258;
constexpr std::size_t kStoredMax = 65535;

struct LengthCode {
    std::uint16_t symbol;
    std::uint8_t extraBits;
    std::uint8_t extra;
};

// The symbol and extra bits of each match length 3..258.
const std::array<LengthCode, kMaxRun + 1>& LengthCodes() {
    static const auto table = [] {
        std::array<LengthCode, kMaxRun + 1> t{};
        const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                              31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        for (int code = 0; code < 29; ++code) {
            const int extraBits = code < 8 || code == 28 ? 0 : (code - 4) / 4;
            for (int k = 0; k < (1 << extraBits) && base[code] + k <= kMaxRun; ++k)
                t[base[code] + k] = {static_cast<std::uint16_t>(257 + code), static_cast<std::uint8_t>(extraBits),
                                     static_cast<std::uint8_t>(k)};
        }
        t[kMaxRun] = {285, 0, 0};  // not 284 with 31 extra, which the format forbids
        return t;
    }();
    return table;
}

// Lengths of at most `limit` bits for a complete prefix code over the symbols of
// nonzero `freq` (0 for the rest): Huffman's, the deepest leaves lifted up to the
// limit and the code made whole again by lengthening the next shorter ones.
void CodeLengths(const std::uint32_t* freq, int n, int limit, std::uint8_t* lengths) {
    std::fill(lengths, lengths + n, 0);
    std::vector<std::pair<std::uint32_t, int>> used;  // by rising frequency
    for (int s = 0; s < n; ++s)
        if (freq[s] > 0) used.emplace_back(freq[s], s);
    if (used.size() < 2) {
        // A code of one symbol is not complete: a second, never sent, makes it so.
        lengths[used.empty() || used[0].second != 0 ? 0 : 1] = 1;
        if (!used.empty()) lengths[used[0].second] = 1;
        return;
    }
    std::sort(used.begin(), used.end());
    const int m = static_cast<int>(used.size());
    // Two queues: the leaves in order, and the joined nodes, made in order too.
    std::vector<std::uint64_t> weight(2 * m - 1);
    std::vector<int> parent(2 * m - 1, 0);
    for (int i = 0; i < m; ++i) weight[i] = used[i].first;
    int leaf = 0, joined = m;
    for (int next = m; next < 2 * m - 1; ++next) {
        int two[2];
        for (int& t : two) t = leaf < m && (joined == next || weight[leaf] <= weight[joined]) ? leaf++ : joined++;
        weight[next] = weight[two[0]] + weight[two[1]];
        parent[two[0]] = parent[two[1]] = next;
    }
    std::vector<int> depth(2 * m - 1, 0);
    std::vector<int> count(limit + 1, 0);
    for (int i = 2 * m - 3; i >= 0; --i) depth[i] = depth[parent[i]] + 1;
    for (int i = 0; i < m; ++i) ++count[std::min(depth[i], limit)];
    std::uint64_t total = 0;
    for (int len = 1; len <= limit; ++len)
        total += std::uint64_t{static_cast<std::uint32_t>(count[len])} << (limit - len);
    for (; total > (std::uint64_t{1} << limit); --total) {
        --count[limit];
        for (int len = limit - 1; len > 0; --len)
            if (count[len] > 0) {
                --count[len];
                count[len + 1] += 2;
                break;
            }
    }
    // The rarest symbols take the longest codes.
    int i = 0;
    for (int len = limit; len > 0; --len)
        for (int k = 0; k < count[len]; ++k) lengths[used[i++].second] = static_cast<std::uint8_t>(len);
}

// Canonical codes for `lengths`, bit-reversed as deflate sends them.
void Codes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
    int perLength[16] = {};
    for (int s = 0; s < n; ++s)
        if (lengths[s] > 0) ++perLength[lengths[s]];
    int next[16] = {};
    for (int len = 1, code = 0; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    for (int s = 0; s < n; ++s) {
        if (lengths[s] == 0) continue;
        const unsigned code = static_cast<unsigned>(next[lengths[s]]++);
        unsigned reversed = 0;
        for (int b = 0; b < lengths[s]; ++b) reversed |= ((code >> b) & 1u) << (lengths[s] - 1 - b);
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
}

// How many bytes from `p` (at most `most`) equal `b`.
std::size_t RunLength(const std::uint8_t* p, std::size_t most, std::uint8_t b) {
    const std::uint64_t pattern = 0x0101010101010101ull * b;
    std::size_t k = 0;
    for (; k + 8 <= most; k += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + k, 8);
        x ^= pattern;
        if (x != 0) return k + static_cast<std::size_t>(std::countr_zero(x) >> 3);
    }
    while (k < most && p[k] == b) ++k;
    return k;
}

// The first j >= i (i >= 1) whose byte and the two after it repeat the one before
// it, so that a match of 3 or more starts there; n when none does. Six places at a
// time: a zero byte of a ^ b marks two equal neighbours.
std::size_t NextRun(const std::uint8_t* data, std::size_t i, std::size_t n) {
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full, kHigh = 0x8080808080808080ull;
    std::size_t q = i - 1;
    for (; q + 9 <= n; q += 6) {
        std::uint64_t a, b;
        std::memcpy(&a, data + q, 8);
        std::memcpy(&b, data + q + 1, 8);
        const std::uint64_t x = a ^ b;
        const std::uint64_t zeros = ~(((x & kLow) + kLow) | x) & kHigh;
        const std::uint64_t threes = zeros & (zeros >> 8) & (zeros >> 16) & 0x0000808080808080ull;
        if (threes != 0) return q + 1 + static_cast<std::size_t>(std::countr_zero(threes) >> 3);
    }
    for (std::size_t j = q + 1; j + 2 < n; ++j)
        if (data[j - 1] == data[j] && data[j] == data[j + 1] && data[j + 1] == data[j + 2]) return j;
    return n;
}

}  // namespace

RunDeflater::RunDeflater(std::uint64_t rawBytes, std::size_t maxBlock)
    : capacity_(static_cast<std::size_t>(rawBytes + rawBytes / 64 + 4096)), out_(new std::uint8_t[capacity_]) {
    tokens_.resize(maxBlock);
}

void RunDeflater::reserve(std::size_t more) {
    if (used_ + more <= capacity_) return;
    const std::size_t grown = std::max(capacity_ * 2, used_ + more);
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[grown]);
    std::memcpy(bigger.get(), out_.get(), used_);
    out_ = std::move(bigger);
    capacity_ = grown;
}

void RunDeflater::align() {
    for (; count_ > 0; count_ -= 8, bits_ >>= 8) out_[used_++] = static_cast<std::uint8_t>(bits_);
    count_ = 0;
    bits_ = 0;
}

void RunDeflater::stored(const std::uint8_t* data, std::size_t n) {
    for (std::size_t done = 0; done < n || n == 0;) {
        const std::size_t part = std::min(kStoredMax, n - done);
        put(0, 3);  // not final, stored
        align();
        const std::uint8_t header[4] = {static_cast<std::uint8_t>(part), static_cast<std::uint8_t>(part >> 8),
                                        static_cast<std::uint8_t>(~part), static_cast<std::uint8_t>(~part >> 8)};
        std::memcpy(out_.get() + used_, header, 4);
        if (part > 0) std::memcpy(out_.get() + used_ + 4, data + done, part);
        used_ += 4 + part;
        done += part;
        if (n == 0) break;
    }
}

void RunDeflater::block(const std::uint8_t* data, std::size_t n) {
    reserve(n + 5 * (n / kStoredMax + 1) + 1024);
    if (n > tokens_.size()) tokens_.resize(n);
    const auto& lengthCodes = LengthCodes();
    std::uint32_t freq[kSymbols] = {};
    std::uint64_t extraBits = 0, matches = 0;
    // The first byte a literal: runs reach back within the block only.
    std::uint16_t* token = tokens_.data();
    *token++ = data[0];
    ++freq[data[0]];
    for (std::size_t i = 1; i < n;) {
        for (const std::size_t next = NextRun(data, i, n); i < next; ++i) {
            *token++ = data[i];
            ++freq[data[i]];
        }
        if (i == n) break;
        const std::size_t run = RunLength(data + i, std::min<std::size_t>(n - i, kMaxRun), data[i - 1]);
        const LengthCode& code = lengthCodes[run];
        *token++ = static_cast<std::uint16_t>(256 + run - 3);
        ++freq[code.symbol];
        extraBits += code.extraBits;
        ++matches;
        i += run;
    }
    const std::uint16_t* const tokensEnd = token;
    freq[kEndOfBlock] = 1;

    std::uint8_t lengths[kSymbols];
    std::uint16_t codes[kSymbols] = {};
    CodeLengths(freq, kSymbols, 15, lengths);
    Codes(lengths, kSymbols, codes);
    int symbols = kSymbols;
    while (symbols > 257 && lengths[symbols - 1] == 0) --symbols;
    // The code lengths, then those of two distance codes of one bit (distance 1 is
    // code 0; two keep the code complete), as code-length symbols: 17 and 18 for runs
    // of zeros.
    std::uint8_t all[kSymbols + 2];
    std::copy(lengths, lengths + symbols, all);
    all[symbols] = all[symbols + 1] = 1;
    const int allCount = symbols + 2;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> sequence;  // symbol, extra
    std::uint32_t clFreq[19] = {};
    for (int j = 0; j < allCount;) {
        int zeros = 0;
        while (all[j] == 0 && j + zeros < allCount && all[j + zeros] == 0 && zeros < 138) ++zeros;
        if (zeros >= 3) {
            sequence.emplace_back(zeros >= 11 ? 18 : 17, static_cast<std::uint8_t>(zeros - (zeros >= 11 ? 11 : 3)));
            j += zeros;
        } else {
            sequence.emplace_back(all[j], 0);
            ++j;
        }
        ++clFreq[sequence.back().first];
    }
    std::uint8_t clLengths[19];
    std::uint16_t clCodes[19] = {};
    CodeLengths(clFreq, 19, 7, clLengths);
    Codes(clLengths, 19, clCodes);
    static const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int clCount = 19;
    while (clCount > 4 && clLengths[kOrder[clCount - 1]] == 0) --clCount;

    // Stored instead when the codes would not be smaller.
    std::uint64_t bits = 17 + 3 * static_cast<std::uint64_t>(clCount) + extraBits + matches;
    for (const auto& [symbol, extra] : sequence) bits += clLengths[symbol] + (symbol == 18 ? 7 : symbol == 17 ? 3 : 0);
    for (int s = 0; s < symbols; ++s) bits += std::uint64_t{freq[s]} * lengths[s];
    if (bits >= 8 * static_cast<std::uint64_t>(n) + 48 * (n / kStoredMax + 1)) {
        stored(data, n);
        return;
    }
    put(0b100, 3);  // not final, dynamic codes
    put(static_cast<std::uint32_t>(symbols - 257), 5);
    put(1, 5);  // two distance codes
    put(static_cast<std::uint32_t>(clCount - 4), 4);
    for (int k = 0; k < clCount; ++k) put(clLengths[kOrder[k]], 3);
    for (const auto& [symbol, extra] : sequence) {
        put(clCodes[symbol], clLengths[symbol]);
        if (symbol >= 17) put(extra, symbol == 18 ? 7 : 3);
    }
    // The tokens with the bit buffer in locals: a byte stored through out_ could, for
    // the compiler, change the members, which would then live in memory.
    std::uint8_t* out = out_.get() + used_;
    std::uint64_t buffered = bits_;
    int count = count_;
    const auto emit = [&](std::uint32_t value, int n) {
        buffered |= std::uint64_t{value} << count;
        count += n;
        if (count < 32) return;
        const auto word = static_cast<std::uint32_t>(buffered);  // its low byte first, as put writes
        std::memcpy(out, &word, 4);
        out += 4;
        buffered >>= 32;
        count -= 32;
    };
    for (const std::uint16_t* t = tokens_.data(); t < tokensEnd; ++t) {
        if (*t < 256) {
            emit(codes[*t], lengths[*t]);
            continue;
        }
        const LengthCode& code = lengthCodes[*t - 256 + 3];
        emit(codes[code.symbol], lengths[code.symbol]);
        emit(code.extra, code.extraBits + 1);  // then distance code 0: one 0 bit
    }
    emit(codes[kEndOfBlock], lengths[kEndOfBlock]);
    used_ = static_cast<std::size_t>(out - out_.get());
    bits_ = buffered;
    count_ = count;
}

void RunDeflater::end(bool last) {
    reserve(16);
    if (!last) {
        stored(nullptr, 0);
        return;
    }
    put(0b011, 3);  // final, fixed codes
    put(0, 7);      // end of block
    align();
}

}  // namespace encode
