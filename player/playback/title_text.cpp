// Station texts to UTF-16: strict UTF-8, with Windows-1252 for text that is not UTF-8.
#include "title_text.h"

#include "utf8.h"

namespace {

// Windows-1252 0x80-0x9F; the rest of the code page equals Latin-1.
const char16_t windows_1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool decode_utf8(std::string_view text, std::u16string &wide) {
    while (!text.empty()) {
        const utf8_character character = next_utf8_character(text);
        if (!character.well_formed)
            return false;
        text.remove_prefix(character.length);
        const char32_t code_point = character.code_point;
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
    if (decode_utf8(std::string_view(text, length), wide))
        return wide;
    wide.clear();
    for (size_t at = 0; at < length; ++at) {
        const unsigned char byte = bytes[at];
        wide += (byte >= 0x80 && byte <= 0x9F) ? windows_1252_high[byte - 0x80]
                                               : static_cast<char16_t>(byte);
    }
    return wide;
}
