#include "directory_stations.h"

#include <nlohmann/json.hpp>

#include <cctype>

namespace {

using json = nlohmann::json;

// Directories report 0 and absurd values; above this no audio stream exists.
constexpr int plausible_bitrate_limit = 10000;

std::string text_field(const json &station, const char *key) {
    auto found = station.find(key);
    if (found == station.end() || !found->is_string())
        return {};
    return cut_utf8(found->get_ref<const std::string &>(), directory_field_limit);
}

int bitrate_field(const json &station) {
    auto found = station.find("bitrate");
    if (found == station.end() || !found->is_number())
        return 0;
    double value = found->get<double>();
    return value > 0 && value < plausible_bitrate_limit ? static_cast<int>(value) : 0;
}

bool is_uuid_text(const std::string &text) {
    if (text.empty() || text.size() > 64)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-')
            return false;
    return true;
}

bool has_address(const json &station) {
    return !text_field(station, "url_resolved").empty() || !text_field(station, "url").empty();
}

// While parsing: keeps the first limit station objects of the top array with their plain
// fields, and drops everything else as it is read, so that neither a long array nor deep
// nesting makes the parsed tree large. Depth 0 is the array, 1 a station, 2 its fields.
json parse_stations(std::string_view body, size_t limit) {
    size_t kept = 0;
    auto keep = [&](int depth, json::parse_event_t event, json &parsed) {
        switch (event) {
        case json::parse_event_t::array_start:
            return depth == 0;
        case json::parse_event_t::object_start:
            return depth == 1;
        case json::parse_event_t::value:
            return depth == 2;
        case json::parse_event_t::object_end:
            if (depth != 1 || kept >= limit || !has_address(parsed))
                return false;
            kept++;
            return true;
        default:
            return true;
        }
    };
    // No exceptions: a parse error gives a "discarded" value.
    return json::parse(body.begin(), body.end(), keep, false);
}

} // namespace

std::string cut_utf8(std::string_view text, size_t limit) {
    if (text.size() <= limit)
        return std::string(text);
    size_t end = limit;
    // Step back over continuation bytes to the start of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        end--;
    return std::string(text.substr(0, end));
}

bool read_directory_stations(std::string_view body, size_t limit,
                             std::vector<directory_station> &stations) {
    stations.clear();
    json answer = parse_stations(body, limit);
    if (!answer.is_array())
        return false;
    for (const json &entry : answer) {
        if (!entry.is_object())
            continue;
        directory_station station;
        station.url = text_field(entry, "url_resolved");
        if (station.url.empty())
            station.url = text_field(entry, "url");
        if (station.url.empty())
            continue;
        station.name = text_field(entry, "name");
        station.codec = text_field(entry, "codec");
        station.bitrate = bitrate_field(entry);
        station.country = text_field(entry, "countrycode");
        if (station.country.empty())
            station.country = text_field(entry, "country");
        std::string uuid = text_field(entry, "stationuuid");
        if (is_uuid_text(uuid))
            station.uuid = uuid;
        stations.push_back(std::move(station));
    }
    return true;
}
