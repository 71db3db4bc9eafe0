#include "ansi_fit.h"

#include "percent_encoding.h"
#include "station_file.h"
#include "utf8.h"

#include <cstdio>

std::string fit_name(std::string_view name, const ansi_encoder &encode, size_t limit) {
    std::string fitted;
    for (size_t at = 0; at < name.size();) {
        const utf8_character next = next_utf8_character(name.substr(at));
        at += next.length;
        const char32_t character = next.code_point;
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
    // Each byte grows to at most three: a longer address cannot fit, and the cap spares
    // encoding a hostile one whole.
    if (url.size() > limit)
        return std::nullopt;
    std::string stored = percent_encode(url, is_printable_ascii_byte);
    if (stored.size() > limit || stored.empty() || stored == group_marker)
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
