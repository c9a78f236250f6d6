#include "encode/exr_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <new>
#include <numeric>

#include "encode/encoded_size.h"
#include "os/atomic_file.h"
#include "os/side_by_side_work.h"

namespace encode {

namespace {

static_assert(std::endian::native == std::endian::little, "EXR samples are little-endian, as ours");

void Append(std::vector<std::uint8_t>* out, const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), p, p + n);
}

// Small values by resize and copy: GCC 12 warns wrongly about inserting them.
template <typename T>
void AppendValue(std::vector<std::uint8_t>* out, T value) {
    const std::size_t at = out->size();
    out->resize(at + sizeof value);
    std::memcpy(out->data() + at, &value, sizeof value);
}

void Attribute(std::vector<std::uint8_t>* out, const char* name, const char* type, const std::vector<std::uint8_t>& v) {
    Append(out, name, std::strlen(name) + 1);
    Append(out, type, std::strlen(type) + 1);
    AppendValue(out, static_cast<std::int32_t>(v.size()));
    Append(out, v.data(), v.size());
}

// The header of one scan-line part, its attributes in name order as OpenEXR writes
// them, the channels in name order.
void Header(const FloatChannels& channels, const std::vector<std::size_t>& order, bool rle,
            std::vector<std::uint8_t>* out) {
    bool longNames = false;
    std::vector<std::uint8_t> list;
    for (const std::size_t i : order) {
        longNames = longNames || channels.names[i].size() > 31;
        Append(&list, channels.names[i].c_str(), channels.names[i].size() + 1);
        AppendValue(&list, std::int32_t{2});   // FLOAT
        AppendValue(&list, std::uint32_t{0});  // linear, reserved
        AppendValue(&list, std::int32_t{1});   // x and y sampling
        AppendValue(&list, std::int32_t{1});
    }
    list.push_back(0);
    const std::uint8_t magic[4] = {0x76, 0x2F, 0x31, 0x01};
    Append(out, magic, 4);
    AppendValue(out, static_cast<std::uint32_t>(longNames ? 2 | 0x400 : 2));
    std::vector<std::uint8_t> window;
    for (const std::int32_t v :
         {0, 0, static_cast<std::int32_t>(channels.width) - 1, static_cast<std::int32_t>(channels.height) - 1})
        AppendValue(&window, v);
    std::vector<std::uint8_t> one, centre;
    AppendValue(&one, 1.0f);
    AppendValue(&centre, 0.0f);
    AppendValue(&centre, 0.0f);
    Attribute(out, "channels", "chlist", list);
    Attribute(out, "compression", "compression", {static_cast<std::uint8_t>(rle ? 1 : 0)});
    Attribute(out, "dataWindow", "box2i", window);
    Attribute(out, "displayWindow", "box2i", window);
    Attribute(out, "lineOrder", "lineOrder", {0});  // increasing y
    Attribute(out, "pixelAspectRatio", "float", one);
    Attribute(out, "screenWindowCenter", "v2f", centre);
    Attribute(out, "screenWindowWidth", "float", one);
    out->push_back(0);
}

// The first p in [from, limit) with p[0] == p[1] == p[2] inside `end`, else limit;
// eight bytes at a time (a zero byte of a ^ b marks two equal neighbours).
const std::uint8_t* Triple(const std::uint8_t* from, const std::uint8_t* limit, const std::uint8_t* end) {
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full, kHigh = 0x8080808080808080ull;
    const std::uint8_t* p = from;
    for (; p + 9 <= end && p + 7 <= limit; p += 7) {
        std::uint64_t a, b;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + 1, 8);
        const std::uint64_t x = a ^ b;
        const std::uint64_t zeros = ~(((x & kLow) + kLow) | x) & kHigh;
        const std::uint64_t pairs = zeros & (zeros >> 8);
        if (pairs != 0) return std::min(p + (std::countr_zero(pairs) >> 3), limit);
    }
    for (; p < limit; ++p)
        if (p + 2 < end && p[0] == p[1] && p[1] == p[2]) return p;
    return limit;
}

// The end of the bytes equal to *start from `from` on, before `limit`.
const std::uint8_t* Same(const std::uint8_t* start, const std::uint8_t* from, const std::uint8_t* limit) {
    const std::uint64_t pattern = 0x0101010101010101ull * *start;
    const std::uint8_t* p = from;
    for (; p + 8 <= limit; p += 8) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        if ((x ^= pattern) != 0) return p + (std::countr_zero(x) >> 3);
    }
    while (p < limit && *p == *start) ++p;
    return p;
}

// OpenEXR's run-length packing of `n` bytes: a count c >= 0 then a byte repeated
// c + 1 times, or c < 0 then -c bytes as they are; runs of 3 to 128, stretches of
// up to 127. Returns the bytes written.
std::size_t RunLengths(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    constexpr std::ptrdiff_t kMinRun = 3, kMaxRun = 127;
    const std::uint8_t* const end = in + n;
    const std::uint8_t* start = in;
    const std::uint8_t* run = in + 1;
    std::uint8_t* o = out;
    while (start < end) {
        if (run < end) run = Same(start, run, std::min(end, start + kMaxRun + 1));
        if (run - start >= kMinRun) {
            *o++ = static_cast<std::uint8_t>(run - start - 1);
            *o++ = *start;
            start = run;
        } else {
            if (run < end) run = Triple(run, std::min(end, start + kMaxRun), end);
            *o++ = static_cast<std::uint8_t>(start - run);
            while (start < run) *o++ = *start++;
        }
        ++run;
    }
    return static_cast<std::size_t>(o - out);
}

// One chunk (a row) at a time: its samples, channel after channel, packed as the
// RLE compressor does (bytes split into even and odd halves, each less the one
// before it, then run lengths) unless that is no smaller.
class Rows {
public:
    Rows(const FloatChannels& channels, const std::vector<std::size_t>& order, bool rle)
        : channels_(channels), order_(order), rle_(rle) {
        const std::size_t n = std::size_t{channels.width} * 4 * order.size();
        line_.resize(n);
        split_.resize(rle ? n : 0);
        delta_.resize(rle ? n : 0);
        packed_.resize(rle ? 2 * n + 2 : 0);
    }

    // Appends rows `first` to `end` to `out`, each chunk's place (from the start of
    // `out`) in `offsets`.
    void write(std::uint32_t first, std::uint32_t end, std::vector<std::uint8_t>* out, std::uint64_t* offsets) {
        const std::size_t rowBytes = std::size_t{channels_.width} * 4;
        for (std::uint32_t r = first; r < end; ++r) {
            offsets[r] = out->size();
            AppendValue(out, static_cast<std::int32_t>(r));
            if (!rle_) {
                // Unpacked: the rows copied straight in.
                AppendValue(out, static_cast<std::int32_t>(line_.size()));
                for (const std::size_t k : order_) {
                    const std::size_t at = out->size();
                    out->resize(at + rowBytes);
                    channels_.plane(k).copyRow(r, channels_.width, out->data() + at);
                }
            } else {
                for (std::size_t k = 0; k < order_.size(); ++k)
                    channels_.plane(order_[k]).copyRow(r, channels_.width, line_.data() + k * rowBytes);
                const std::size_t packed = pack();
                const bool smaller = packed < line_.size();
                AppendValue(out, static_cast<std::int32_t>(smaller ? packed : line_.size()));
                Append(out, smaller ? packed_.data() : line_.data(), smaller ? packed : line_.size());
            }
        }
    }

private:
    std::size_t pack() {
        const std::size_t n = line_.size();
        const std::size_t evens = (n + 1) / 2;
        // Through pointers of their own: a byte stored through a vector's element may,
        // for the compiler, change the vector itself, which keeps the loops scalar.
        const std::uint8_t* __restrict line = line_.data();
        std::uint8_t* __restrict split = split_.data();
        std::uint8_t* __restrict delta = delta_.data();
        for (std::size_t i = 0; i < evens; ++i) split[i] = line[2 * i];
        for (std::size_t i = 0; i < n / 2; ++i) split[evens + i] = line[2 * i + 1];
        delta[0] = split[0];
        for (std::size_t i = 1; i < n; ++i) delta[i] = static_cast<std::uint8_t>(split[i] - split[i - 1] + 128);
        return RunLengths(delta, n, packed_.data());
    }

    const FloatChannels& channels_;
    const std::vector<std::size_t>& order_;
    bool rle_;
    std::vector<std::uint8_t> line_, split_, delta_, packed_;
};

}  // namespace

namespace {

// The file's pieces in order to `emit`, then its table of chunk offsets to `place`
// at its place: only a round's packed rows wait in memory. Each returns Ok or
// the failure that ends the packing.
using EmitBytes = std::function<status::Status(const std::vector<std::uint8_t>& bytes)>;
using PlaceBytes = std::function<status::Status(std::uint64_t at, const std::vector<std::uint8_t>& bytes)>;

status::Status PackFloatExr(const FloatChannels& channels, const RowsDone& progress, Compression compression,
                            const EmitBytes& emit, const PlaceBytes& place) {
    if (!channels.planesFit() || channels.width == 0 || channels.height == 0 || channels.width > 0x7FFFFFF ||
        channels.height > 0x7FFFFFFF) {
        return status::Fail(status::Code::InvalidArgument, {});
    }
    std::vector<std::size_t> order(channels.names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return channels.names[a] < channels.names[b]; });
    for (std::size_t k = 0; k < order.size(); ++k)
        if (channels.names[order[k]].empty() || (k > 0 && channels.names[order[k]] == channels.names[order[k - 1]]))
            return status::Fail(status::Code::InvalidArgument, {});
    try {
        const bool rle = compression != Compression::None;
        std::vector<std::uint8_t> here, beside;
        Header(channels, order, rle, &here);
        const std::uint64_t table = here.size();
        here.resize(here.size() + std::size_t{channels.height} * 8);
        if (status::Status s = emit(here); !s.ok()) return s;
        std::uint64_t position = here.size();
        // Rounds of two blocks of rows, one packed here and one beside.
        const std::uint64_t rowBytes = std::uint64_t{channels.width} * 4 * channels.planeCount();
        const auto blockRows = static_cast<std::uint32_t>(std::clamp<std::uint64_t>((4 << 20) / rowBytes, 1, 1 << 20));
        std::vector<std::uint64_t> offsets(channels.height);
        Rows mine(channels, order, rle), theirs(channels, order, rle);
        for (std::uint32_t r = 0; r < channels.height;) {
            const std::uint32_t middle = std::min(channels.height, r + blockRows);
            const std::uint32_t end = std::min(channels.height, middle + blockRows);
            here.clear();
            beside.clear();
            os::RunSideBySide([&] { mine.write(r, middle, &here, offsets.data()); },
                              [&] { theirs.write(middle, end, &beside, offsets.data()); });
            for (std::uint32_t k = r; k < middle; ++k) offsets[k] += position;
            for (std::uint32_t k = middle; k < end; ++k) offsets[k] += position + here.size();
            if (status::Status s = emit(here); !s.ok()) return s;
            if (status::Status s = emit(beside); !s.ok()) return s;
            position += here.size() + beside.size();
            r = end;
            if (progress) progress(r);
        }
        here.resize(offsets.size() * 8);
        std::memcpy(here.data(), offsets.data(), here.size());
        return place(table, here);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace

status::Status EncodeFloatExr(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                              const RowsDone& progress, Compression compression) {
    if (bytes == nullptr || why == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    bytes->clear();
    try {
        const std::uint64_t raw = std::uint64_t{channels.width} * channels.height * channels.planeCount() * 4;
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, channels.height)));
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
    status::Status packed = PackFloatExr(
        channels, progress, compression,
        [&](const std::vector<std::uint8_t>& piece) {
            Append(bytes, piece.data(), piece.size());
            return status::Ok();
        },
        [&](std::uint64_t at, const std::vector<std::uint8_t>& piece) {
            std::memcpy(bytes->data() + at, piece.data(), piece.size());
            return status::Ok();
        });
    if (!packed.ok()) bytes->clear();
    return packed;
}

status::Status WriteFloatExrFile(const std::string& path, const FloatChannels& channels, const RowsDone& progress,
                                 Compression compression) {
    os::AtomicFile file;
    if (status::Status opened = file.open(path, os::DirectWriter::Mode::Buffered); !opened.ok()) return opened;
    std::uint64_t position = 0;
    status::Status packed = PackFloatExr(
        channels, progress, compression,
        [&](const std::vector<std::uint8_t>& piece) {
            status::Status written = file.writeAt(position, piece.data(), piece.size());
            position += piece.size();
            return written;
        },
        [&](std::uint64_t at, const std::vector<std::uint8_t>& piece) {
            return file.writeAt(at, piece.data(), piece.size());
        });
    return packed.ok() ? file.commit() : packed;
}

}  // namespace encode
