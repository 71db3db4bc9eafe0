// What the editor asks a directory server: the station search and the click that counts a
// station as chosen. Pure: paths and queries only, sent by directory_client.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

constexpr size_t directory_limit = 100; // stations asked for and kept per search

struct directory_query {
    std::string name, tag, country, codec; // UTF-8, as typed; empty ones are left out
};
// The search's path and query: the filters, and always no broken stations, at most
// directory_limit of them, most popular first. A two-letter country is a country code
// (matched exactly); anything longer is a country name.
std::string search_path(const directory_query &query);
// The path that counts one click for a station, or "" for an unusable uuid.
std::string click_path(std::string_view uuid);
