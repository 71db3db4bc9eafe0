// Removes the ICY metadata interleaved in a stream's body: every `metaint` audio bytes come
// one length byte L and L*16 bytes of NUL-padded text. Pure: bytes in, audio bytes and
// metadata strings out, so plain strings test it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace audio {

// Larger intervals are not seen in practice; a value past this is treated as "no
// metadata" rather than trusted, since a wrong interval would corrupt the audio anyway.
constexpr size_t max_icy_metaint = 1024 * 1024;

// The interval from an icy-metaint header value: nullopt when absent, zero, negative,
// not a number or above max_icy_metaint, all of which mean "no metadata to remove".
std::optional<size_t> parse_icy_metaint(const std::optional<std::string> &header_value);

class icy_filter {
  public:
    // Called with each complete block's text (trailing NULs stripped) when it is not empty
    // and differs from the last text reported: a reconnect's repeat of the current title
    // or an unchanged block is not a new metadata string. `audio_before` is how many audio
    // bytes the current filter() call has put out before the block's place.
    using metadata_callback = std::function<void(const std::string &, size_t audio_before)>;

    icy_filter(size_t metaint, metadata_callback on_metadata);

    // Compacts the audio bytes of data[0..size) to its front; returns their number.
    size_t filter(uint8_t *data, size_t size);

    // A new response starts: counting restarts at its first body byte, and a block cut off
    // by the old connection is dropped. The last reported text is kept.
    void restart(size_t metaint);

  private:
    size_t metaint_;
    metadata_callback on_metadata_;
    size_t audio_left_;        // audio bytes before the next length byte
    size_t metadata_left_ = 0; // bytes of the current block still to come
    bool in_metadata_ = false;
    std::string block_;
    std::string last_reported_;
};

} // namespace audio
