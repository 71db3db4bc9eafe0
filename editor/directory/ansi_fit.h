// Fitting the directory's UTF-8 texts into stations.ini, whose values are 8-bit text in the
// system's ANSI code page, read back through 200-byte buffers (199 characters). A name is
// converted character by character and cut before the first character that would not fit
// whole; an address must fit whole, since a cut address is a broken station. Pure: the
// code page is handed in, so tests use a stand-in.
#pragma once

#include "directory_stations.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

constexpr size_t stored_text_limit = 199; // bytes of a value read back with 200-byte buffers

// The code page's bytes for one character: its own, its best fit, or "?" when it has none.
using ansi_encoder = std::function<std::string(char32_t character)>;

// name converted with encode and cut at a character boundary to at most limit bytes.
// Control characters become spaces (a line break would end the INI line); bytes that are
// not UTF-8 count as U+FFFD.
std::string fit_name(std::string_view name, const ansi_encoder &encode,
                     size_t limit = stored_text_limit);

// The address as stored: bytes outside printable ASCII percent-encoded (as a browser sends
// them). Nothing when it is longer than limit, empty, or the group marker "null".
std::optional<std::string> fit_address(std::string_view url, size_t limit = stored_text_limit);

struct station_row_texts {
    std::string name;    // ANSI, at most stored_text_limit bytes, never blank
    std::string url;     // as stored
    std::string details; // ANSI "codec<TAB>bitrate kbps<TAB>country" for the results list
};
// The editor row a directory station becomes; nothing when its address does not fit.
std::optional<station_row_texts> station_row(const directory_station &station,
                                             const ansi_encoder &encode);
