// A stand-in for the system's ANSI code page, for the one-pass stations.ini reader's native
// tests and its fuzz target: Latin-1, "?" for the rest, and bytes 0x81-0x9F leading a second
// byte as in a double-byte code page.
#pragma once

#include "station_file_reader.h"
#include "utf8.h"

inline const ansi_code_page stand_in_code_page{
    [](std::string_view utf8) {
        std::u16string utf16;
        while (!utf8.empty()) {
            utf8_character next = next_utf8_character(utf8);
            utf16 += next.code_point > 0xFFFF ? u'?' : static_cast<char16_t>(next.code_point);
            utf8.remove_prefix(next.length);
        }
        return utf16;
    },
    [](std::u16string_view utf16) {
        std::string ansi;
        for (char16_t unit : utf16)
            ansi += unit < 0x100 ? static_cast<char>(unit) : '?';
        return ansi;
    },
    [](unsigned char byte) { return byte >= 0x81 && byte <= 0x9F; }};
