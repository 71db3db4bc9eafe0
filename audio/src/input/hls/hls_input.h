// An HLS station as one network input: the playlist a URL answered with (master or media),
// the variant chosen from it, the live playlist's reloads, and each segment's audio handed
// on in order, with the titles its ID3 carries.
//
// Threads: open_hls_input() and read() run on the stream's download thread; interrupt()
// may be called from any thread.
#pragma once

#include "input/http/http_connection.h"
#include "input/network_input.h"

namespace audio {

// A segment larger than this is not audio; it is skipped.
constexpr size_t max_hls_segment_size = 8 * 1024 * 1024;

// Plays the HLS playlist `text`, which `playlist_url` answered with `head`. On failure
// returns null with *failure set (codes as for open_network_input). The listener's
// on_response gets the media playlist's response, once.
//
// Master playlists: the variants in hls_variant_order(); the first whose playlist loads,
// whose first segment loads and whose audio options.hls_audio_check (when set) accepts
// wins. Live playlists start three target durations from the end, reload every target
// duration (half of one after a reload that brought nothing new) and skip across gaps; VOD
// playlists (#EXT-X-ENDLIST) end after their last segment. A segment that fails (error status,
// stall, slower than it plays, undecryptable) is skipped; a reload that fails brings nothing. When
// no segment has loaded for timeout_ms plus a target duration (the playlist stopped advancing, or
// every segment fails), the input reconnects: it reloads the playlist and tries for as long again;
// then read() returns 0.
std::unique_ptr<network_input>
open_hls_input(const url &playlist_url, const std::string &text, const response_head &head,
               const connect_options &options, input_listener &listener,
               const std::atomic<bool> &cancelled, connect_failure *failure);

} // namespace audio
