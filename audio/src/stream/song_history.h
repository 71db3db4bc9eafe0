// The compressed bytes a stream has downloaded since its current song began to play, so that
// a recording can begin at the song's start: about 1 MB a minute at 128 kbit/s instead of
// the 10 MB of the decoded samples. Bounded by the history length at the stream's byte
// rate plus the download buffer (the part not played yet); what falls out of the bound is
// the song's start, and a recording then says so.
//
// Threads: append on the download thread, song_started and take on the output and API
// threads; `lock_` guards every field. The history's decoding (history_decoder) runs on an
// encoder's writer thread, on a copy.
#pragma once

#include "decode/format_probe.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

class song_history {
  public:
    // 0 keeps nothing. Set once the stream's byte rate is known.
    void set_limit(size_t bytes);

    // Download thread: the stream's next bytes, in order (positions count from 0).
    void append(const uint8_t *data, size_t size);
    // A song whose first byte is at `position` has begun to play; unknown_position when
    // its place in the bytes is not known (an Ogg link, a Windows Media title): no history
    // then until the next song.
    static constexpr uint64_t unknown_position = UINT64_MAX;
    void song_started(uint64_t position);

    struct snapshot {
        std::vector<uint8_t> bytes; // from the song's start, or as far back as kept
        bool from_song_start = false;
        uint64_t dropped_bytes = 0; // of the song, before `bytes`: out of the bound
    };
    snapshot take() const;
    size_t kept_bytes() const;

  private:
    void drop_front(size_t count); // lock held

    mutable std::mutex lock_;
    size_t limit_ = 0;
    std::deque<std::vector<uint8_t>> pieces_;
    size_t front_skip_ = 0;      // bytes of pieces_.front() already dropped
    size_t kept_ = 0;            // bytes held, front_skip_ excluded
    uint64_t end_position_ = 0;  // stream position after the last byte appended
    uint64_t song_position_ = 0; // where the current song began
    bool song_seen_ = false;     // a title change has played since the connection
    bool usable_ = true;         // the song's place in the bytes is known
    uint64_t dropped_ = 0;       // bytes of the current song the bound dropped
};

// Decodes a history's bytes with a decoder of its own into `samples` interleaved stereo
// samples at `rate`, in chunks; for an encoder's writer thread. The producer returns false
// after the last chunk (or at once when the bytes cannot be decoded: a history that starts
// inside an Ogg or ASF stream has no headers).
std::function<bool(std::vector<float> &out)>
history_decoder(std::shared_ptr<const std::vector<uint8_t>> bytes, const stream_format *format,
                int rate, uint64_t samples);

} // namespace audio
