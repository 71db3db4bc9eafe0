// Station texts to UTF-16: strict UTF-8, with Windows-1252 for text that is not UTF-8.
#include "title_text.h"

namespace {

// Windows-1252 0x80-0x9F; the rest of the code page equals Latin-1.
const char16_t windows_1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code point of the UTF-8 sequence at text[at], or -1 when it is not well formed
// (overlong, surrogate, above U+10FFFF, or cut by the end); advances at past it.
long next_code_point(const unsigned char *text, size_t length, size_t &at) {
    const unsigned char lead = text[at];
    size_t continuation;
    long code_point;
    long lowest;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1, code_point = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2, code_point = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3, code_point = lead & 0x07, lowest = 0x10000;
    } else {
        return -1;
    }
    if (length - at <= continuation)
        return -1;
    for (size_t i = 1; i <= continuation; ++i) {
        const unsigned char next = text[at + i];
        if ((next & 0xC0) != 0x80)
            return -1;
        code_point = (code_point << 6) | (next & 0x3F);
    }
    if (code_point < lowest || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
        return -1;
    at += continuation + 1;
    return code_point;
}

bool decode_utf8(const unsigned char *text, size_t length, std::u16string &wide) {
    for (size_t at = 0; at < length;) {
        const long code_point = next_code_point(text, length, at);
        if (code_point < 0)
            return false;
        if (code_point < 0x10000) {
            wide += static_cast<char16_t>(code_point);
        } else {
            wide += static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
            wide += static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        }
    }
    return true;
}

} // namespace

std::u16string decode_station_text(const char *text, size_t length) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    std::u16string wide;
    wide.reserve(length);
    if (decode_utf8(bytes, length, wide))
        return wide;
    wide.clear();
    for (size_t at = 0; at < length; ++at) {
        const unsigned char byte = bytes[at];
        wide += (byte >= 0x80 && byte <= 0x9F) ? windows_1252_high[byte - 0x80]
                                               : static_cast<char16_t>(byte);
    }
    return wide;
}
