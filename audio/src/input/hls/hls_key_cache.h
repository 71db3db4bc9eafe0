// The AES-128 keys of an HLS stream's segments, fetched once each and kept by absolute URL:
// variants tried one after the other may use the same key, and live segments share theirs.
//
// Threads: the stream's download thread.
#pragma once

#include "input/hls/hls_fetch.h"
#include "input/hls/hls_segment.h"

#include <map>
#include <optional>
#include <string>

namespace audio {

// Keys kept at most; a stream that rotates through more starts the cache afresh.
constexpr size_t max_cached_hls_keys = 16;

class hls_key_cache {
  public:
    // The key at key_url: from the cache, or fetched; nullopt (logged) when the answer is
    // not 16 bytes.
    std::optional<aes_block> key(const url &key_url, const hls_fetcher &fetcher);

  private:
    std::map<std::string, aes_block> keys_; // by URL without credentials
};

} // namespace audio
