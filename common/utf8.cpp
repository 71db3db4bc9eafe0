#include "utf8.h"

utf8_character next_utf8_character(std::string_view text) {
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return {lead, 1, true};
    if (lead < 0xC2 || lead >= 0xF5)
        return {replacement_character, 1, false};
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t code_point = lead & (0x7F >> length);
    for (size_t at = 1; at < length; at++) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            return {replacement_character, at, false};
        code_point = (code_point << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
    }
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code_point < smallest[length] || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
        return {replacement_character, length, false};
    return {code_point, length, true};
}

void append_utf8(std::string &text, char32_t code_point) {
    if (code_point < 0x80) {
        text += static_cast<char>(code_point);
        return;
    }
    const size_t length = code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
    static const unsigned char lead_marks[] = {0, 0, 0xC0, 0xE0, 0xF0};
    char bytes[4];
    for (size_t at = length - 1; at > 0; at--) {
        bytes[at] = static_cast<char>(0x80 | (code_point & 0x3F));
        code_point >>= 6;
    }
    bytes[0] = static_cast<char>(lead_marks[length] | code_point);
    text.append(bytes, length);
}
