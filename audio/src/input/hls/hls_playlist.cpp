// HLS playlist parsing (master and media) and the variant choice. Pure; any thread.
#include "input/hls/hls_playlist.h"

#include "input/text/text.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace audio {

namespace {

bool starts_with(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The text after a tag that opens the line, such as "#EXTINF:".
std::optional<std::string> tag_value(const std::string &line, std::string_view tag) {
    return text_after_key(line, tag, key_place::at_start);
}

// One attribute of an attribute list (NAME=value,NAME="quoted, value"); nullopt if absent.
std::optional<std::string> attribute(const std::string &list, const std::string &name) {
    size_t at = 0;
    while (at < list.size()) {
        size_t equals = list.find('=', at);
        if (equals == std::string::npos)
            return std::nullopt;
        std::string key = trim(list.substr(at, equals - at), " \t");
        size_t value_start = equals + 1;
        size_t value_end;
        std::string value;
        if (value_start < list.size() && list[value_start] == '"') {
            size_t close = list.find('"', value_start + 1);
            if (close == std::string::npos)
                close = list.size();
            value = list.substr(value_start + 1, close - value_start - 1);
            value_end = std::min(list.size(), close + 1);
        } else {
            value_end = std::min(list.find(',', value_start), list.size());
            value = trim(list.substr(value_start, value_end - value_start), " \t");
        }
        if (key == name)
            return value;
        size_t comma = list.find(',', value_end);
        if (comma == std::string::npos)
            return std::nullopt;
        at = comma + 1;
    }
    return std::nullopt;
}

// A count the playlist writes; one too large for `limit` is `limit`, no digits 0.
uint64_t parse_count(const std::string &text, uint64_t limit) {
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return 0;
    return std::min(leading_number<uint64_t>(text).value_or(limit), limit);
}

// Seconds as the playlist writes them; anything odd (negative, not a number, absurd) is 0.
double parse_seconds(const std::string &text) {
    double value = leading_number<double>(trim(text, " \t")).value_or(0);
    return std::isfinite(value) && value > 0 && value < 86400 ? value : 0;
}

std::optional<std::array<uint8_t, 16>> parse_iv(const std::string &text) {
    if (text.size() != 34 || (text.compare(0, 2, "0x") != 0 && text.compare(0, 2, "0X") != 0))
        return std::nullopt;
    std::array<uint8_t, 16> iv{};
    for (size_t i = 0; i < iv.size(); ++i) {
        std::optional<uint8_t> byte = whole_number<uint8_t>(text.substr(2 + 2 * i, 2), 16);
        if (!byte)
            return std::nullopt;
        iv[i] = *byte;
    }
    return iv;
}

hls_key parse_key(const std::string &list) {
    hls_key key;
    std::string method = attribute(list, "METHOD").value_or("NONE");
    if (method == "NONE")
        return key;
    key.encrypted = method == "AES-128";
    key.unsupported = !key.encrypted;
    key.uri = attribute(list, "URI").value_or("");
    if (key.uri.empty())
        key.unsupported = true;
    if (std::optional<std::string> iv = attribute(list, "IV")) {
        key.iv = parse_iv(*iv);
        if (!key.iv)
            key.unsupported = true;
    }
    return key;
}

bool decodable_codec(const std::string &codec) {
    // AAC (LC, HE, HE v2...) and MPEG audio in any of the ways HLS names them; not
    // xHE-AAC (USAC, object type 42), which FFmpeg's AAC decoder does not read.
    return (starts_with(codec, "mp4a.40.") && codec != "mp4a.40.42") || codec == "mp4a.69" ||
           codec == "mp4a.6b" || codec == "mp3";
}

// Which of a variant's declared codecs the decoder reads. Undeclared codecs are taken to
// be audio it reads.
enum class variant_audio { none, only_decodable, decodable_among_others };

variant_audio decodable_audio(const std::string &codecs) {
    if (trim(codecs, " \t").empty())
        return variant_audio::only_decodable;
    bool decodable = false, others = false;
    std::istringstream list(codecs);
    std::string codec;
    while (std::getline(list, codec, ','))
        (decodable_codec(trim(codec, " \t")) ? decodable : others) = true;
    if (!decodable)
        return variant_audio::none;
    return others ? variant_audio::decodable_among_others : variant_audio::only_decodable;
}

} // namespace

bool is_hls_master_playlist(const std::string &text) {
    return text.find("#EXT-X-STREAM-INF:") != std::string::npos;
}

std::vector<hls_variant> parse_hls_master_playlist(const std::string &text) {
    std::vector<hls_variant> variants;
    std::optional<hls_variant> pending;
    for (const std::string &line : lines_of(text)) {
        if (std::optional<std::string> list = tag_value(line, "#EXT-X-STREAM-INF:")) {
            hls_variant variant;
            std::optional<std::string> average = attribute(*list, "AVERAGE-BANDWIDTH");
            variant.bandwidth = static_cast<uint32_t>(parse_count(
                average ? *average : attribute(*list, "BANDWIDTH").value_or("0"), UINT32_MAX));
            variant.codecs = to_lower(attribute(*list, "CODECS").value_or(""));
            pending = variant;
        } else if (!line.empty() && line[0] != '#' && pending) {
            pending->uri = line;
            variants.push_back(*pending);
            pending.reset();
            if (variants.size() == max_hls_entries)
                break;
        }
    }
    return variants;
}

std::optional<hls_media_playlist> parse_hls_media_playlist(const std::string &text) {
    std::vector<std::string> lines = lines_of(text);
    if (lines.empty() || !starts_with(lines[0], "#EXTM3U"))
        return std::nullopt;
    hls_media_playlist playlist;
    hls_key key;
    std::string map_uri;
    double duration = 0;
    for (const std::string &line : lines) {
        if (auto target = tag_value(line, "#EXT-X-TARGETDURATION:")) {
            playlist.target_duration = parse_seconds(*target);
        } else if (auto sequence = tag_value(line, "#EXT-X-MEDIA-SEQUENCE:")) {
            if (playlist.segments.empty())
                playlist.media_sequence = parse_count(*sequence, UINT64_MAX / 2);
        } else if (starts_with(line, "#EXT-X-ENDLIST")) {
            playlist.ended = true;
        } else if (auto key_list = tag_value(line, "#EXT-X-KEY:")) {
            key = parse_key(*key_list);
        } else if (auto map_list = tag_value(line, "#EXT-X-MAP:")) {
            map_uri = attribute(*map_list, "URI").value_or("");
        } else if (auto info = tag_value(line, "#EXTINF:")) {
            duration = parse_seconds(*info);
        } else if (!line.empty() && line[0] != '#') {
            if (playlist.segments.size() == max_hls_entries)
                break;
            hls_segment segment;
            segment.uri = line;
            segment.duration = duration;
            segment.sequence = playlist.media_sequence + playlist.segments.size();
            segment.key = key;
            segment.map_uri = map_uri;
            playlist.segments.push_back(segment);
            duration = 0;
        }
    }
    return playlist;
}

std::vector<size_t> hls_variant_order(const std::vector<hls_variant> &variants,
                                      uint32_t max_bandwidth) {
    std::vector<size_t> within, above, mixed;
    for (size_t i = 0; i < variants.size(); ++i) {
        switch (decodable_audio(variants[i].codecs)) {
        case variant_audio::none:
            break;
        case variant_audio::only_decodable:
            (variants[i].bandwidth <= max_bandwidth ? within : above).push_back(i);
            break;
        case variant_audio::decodable_among_others:
            mixed.push_back(i);
            break;
        }
    }
    auto highest_first = [&](size_t a, size_t b) {
        return variants[a].bandwidth > variants[b].bandwidth;
    };
    auto lowest_first = [&](size_t a, size_t b) {
        return variants[a].bandwidth < variants[b].bandwidth;
    };
    std::stable_sort(within.begin(), within.end(), highest_first);
    std::stable_sort(above.begin(), above.end(), lowest_first);
    std::stable_sort(mixed.begin(), mixed.end(), lowest_first);
    within.insert(within.end(), above.begin(), above.end());
    within.insert(within.end(), mixed.begin(), mixed.end());
    return within;
}

size_t hls_live_start(const hls_media_playlist &playlist) {
    double longest = 0;
    for (const hls_segment &segment : playlist.segments)
        longest = std::max(longest, segment.duration);
    const double wanted = 3 * (playlist.target_duration > 0 ? playlist.target_duration : longest);
    double held = 0;
    size_t start = playlist.segments.size();
    while (start > 0 && (held < wanted || start == playlist.segments.size())) {
        --start;
        held += playlist.segments[start].duration;
    }
    return start;
}

} // namespace audio
