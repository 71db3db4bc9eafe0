// HTTP Live Streaming playlists: master playlists (the variants of one station) and media
// playlists (its segments), and the choice of the variant to play. Pure: text in, results
// out, so strings test it and a fuzzer drives it. Any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// Caps on what a server may hand over: playlists are read up to this size, lists cut there.
constexpr size_t max_hls_playlist_size = 1024 * 1024;
constexpr size_t max_hls_entries = 10000;

struct hls_variant {
    std::string uri;        // as written; the caller resolves it
    uint32_t bandwidth = 0; // bits per second (AVERAGE-BANDWIDTH when given)
    std::string codecs;     // lower case, as listed; empty when not declared
};

struct hls_key {
    bool encrypted = false;   // METHOD=AES-128
    bool unsupported = false; // another method (SAMPLE-AES...): the segment cannot be played
    std::string uri;
    std::optional<std::array<uint8_t, 16>> iv; // nullopt: the media sequence number
};

struct hls_segment {
    std::string uri;
    double duration = 0; // seconds
    uint64_t sequence = 0;
    hls_key key;
    std::string map_uri; // EXT-X-MAP initialisation section (fragmented MP4); empty if none
};

struct hls_media_playlist {
    double target_duration = 0; // seconds; 0 when missing
    uint64_t media_sequence = 0;
    bool ended = false; // #EXT-X-ENDLIST: nothing will be added
    std::vector<hls_segment> segments;
};

// An HLS playlist starts with #EXTM3U; a master lists #EXT-X-STREAM-INF variants.
bool is_hls_master_playlist(const std::string &text);
std::vector<hls_variant> parse_hls_master_playlist(const std::string &text);
// nullopt when the text is not a media playlist (no #EXTM3U).
std::optional<hls_media_playlist> parse_hls_media_playlist(const std::string &text);

// The order to try the variants in: those whose declared codecs are all audio the decoder
// reads (AAC or MP3), or that declare none, highest bandwidth up to max_bandwidth first,
// then the ones above it from the lowest; last, from the lowest bandwidth, those that carry
// such audio beside other codecs (video), whose bandwidth is mostly not audio. Variants
// that declare no codec the decoder reads (AC-3, E-AC-3...) are left out.
std::vector<size_t> hls_variant_order(const std::vector<hls_variant> &variants,
                                      uint32_t max_bandwidth);

// Where a live stream starts: the first segment of the last three target durations.
size_t hls_live_start(const hls_media_playlist &playlist);

} // namespace audio
