#include "song_history.h"

#include "decode/decoder.h"

#include <algorithm>
#include <cstring>

namespace audio {

void song_history::set_limit(size_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    limit_ = bytes;
    if (kept_ > limit_)
        drop_front(kept_ - limit_);
}

void song_history::append(const uint8_t *data, size_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    end_position_ += size;
    if (limit_ == 0) {
        dropped_ += size;
        return;
    }
    pieces_.emplace_back(data, data + size);
    kept_ += size;
    if (kept_ > limit_)
        drop_front(kept_ - limit_);
}

void song_history::song_started(uint64_t position) {
    std::lock_guard<std::mutex> guard(lock_);
    song_seen_ = true;
    usable_ = position != unknown_position;
    if (!usable_)
        return;
    const uint64_t first_kept = end_position_ - kept_;
    song_position_ = position;
    dropped_ = position < first_kept ? first_kept - position : 0;
    if (position > first_kept)
        drop_front(static_cast<size_t>(std::min<uint64_t>(position - first_kept, kept_)));
}

// Lock held. Bytes before the song's start are not the song's: only the others count as
// dropped.
void song_history::drop_front(size_t count) {
    const uint64_t first_kept = end_position_ - kept_;
    if (first_kept + count > song_position_)
        dropped_ += first_kept + count - std::max(first_kept, song_position_);
    kept_ -= count;
    while (count > 0) {
        const size_t left = pieces_.front().size() - front_skip_;
        if (count < left) {
            front_skip_ += count;
            return;
        }
        count -= left;
        pieces_.pop_front();
        front_skip_ = 0;
    }
}

song_history::snapshot song_history::take() const {
    std::lock_guard<std::mutex> guard(lock_);
    snapshot taken;
    if (!usable_)
        return taken;
    taken.dropped_bytes = dropped_;
    taken.bytes.reserve(kept_);
    size_t skip = front_skip_;
    for (const auto &piece : pieces_) {
        taken.bytes.insert(taken.bytes.end(), piece.begin() + static_cast<long>(skip), piece.end());
        skip = 0;
    }
    taken.from_song_start = song_seen_ && dropped_ == 0;
    return taken;
}

size_t song_history::kept_bytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return kept_;
}

std::function<bool(std::vector<float> &out)>
history_decoder(std::shared_ptr<const std::vector<uint8_t>> bytes, const stream_format *format,
                int rate, uint64_t samples) {
    struct state {
        std::shared_ptr<const std::vector<uint8_t>> bytes;
        size_t read = 0;
        std::unique_ptr<decoder> decoding;
        uint64_t left;
        bool opened = false;
    };
    auto at = std::make_shared<state>();
    at->bytes = std::move(bytes);
    at->left = samples;
    return [at, format, rate](std::vector<float> &out) {
        if (!at->opened) {
            at->opened = true;
            const std::vector<uint8_t> &all = *at->bytes;
            probe_result probe = identify_format(all.data(), all.size(), "", true);
            if (!format || probe.format != format)
                return false;
            at->read = probe.offset;
            int error = 0;
            // The state owns the decoder that owns this reader: no shared owner here.
            at->decoding = decoder::open(
                *format,
                [source = at.get()](uint8_t *data, size_t size) {
                    const size_t count = std::min(size, source->bytes->size() - source->read);
                    std::memcpy(data, source->bytes->data() + source->read, count);
                    source->read += count;
                    return static_cast<long>(count);
                },
                rate, &error);
        }
        decoder::chunk next;
        if (!at->decoding || at->left == 0 || !at->decoding->decode(next))
            return false;
        const uint64_t count = std::min<uint64_t>(next.samples.size(), at->left);
        out.assign(next.samples.begin(), next.samples.begin() + static_cast<long>(count));
        at->left -= count;
        return at->left > 0;
    };
}

} // namespace audio
