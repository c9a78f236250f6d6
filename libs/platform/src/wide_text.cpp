#include "platform/wide_text.h"

namespace platform {

std::wstring WidenBytes(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (const char b : bytes) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(b)));
    return wide;
}

std::string NarrowToBytes(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c < 0x100) {
            bytes.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (c >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            bytes.push_back(static_cast<char>(0xE0 | (c >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
            bytes.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return bytes;
}

}  // namespace platform
