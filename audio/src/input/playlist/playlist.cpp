#include "input/playlist/playlist.h"

#include "input/text/text.h"

#include <cctype>
#include <map>

namespace audio {

namespace {

// Playlist lines are trimmed of line ends too.
std::string trim(const std::string &text) {
    return audio::trim(text, " \t\r\n");
}

bool starts_with_url(const std::string &lower_line) {
    return lower_line.rfind("http://", 0) == 0 || lower_line.rfind("https://", 0) == 0 ||
           lower_line.rfind("mms://", 0) == 0 || lower_line.rfind("mmsh://", 0) == 0;
}

// PLS "FileN=" and WMS reference "RefN=" entries, ordered by N; keys in any case.
std::vector<std::string> parse_numbered_entries(const std::string &text) {
    std::map<unsigned long, std::string> entries;
    for (const std::string &line : lines_of(text)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = to_lower(trim(line.substr(0, equals)));
        size_t digits = key.rfind("file", 0) == 0 ? 4 : key.rfind("ref", 0) == 0 ? 3 : 0;
        if (digits == 0 || key.size() == digits || key.size() > digits + 9 ||
            key.find_first_not_of("0123456789", digits) != std::string::npos) {
            continue;
        }
        std::string value = trim(line.substr(equals + 1));
        if (!value.empty()) {
            entries.emplace(*whole_number<unsigned long>(key.substr(digits)), value);
        }
    }
    std::vector<std::string> result;
    for (const auto &entry : entries) {
        result.push_back(entry.second);
    }
    return result;
}

std::vector<std::string> parse_m3u(const std::string &text) {
    std::vector<std::string> result;
    for (const std::string &line : lines_of(text)) {
        if (!line.empty() && line[0] != '#') {
            result.push_back(line);
        }
    }
    return result;
}

// ASX files are often invalid XML, so this scans tags instead of parsing: the href of every
// <ref> and <entryref>, in document order, names and attributes in any case.
std::vector<std::string> parse_asx(const std::string &text, bool with_refs, bool with_entry_refs) {
    std::vector<std::string> result;
    std::string lower = to_lower(text);
    size_t position = 0;
    while ((position = lower.find('<', position)) != std::string::npos) {
        size_t name_end = lower.find_first_of(" \t\r\n/>", position + 1);
        if (name_end == std::string::npos) {
            break;
        }
        std::string name = lower.substr(position + 1, name_end - position - 1);
        size_t tag_end = lower.find('>', name_end);
        if (tag_end == std::string::npos) {
            break;
        }
        if ((name == "ref" && with_refs) || (name == "entryref" && with_entry_refs)) {
            size_t href = lower.find("href", name_end);
            size_t equals = href == std::string::npos ? href : lower.find('=', href);
            if (equals != std::string::npos && equals < tag_end) {
                size_t start = lower.find_first_not_of(" \t\r\n", equals + 1);
                if (start != std::string::npos && start < tag_end) {
                    char quote = text[start];
                    size_t end;
                    if (quote == '"' || quote == '\'') {
                        ++start;
                        end = text.find(quote, start);
                    } else {
                        // Unquoted: up to white space or the tag's end ("/>" included).
                        end = lower.find_first_of(" \t\r\n>", start);
                        if (end != std::string::npos && text[end] == '>' && end > start &&
                            text[end - 1] == '/') {
                            --end;
                        }
                    }
                    if (end != std::string::npos && end > start) {
                        std::string value = trim(text.substr(start, end - start));
                        if (!value.empty()) {
                            result.push_back(value);
                        }
                    }
                }
            }
        }
        position = tag_end + 1;
    }
    return result;
}

} // namespace

playlist_kind playlist_kind_from_content_type(const std::string &content_type) {
    if (content_type == "audio/x-scpls" || content_type == "application/pls+xml") {
        return playlist_kind::pls;
    }
    if (content_type == "audio/x-mpegurl" || content_type == "audio/mpegurl" ||
        content_type == "application/x-mpegurl" ||
        content_type == "application/vnd.apple.mpegurl") {
        return playlist_kind::m3u;
    }
    if (content_type == "audio/x-ms-asx" || content_type == "video/x-ms-asx" ||
        content_type == "audio/x-ms-wax" || content_type == "video/x-ms-wvx" ||
        content_type == "video/x-ms-wax") {
        return playlist_kind::asx;
    }
    return playlist_kind::none;
}

playlist_kind sniff_playlist(const std::string &first_bytes) {
    std::string text = to_lower(without_bom(first_bytes));
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) {
        return playlist_kind::none;
    }
    text = text.substr(start);
    if (text.rfind("[playlist]", 0) == 0 || text.rfind("[reference]", 0) == 0) {
        return playlist_kind::pls;
    }
    if (text.rfind("<asx", 0) == 0) {
        return playlist_kind::asx;
    }
    if (text.rfind("#extm3u", 0) == 0) {
        return text.find("#ext-x-") != std::string::npos ? playlist_kind::hls : playlist_kind::m3u;
    }
    // A bare list of URLs, as Icecast's /mount.m3u serves.
    if (!starts_with_url(text)) {
        return playlist_kind::none;
    }
    return playlist_kind::m3u;
}

std::vector<std::string> parse_playlist(playlist_kind kind, const std::string &text,
                                        bool with_entry_refs) {
    switch (kind) {
    case playlist_kind::pls:
        return parse_numbered_entries(text);
    case playlist_kind::m3u:
        return parse_m3u(text);
    case playlist_kind::asx:
        return parse_asx(text, true, with_entry_refs);
    case playlist_kind::hls:
    case playlist_kind::none:
        break;
    }
    return {};
}

std::vector<std::string> asx_entry_refs(const std::string &text) {
    return parse_asx(text, false, true);
}

} // namespace audio
