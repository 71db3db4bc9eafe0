// The one description of how a stream connects: set once when it opens, and handed
// unchanged to every request it makes (redirects, playlists, HLS segments, reconnects).
#pragma once

#include "input/net/stop_signal.h"

#include <cstdint>
#include <functional>
#include <string>

namespace audio {

struct connect_options {
    uint32_t timeout_ms = 5000; // bounds connecting and every stall while reading
    bool follow_playlists = false;
    std::string proxy; // "[user:pass@]host:port"; empty for a direct connection
    // PEM file of trust roots for https instead of the system's; empty in normal use
    // (tests trust the certificate authority they make).
    std::string tls_ca_file;
    // HLS master playlists: whether the decoder plays a variant's first audio (the bytes
    // the input would hand on first). A variant it refuses is passed over for the next.
    // Empty: the first variant whose segments load plays. Called on the opening thread.
    std::function<bool(const std::string &first_audio)> hls_audio_check;
};

// When a wait that starts now ends at the latest: connecting, or a stall while reading.
inline clock_type::time_point deadline_from_now(const connect_options &options) {
    return clock_type::now() + std::chrono::milliseconds(options.timeout_ms);
}

} // namespace audio
