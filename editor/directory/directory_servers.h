// Which directory servers to ask, in which order. Pure: the name look-ups are handed in, so
// tests replace them.
//
// The directory publishes its servers under one DNS name. Each server's certificate is for
// its own name, so every address is turned back into that name; the order is shuffled to
// spread the load, and a failing server is followed by the next. The [config] "directory"
// setting replaces the look-up with base addresses the user chose.
#pragma once

#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern const char directory_lookup_name[]; // "all.api.radio-browser.info"
// The setting's key in [config]: base addresses separated by blanks.
extern const char directory_setting_key[];

struct directory_name_lookup {
    // The numeric addresses a host name resolves to (empty when it does not).
    std::function<std::vector<std::string>(const std::string &host)> addresses;
    // The host name an address resolves back to (empty when it has none).
    std::function<std::string(const std::string &address)> name_of;
};

// Base addresses to try in order: those of the setting when it holds any (as written,
// without a trailing "/"), else "https://" and the reverse names of the look-up, each once,
// shuffled with random.
std::vector<std::string> directory_servers(std::string_view setting,
                                           const directory_name_lookup &lookup,
                                           std::mt19937 &random);
