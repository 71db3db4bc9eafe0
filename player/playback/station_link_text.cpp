#include "playback/station_link_text.h"

#include <algorithm>
#include <vector>

namespace {

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_without_case(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(),
                      [](char a, char b) { return ascii_lower(a) == ascii_lower(b); });
}

size_t find_without_case(std::string_view text, std::string_view key, size_t from = 0) {
    for (size_t at = from; at + key.size() <= text.size(); ++at)
        if (starts_without_case(text.substr(at), key))
            return at;
    return std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        lines.push_back(trimmed(text.substr(0, end)));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::string first_address(const std::vector<std::string_view> &candidates) {
    for (const std::string_view candidate : candidates)
        if (is_stream_address(candidate))
            return std::string(candidate);
    return {};
}

// "FileN=address" lines of a PLS.
std::string first_pls_entry(std::string_view text) {
    std::vector<std::string_view> addresses;
    for (const std::string_view line : lines_of(text)) {
        const size_t equals = line.find('=');
        if (starts_without_case(line, "file") && equals != std::string_view::npos)
            addresses.push_back(trimmed(line.substr(equals + 1)));
    }
    return first_address(addresses);
}

// href values of <ref> and <entryref> elements; "&amp;" is the only entity addresses need.
std::string first_asx_entry(std::string_view text) {
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::string_view tag = text.substr(at + 1);
        if (!starts_without_case(tag, "ref") && !starts_without_case(tag, "entryref"))
            continue;
        const std::string_view element = tag.substr(0, tag.find('>'));
        const size_t href = find_without_case(element, "href");
        const size_t open = element.find_first_of("\"'", href);
        if (href == std::string_view::npos || open == std::string_view::npos)
            continue;
        const size_t close = element.find(element[open], open + 1);
        std::string address(element.substr(open + 1, close - open - 1));
        for (size_t amp = address.find("&amp;"); amp != std::string::npos;
             amp = address.find("&amp;", amp + 1))
            address.erase(amp + 1, 4);
        address = std::string(trimmed(address));
        if (is_stream_address(address))
            return address;
    }
    return {};
}

} // namespace

bool is_stream_address(std::string_view text) {
    for (const std::string_view scheme : {"http://", "https://", "mms://", "mmsh://"})
        if (starts_without_case(text, scheme) && text.size() > scheme.size())
            return true;
    return false;
}

std::string first_playlist_entry(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    text = trimmed(text);
    if (starts_without_case(text, "[playlist]"))
        return first_pls_entry(text);
    if (find_without_case(text, "<asx") != std::string_view::npos)
        return first_asx_entry(text);
    std::vector<std::string_view> lines;
    for (const std::string_view line : lines_of(text))
        if (!line.empty() && line.front() != '#')
            lines.push_back(line);
    return first_address(lines);
}
