// Unicode conversions the input's tag parsers share.
#include "input/text/unicode_text.h"

namespace audio {

void append_utf8(std::string &out, uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | code_point >> 6);
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | code_point >> 12);
        out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code_point >> 18);
        out += static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

std::string utf16_to_utf8(const uint8_t *p, size_t size, bool big_endian) {
    auto unit_at = [&](size_t i) -> uint32_t {
        return big_endian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    };
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t unit = unit_at(i);
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
            uint32_t low = unit_at(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        append_utf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

} // namespace audio
