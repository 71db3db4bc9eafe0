// Fetching for the HLS input: a playlist, segment, key or initialisation section read whole
// into memory, each capped in size, each ending in its bytes or a logged failure.
//
// Threads: the stream's download thread; the stop_signal may be set from any thread.
#pragma once

#include "input/http/http_connection.h"

#include <optional>
#include <string>

namespace audio {

class hls_fetcher {
  public:
    hls_fetcher(const connect_options &options, const stop_signal &stop)
        : options_(options), stop_(stop) {}

    // The whole body of target, at most `limit` bytes, for media that plays `media_seconds`
    // (a segment's duration, a playlist's target duration; 0 for a key or an initialisation
    // section). A stall of the time-out fails it, and so does a body still incomplete after
    // the time-out plus its media's duration: a server that sends slower than its media
    // plays cannot keep the stream playing, however often it sends a byte. `head` and
    // `final_url` (after redirects) are filled when not null. On failure nullopt with
    // *failure set and logged.
    std::optional<std::string> body(const url &target, size_t limit, double media_seconds,
                                    response_head *head, connect_failure *failure,
                                    url *final_url = nullptr) const;
    // The same for a caller that needs only the bytes: why it failed is logged.
    std::optional<std::string> body(const url &target, size_t limit, double media_seconds) const {
        connect_failure failure;
        return body(target, limit, media_seconds, nullptr, &failure);
    }
    bool stopped() const { return stop_.requested(); }

  private:
    const connect_options &options_;
    const stop_signal &stop_;
};

} // namespace audio
