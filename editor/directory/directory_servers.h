// Which directory servers to ask, in which order, and what to ask them. Pure: the name
// look-ups are handed in, so tests replace them.
//
// The directory publishes its servers under one DNS name. Each server's certificate is for
// its own name, so every address is turned back into that name; the order is shuffled to
// spread the load, and a failing server is followed by the next. The [config] "directory"
// setting replaces the look-up with base addresses the user chose.
#pragma once

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern const char directory_lookup_name[]; // "all.api.radio-browser.info"
// The setting's key in [config]: base addresses separated by blanks.
extern const char directory_setting_key[];
constexpr size_t directory_limit = 100; // stations asked for and kept per search

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

struct base_address {
    bool secure = false;
    std::string host; // without brackets for IPv6
    unsigned port = 0;
    std::string path; // a prefix before "/json/...", without a trailing "/"; often empty
};
// "http://host[:port][/path]" or "https://..."; nothing for anything else.
std::optional<base_address> parse_base_address(std::string_view text);

struct directory_query {
    std::string name, tag, country, codec; // UTF-8, as typed; empty ones are left out
};
// The search's path and query: the filters, and always no broken stations, at most
// directory_limit of them, most popular first. A two-letter country is a country code
// (matched exactly); anything longer is a country name.
std::string search_path(const directory_query &query);
// The path that counts one click for a station, or "" for an unusable uuid.
std::string click_path(std::string_view uuid);

struct proxy_parts {
    std::string server; // "host:port" as WinHTTP takes it
    std::string user, password;
};
// The player's proxy setting "[user:password@]host:port"; nothing when it has no host.
std::optional<proxy_parts> split_proxy_setting(std::string_view setting);

// Percent-encodes every byte but letters, digits and "-._~".
std::string percent_encode(std::string_view text);
