// Which variant of an HLS master playlist plays: each in hls_variant_order()'s order has its
// media playlist fetched and is offered to the input, until one opens.
//
// Threads: the stream's download thread.
#pragma once

#include "input/hls/hls_fetch.h"
#include "input/hls/hls_playlist.h"

#include <functional>

namespace audio {

// Variants above this bitrate are only tried when none at or below it plays.
constexpr uint32_t max_hls_variant_bandwidth = 320000;

// Opens one variant from its media playlist (`media_url` after redirects): success, or why
// the next must be tried.
using hls_variant_opener =
    std::function<connect_failure(const hls_variant &variant, const url &media_url,
                                  const std::string &media_text, const response_head &media_head)>;

// The first variant of `master_text` (which `playlist_url` answered with) that `open`
// accepts; otherwise the last failure, logged against the master playlist.
connect_failure open_first_variant(const url &playlist_url, const std::string &master_text,
                                   const hls_fetcher &fetcher, const hls_variant_opener &open);

} // namespace audio
