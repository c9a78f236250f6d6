#include "hdr_decoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bad_data.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

namespace {

constexpr std::size_t kMaxLineLength = 4096;
constexpr int kMaxHeaderLines = 1024;

// One header line without its line feed; false at the end of the file or for a
// line that never ends.
[[nodiscard]] bool ReadLine(ImageFile& file, std::string* line) {
    line->clear();
    char c = 0;
    while (file.readExact(&c, 1)) {
        if (c == '\n') return true;
        if (line->size() == kMaxLineLength) return false;
        line->push_back(c);
    }
    return false;
}

[[nodiscard]] bool ParseDimension(std::string_view text, std::uint32_t* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size() && *value > 0;
}

// "-Y <height> +X <width>": rows from the top, texels from the left.
[[nodiscard]] bool ParseResolution(const std::string& line, std::uint32_t* width, std::uint32_t* height) {
    std::vector<std::string_view> tokens;
    std::string_view rest(line);
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        tokens.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return tokens.size() == 4 && tokens[0] == "-Y" && tokens[2] == "+X" && ParseDimension(tokens[1], height) &&
           ParseDimension(tokens[3], width);
}

// Only scanlines 8 to 32767 texels wide may be run-length coded.
bool MayBeRunLength(std::uint32_t width) { return width >= 8 && width <= 0x7FFF; }

// The fewest bytes a scanline of this width can be stored in: four per texel when
// flat; when run-length coded, the 4-byte start and, per channel, a run of at most
// 127 texels in two bytes.
std::uint64_t MinimumScanlineBytes(std::uint32_t width) {
    if (!MayBeRunLength(width)) return std::uint64_t{width} * 4;
    return 4 + 4 * 2 * ((std::uint64_t{width} + 126) / 127);
}

class HdrSource final : public RowSource {
public:
    HdrSource(ImageFile& file, std::uint32_t width, std::uint32_t height) : file_(file) {
        info_.width = width;
        info_.height = height;
        info_.layout = ChannelLayout::Rgb;
        info_.type = SampleType::F32;
        rgbe_.resize(std::size_t{width} * 4);
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!readScanline()) return RowsBrokenAfter("HDR", "ends or is damaged", rowsRead_, info_.height);
            ++rowsRead_;
            auto* out = reinterpret_cast<float*>(destination + i * info_.rowBytes());
            for (std::size_t x = 0; x < info_.width; ++x) convert(&rgbe_[4 * x], out + 3 * x);
        }
        return status::Ok();
    }

private:
    // A shared exponent e scales the 8-bit mantissas by 2^(e - 136); e = 0 is black.
    static void convert(const std::uint8_t* rgbe, float* rgb) {
        if (rgbe[3] == 0) {
            rgb[0] = rgb[1] = rgb[2] = 0.0f;
            return;
        }
        const int exponent = static_cast<int>(rgbe[3]) - 136;
        for (int c = 0; c < 3; ++c) rgb[c] = std::ldexp(static_cast<float>(rgbe[c]), exponent);
    }

    [[nodiscard]] bool readScanline() {
        const std::uint32_t width = info_.width;
        std::uint8_t* out = rgbe_.data();
        // Run-length scanlines start 2, 2, then the width in two bytes; anything else
        // is a flat scanline whose first texel these four bytes already are.
        if (!MayBeRunLength(width)) return file_.readExact(out, std::size_t{width} * 4);
        std::uint8_t start[4];
        if (!file_.readExact(start, 4)) return false;
        if (start[0] != 2 || start[1] != 2 || (start[2] & 0x80) != 0) {
            std::memcpy(out, start, 4);
            return file_.readExact(out + 4, (std::size_t{width} - 1) * 4);
        }
        if ((std::uint32_t{start[2]} << 8 | start[3]) != width) return false;
        // Each channel on its own: runs (count > 128: one value, count - 128 times)
        // and literals (count values). A zero count would never advance: corrupt.
        for (int channel = 0; channel < 4; ++channel) {
            std::uint32_t x = 0;
            while (x < width) {
                std::uint8_t count = 0;
                if (!file_.readExact(&count, 1) || count == 0) return false;
                if (count > 128) {
                    const std::uint32_t run = count - 128u;
                    std::uint8_t value = 0;
                    if (run > width - x || !file_.readExact(&value, 1)) return false;
                    for (std::uint32_t k = 0; k < run; ++k) out[4 * (x + k) + channel] = value;
                    x += run;
                } else {
                    if (count > width - x || !file_.readExact(literal_, count)) return false;
                    for (std::uint32_t k = 0; k < count; ++k) out[4 * (x + k) + channel] = literal_[k];
                    x += count;
                }
            }
        }
        return true;
    }

    ImageFile& file_;
    std::uint64_t rowsRead_ = 0;
    std::vector<std::uint8_t> rgbe_;  // one scanline
    std::uint8_t literal_[128] = {};
};

}  // namespace

status::Status OpenHdrSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    file.seek(0);
    std::string line;
    if (!ReadLine(file, &line) || (line != "#?RADIANCE" && line != "#?RGBE"))
        return BadData("not a Radiance HDR file");
    // Header lines up to an empty one; only the pixel format matters here (exposure
    // and colour correction are left alone: the data is taken as it is).
    bool rgbe = false;
    for (int n = 0;; ++n) {
        if (n == kMaxHeaderLines || !ReadLine(file, &line)) return BadData("HDR header without an end");
        if (line.empty()) break;
        if (line.starts_with("FORMAT=")) rgbe = line == "FORMAT=32-bit_rle_rgbe";
    }
    std::uint32_t width = 0, height = 0;
    if (!rgbe || !ReadLine(file, &line) || !ParseResolution(line, &width, &height))
        return BadData("HDR header without RGBE data of a size that is read");
    // Every scanline takes some bytes of the file: a claim the rest of the file cannot
    // hold is cut short, and is refused before any row buffer is sized for it.
    std::uint64_t leastBytes = 0;
    if (!os::CheckedMul(MinimumScanlineBytes(width), height, &leastBytes) ||
        leastBytes > file.size() - std::min(file.position(), file.size())) {
        return CutShort("HDR");
    }
    if (!os::CheckFitsInMemory(std::uint64_t{width} * 4).ok()) return status::OutOfMemory();
    *source = std::make_unique<HdrSource>(file, width, height);
    return status::Ok();
}

}  // namespace image
