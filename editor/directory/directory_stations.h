// Reading the station directory's search answer: a JSON array of station objects. Only
// what the editor shows or stores is taken, every text is capped, and at most a given
// number of stations is kept, so a hostile answer costs bounded memory. Pure: no I/O.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The largest answer body the editor reads; a search of 100 stations is far smaller.
constexpr size_t directory_body_limit = 4 * 1024 * 1024;
// Longer texts are cut (at a character boundary); nothing the editor keeps comes near.
constexpr size_t directory_field_limit = 1024;

struct directory_station {
    std::string uuid;    // for counting a click; empty when the answer had no usable one
    std::string name;    // UTF-8
    std::string url;     // "url_resolved" when set, else "url"; UTF-8
    std::string codec;   // "MP3", "AAC", ...; may be empty
    int bitrate = 0;     // kbit/s; 0 when unknown or absurd
    std::string country; // two-letter code when given, else the country's name
};

// Reads body into stations (cleared first), keeping at most limit of them. Returns false
// when body is not a JSON array (not the directory's answer). Entries that are not objects
// or have no address are skipped.
bool read_directory_stations(std::string_view body, size_t limit,
                             std::vector<directory_station> &stations);

// text cut to at most limit bytes without splitting a UTF-8 sequence.
std::string cut_utf8(std::string_view text, size_t limit);
