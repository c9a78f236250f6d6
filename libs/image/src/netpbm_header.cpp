#include "netpbm_header.h"

#include <algorithm>

#include "image/image_file.h"

namespace image {

namespace {

// Real headers are a few dozen bytes; comments may make them longer, but not this long.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxFieldLength = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

bool ReadNetpbmHeader(ImageFile& file, unsigned fieldCount, bool allowComments, NetpbmHeader* header) {
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kMaxHeaderBytes)), '\0');
    if (!file.readExactAt(0, text.data(), text.size())) return false;
    if (text.size() < 3 || text[0] != 'P') return false;
    header->kind = text[1];
    header->fields.clear();
    std::size_t at = 2;
    while (header->fields.size() < fieldCount) {
        // At least one separator before every field.
        if (at >= text.size() || !(IsSpace(text[at]) || (allowComments && text[at] == '#'))) return false;
        while (at < text.size()) {
            if (IsSpace(text[at])) {
                ++at;
            } else if (allowComments && text[at] == '#') {
                while (at < text.size() && text[at] != '\n' && text[at] != '\r') ++at;
            } else {
                break;
            }
        }
        const std::size_t start = at;
        while (at < text.size() && !IsSpace(text[at]) && !(allowComments && text[at] == '#')) ++at;
        if (at == start || at - start > kMaxFieldLength) return false;
        header->fields.emplace_back(text, start, at - start);
    }
    // Exactly one whitespace byte ends the header.
    if (at >= text.size() || !IsSpace(text[at])) return false;
    header->dataOffset = at + 1;
    return true;
}

bool ParseNetpbmUnsigned(const std::string& field, std::uint32_t max, std::uint32_t* value) {
    std::uint64_t v = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > max) return false;
    }
    if (field.empty() || v == 0) return false;
    *value = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace image
