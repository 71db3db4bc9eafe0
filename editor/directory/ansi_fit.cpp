#include "ansi_fit.h"

#include <cstdio>

namespace {

constexpr char32_t replacement_character = 0xFFFD;

} // namespace

char32_t next_utf8_character(std::string_view text, size_t &at) {
    unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    if (lead < 0xC2 || lead >= 0xF5)
        return replacement_character;
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t character = lead & (0x7F >> length);
    for (int follower = 1; follower < length; follower++) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            return replacement_character;
        character = (character << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not characters.
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (character < smallest[length] || character > 0x10FFFF ||
        (character >= 0xD800 && character <= 0xDFFF))
        return replacement_character;
    return character;
}

std::string fit_name(std::string_view name, const ansi_encoder &encode, size_t limit) {
    std::string fitted;
    size_t at = 0;
    while (at < name.size()) {
        char32_t character = next_utf8_character(name, at);
        std::string bytes =
            character < 0x20 || character == 0x7F ? std::string(" ") : encode(character);
        if (bytes.empty() || bytes.find('\0') != std::string::npos)
            bytes = "?";
        if (fitted.size() + bytes.size() > limit)
            break;
        fitted += bytes;
    }
    return fitted;
}

std::optional<std::string> fit_address(std::string_view url, size_t limit) {
    static const char hex[] = "0123456789ABCDEF";
    std::string stored;
    for (char c : url) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            stored += {'%', hex[byte >> 4], hex[byte & 15]};
        else
            stored += c;
        if (stored.size() > limit)
            return std::nullopt;
    }
    if (stored.empty() || stored == "null")
        return std::nullopt;
    return stored;
}

std::optional<station_row_texts> station_row(const directory_station &station,
                                             const ansi_encoder &encode) {
    std::optional<std::string> url = fit_address(station.url);
    if (!url)
        return std::nullopt;
    station_row_texts row;
    row.url = *url;
    row.name = fit_name(station.name, encode);
    // The editor keeps no row without a name; the address names a nameless station.
    if (row.name.find_first_not_of(' ') == std::string::npos)
        row.name = row.url;
    // What the results list shows beside the name: short, so it fits one line.
    char details[64];
    std::string codec = fit_name(station.codec, encode, 12);
    std::string country = fit_name(station.country, encode, 24);
    if (station.bitrate > 0)
        std::snprintf(details, sizeof details, "%s\t%d kbps\t%s", codec.c_str(), station.bitrate,
                      country.c_str());
    else
        std::snprintf(details, sizeof details, "%s\t\t%s", codec.c_str(), country.c_str());
    row.details = details;
    return row;
}
