// The HLS network input: the media playlist played, its live reloads, and each segment's
// audio handed on in order. Variant choice, fetching, the key cache and the reload timing
// are modules of their own beside it. Everything but interrupt() runs on the stream's
// download thread.
#include "input/hls/hls_input.h"

#include "input/hls/hls_fetch.h"
#include "input/hls/hls_key_cache.h"
#include "input/hls/hls_mp4_init.h"
#include "input/hls/hls_playlist.h"
#include "input/hls/hls_reload_timing.h"
#include "input/hls/hls_segment.h"
#include "input/hls/hls_variant_choice.h"

#include "brevora_audio.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace audio {

namespace {

constexpr size_t max_init_section_size = 1024 * 1024;

class hls_input final : public network_input {
  public:
    hls_input(const connect_options &options, input_listener &listener,
              const std::atomic<bool> &cancelled)
        : stop_(cancelled), options_(options), listener_(listener), fetcher_(options_, stop_),
          timing_(std::chrono::milliseconds(options_.timeout_ms)) {}

    connect_failure open(const url &playlist_url, const std::string &text,
                         const response_head &head);

    long read(uint8_t *buffer, size_t size) override;
    void interrupt() override { stop_.interrupt(); }
    bool is_icy() const override { return false; }
    // AAC in fragmented MP4 is declared, so that the stream is named after the codec, as
    // the ADTS taken from other segment formats is; otherwise the bytes tell.
    std::string content_type() const override { return init_carries_aac_ ? "audio/aac" : ""; }
    uint32_t bitrate_kbps() const override { return kbps_; }

  private:
    // A master playlist's variant: its first audio must be audio the decoder plays.
    connect_failure open_variant(const hls_variant &variant, const url &media_url,
                                 const std::string &text, const response_head &head);
    // Starts on a media playlist: its first segment's audio is pending afterwards.
    connect_failure open_media(const url &media_url, const std::string &text,
                               const response_head &head);
    // Drops what open_media() of a refused variant left, so the next starts afresh.
    void forget_variant();
    // Makes pending_ hold the next segment's audio: 1, or 0 at the end, -1 when stopped.
    int next_segment();
    // Takes the first queued segment: true when its audio is pending.
    bool load_next_queued();
    bool load_segment(const hls_segment &segment);
    // The initialisation section a segment names, when the decoder has not had it yet:
    // false when it is needed and does not load.
    bool load_init_section(const hls_segment &segment, std::string *section, std::string *name);
    void reload();
    void take_new_segments(const hls_media_playlist &playlist);

    stop_signal stop_;
    connect_options options_;
    input_listener &listener_;
    hls_fetcher fetcher_;
    hls_reload_timing timing_;
    hls_key_cache keys_;
    uint32_t kbps_ = 0; // set by open(), read from any thread after it

    url media_url_;
    bool ended_ = false;
    std::deque<hls_segment> queue_;
    uint64_t next_sequence_ = 0;    // the first sequence number not yet queued
    std::string map_name_;          // the initialisation section already handed on (its URL)
    bool init_carries_aac_ = false; // that section's audio track is AAC
    std::string last_title_;
    std::vector<std::string> pending_titles_; // reported when their segment is handed on
    std::string pending_;
    size_t pending_at_ = 0;
    uint64_t returned_ = 0; // audio bytes read() has returned
};

connect_failure hls_input::open(const url &playlist_url, const std::string &text,
                                const response_head &head) {
    if (is_hls_master_playlist(text))
        return open_first_variant(
            playlist_url, text, fetcher_,
            [this](const hls_variant &variant, const url &media_url, const std::string &media_text,
                   const response_head &media_head) {
                return open_variant(variant, media_url, media_text, media_head);
            });
    connect_failure failure = open_media(playlist_url, text, head);
    if (failure.error == 0)
        listener_.on_response(head.status_line, head.header_lines);
    return failure;
}

connect_failure hls_input::open_variant(const hls_variant &variant, const url &media_url,
                                        const std::string &text, const response_head &head) {
    connect_failure failure = open_media(media_url, text, head);
    if (failure.error != 0)
        return failure;
    // Audio the decoder cannot open (a codec the playlist did not declare, or not audio at
    // all) makes the variant as dead as one that does not load.
    if (options_.hls_audio_check && !options_.hls_audio_check(pending_)) {
        failure = {BASS_ERROR_FILEFORM, "the decoder cannot play its audio", head.status_line};
        log_failure(media_url, failure);
        forget_variant();
        return failure;
    }
    kbps_ = (variant.bandwidth + 500) / 1000;
    listener_.on_response(head.status_line, head.header_lines);
    return failure;
}

connect_failure hls_input::open_media(const url &media_url, const std::string &text,
                                      const response_head &head) {
    std::optional<hls_media_playlist> playlist = parse_hls_media_playlist(text);
    if (!playlist || playlist->segments.empty() || is_hls_master_playlist(text)) {
        connect_failure failure{BASS_ERROR_FILEFORM, "an HLS playlist without segments",
                                head.status_line};
        log_failure(media_url, failure);
        return failure;
    }
    media_url_ = media_url;
    timing_.start(playlist->target_duration);
    ended_ = playlist->ended;
    const size_t start = ended_ ? 0 : hls_live_start(*playlist);
    queue_.assign(playlist->segments.begin() + static_cast<long>(start), playlist->segments.end());
    next_sequence_ = playlist->segments.back().sequence + 1;
    // The stream must start with audio: a variant whose first segments fail is dead.
    const size_t tries = std::min<size_t>(queue_.size(), 2);
    for (size_t i = 0; i < tries; ++i) {
        if (load_next_queued())
            return {};
        if (stop_.requested())
            return {BASS_ERROR_TIMEOUT, "stopped"};
    }
    connect_failure failure{BASS_ERROR_FILEOPEN, "its first segments do not load",
                            head.status_line};
    log_failure(media_url, failure);
    return failure;
}

void hls_input::forget_variant() {
    queue_.clear();
    map_name_.clear();
    init_carries_aac_ = false;
    pending_titles_.clear();
    pending_.clear();
    pending_at_ = 0;
}

bool hls_input::load_init_section(const hls_segment &segment, std::string *section,
                                  std::string *name) {
    if (segment.map_uri.empty())
        return true;
    std::optional<url> map_url = resolve_reference(media_url_, segment.map_uri);
    if (!map_url)
        return false;
    *name = map_url->without_userinfo();
    if (*name == map_name_)
        return true;
    std::optional<std::string> map = fetcher_.body(*map_url, max_init_section_size, 0);
    if (!map)
        return false;
    *section = std::move(*map);
    return true;
}

bool hls_input::load_next_queued() {
    hls_segment segment = queue_.front();
    queue_.pop_front();
    if (!load_segment(segment))
        return false;
    timing_.segment_played();
    return true;
}

bool hls_input::load_segment(const hls_segment &segment) {
    std::optional<url> segment_url = resolve_reference(media_url_, segment.uri);
    if (!segment_url || segment.key.unsupported) {
        log_stream_line(media_url_,
                        "segment " + std::to_string(segment.sequence) + " cannot be played");
        return false;
    }
    std::optional<std::string> bytes =
        fetcher_.body(*segment_url, max_hls_segment_size, segment.duration);
    if (!bytes)
        return false;
    if (segment.key.encrypted) {
        std::optional<url> key_url = resolve_reference(media_url_, segment.key.uri);
        std::optional<aes_block> key = key_url ? keys_.key(*key_url, fetcher_) : std::nullopt;
        if (!key ||
            !decrypt_aes128(*bytes, *key, segment.key.iv.value_or(sequence_iv(segment.sequence)))) {
            log_stream_line(*segment_url, "the segment does not decrypt");
            return false;
        }
    }
    // The initialisation section goes to the decoder once, before the first segment that
    // plays; a variant tried before this one may have named the same file.
    std::string init_section, map_name;
    if (!load_init_section(segment, &init_section, &map_name))
        return false;
    unpacked_segment unpacked = unpack_segment(std::move(*bytes));
    if (unpacked.audio.empty())
        return false;
    if (!map_name.empty() && map_name != map_name_) {
        map_name_ = map_name;
        init_carries_aac_ = mp4_init_carries_aac(
            reinterpret_cast<const uint8_t *>(init_section.data()), init_section.size());
    }
    pending_titles_ = std::move(unpacked.titles);
    pending_ = init_section + unpacked.audio;
    pending_at_ = 0;
    return true;
}

void hls_input::take_new_segments(const hls_media_playlist &playlist) {
    for (const hls_segment &segment : playlist.segments) {
        if (segment.sequence < next_sequence_)
            continue;
        if (segment.sequence > next_sequence_)
            log_stream_line(media_url_, "skipping segments " + std::to_string(next_sequence_) +
                                            " to " + std::to_string(segment.sequence - 1) +
                                            ", gone from the playlist");
        queue_.push_back(segment);
        next_sequence_ = segment.sequence + 1;
    }
}

void hls_input::reload() {
    const uint64_t before = next_sequence_;
    std::optional<std::string> text =
        fetcher_.body(media_url_, max_hls_playlist_size, timing_.target_seconds());
    std::optional<hls_media_playlist> playlist =
        text ? parse_hls_media_playlist(*text) : std::nullopt;
    if (playlist) {
        take_new_segments(*playlist);
        ended_ = playlist->ended;
        timing_.set_target(playlist->target_duration);
    }
    timing_.reloaded(next_sequence_ != before);
}

int hls_input::next_segment() {
    for (;;) {
        if (stop_.requested())
            return -1;
        switch (timing_.check_stall()) {
        case hls_reload_timing::stall::give_up:
            log_stream_line(media_url_, "no segment played after reconnecting, the stream ends");
            return 0;
        case hls_reload_timing::stall::reconnect:
            log_stream_line(media_url_, "no segment played within the time-out, reconnecting");
            break;
        case hls_reload_timing::stall::none:
            break;
        }
        if (!queue_.empty()) {
            if (load_next_queued())
                return 1;
            continue;
        }
        if (ended_)
            return 0;
        if (!stop_.sleep_until(timing_.next_wake()))
            return -1;
        if (timing_.reload_due())
            reload();
    }
}

long hls_input::read(uint8_t *buffer, size_t size) {
    if (size == 0)
        return 0;
    while (pending_at_ >= pending_.size()) {
        int got = next_segment();
        if (got <= 0)
            return got < 0 || stop_.requested() ? -1 : 0;
    }
    // A segment's ID3 titles name its audio: they take effect where the segment begins.
    for (const std::string &title : pending_titles_)
        if (title != last_title_) {
            last_title_ = title;
            listener_.on_metadata(title, returned_);
        }
    pending_titles_.clear();
    const size_t count = std::min(size, pending_.size() - pending_at_);
    std::memcpy(buffer, pending_.data() + pending_at_, count);
    pending_at_ += count;
    returned_ += count;
    return static_cast<long>(count);
}

} // namespace

std::unique_ptr<network_input>
open_hls_input(const url &playlist_url, const std::string &text, const response_head &head,
               const connect_options &options, input_listener &listener,
               const std::atomic<bool> &cancelled, connect_failure *failure) {
    auto input = std::make_unique<hls_input>(options, listener, cancelled);
    *failure = input->open(playlist_url, text, head);
    if (failure->error != 0)
        return nullptr;
    return input;
}

} // namespace audio
