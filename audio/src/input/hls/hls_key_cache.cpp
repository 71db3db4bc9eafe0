#include "input/hls/hls_key_cache.h"

#include <cstring>

namespace audio {

std::optional<aes_block> hls_key_cache::key(const url &key_url, const hls_fetcher &fetcher) {
    const std::string key_name = key_url.without_userinfo();
    auto known = keys_.find(key_name);
    if (known != keys_.end())
        return known->second;
    aes_block key;
    // One byte more than a key tells a longer answer from a key.
    std::optional<std::string> body = fetcher.body(key_url, key.size() + 1, 0);
    if (!body || body->size() != key.size()) {
        log_stream_line(key_url, "not an AES-128 key");
        return std::nullopt;
    }
    if (keys_.size() == max_cached_hls_keys)
        keys_.clear();
    std::memcpy(key.data(), body->data(), key.size());
    keys_[key_name] = key;
    return key;
}

} // namespace audio
