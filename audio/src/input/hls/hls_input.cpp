// The HLS network input: variant choice, playlist reloads, segment fetching and unpacking.
// Everything but interrupt() runs on the stream's download thread.
#include "input/hls/hls_input.h"

#include "input/hls/hls_mp4_init.h"
#include "input/hls/hls_playlist.h"
#include "input/hls/hls_segment.h"
#include "input/net/io_failure.h"

#include "brevora_audio.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

namespace audio {

namespace {

// Bounds on how often a playlist is reloaded, whatever its target duration says.
constexpr double min_reload_seconds = 0.5;
constexpr double max_reload_seconds = 30;
constexpr size_t max_init_section_size = 1024 * 1024;
constexpr size_t max_cached_keys = 16;

clock_type::duration seconds(double value) {
    return std::chrono::duration_cast<clock_type::duration>(
        std::chrono::duration<double>(std::clamp(value, min_reload_seconds, max_reload_seconds)));
}

class hls_input final : public network_input {
  public:
    hls_input(const connect_options &options, input_listener &listener,
              const std::atomic<bool> &cancelled)
        : stop_(cancelled), options_(options), listener_(listener) {}

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
    // The whole body of target, at most limit bytes; a stall of timeout_ms fails it. head
    // and final_url (after redirects) are filled when not null.
    std::optional<std::string> fetch_body(const url &target, size_t limit, response_head *head,
                                          connect_failure *failure, url *final_url = nullptr);
    // How long no segment may play before the input reconnects, and then ends: the
    // time-out on top of the wait for the next segment a live playlist owes.
    clock_type::duration stall_limit() const {
        return std::chrono::milliseconds(options_.timeout_ms) + seconds(target_seconds_);
    }
    // Starts on a media playlist: its first segment's audio is pending afterwards.
    connect_failure open_media(const url &media_url, const std::string &text,
                               const response_head &head);
    // Drops what open_media() of a refused variant left, so the next starts afresh.
    void forget_variant();
    // Makes pending_ hold the next segment's audio: 1, or 0 at the end, -1 when stopped.
    int next_segment();
    bool load_segment(const hls_segment &segment);
    std::optional<aes_block> key_for(const hls_segment &segment);
    void reload();
    void take_new_segments(const hls_media_playlist &playlist);

    stop_signal stop_;
    connect_options options_;
    input_listener &listener_;
    uint32_t kbps_ = 0; // set by open(), read from any thread after it

    url media_url_;
    double target_seconds_ = 0;
    bool ended_ = false;
    std::deque<hls_segment> queue_;
    uint64_t next_sequence_ = 0; // the first sequence number not yet queued
    clock_type::time_point next_reload_{};
    clock_type::time_point last_audio_{}; // when a segment last loaded, or a retry began
    bool retried_ = false;
    std::string map_name_;          // the initialisation section already handed on (its URL)
    bool init_carries_aac_ = false; // that section's audio track is AAC
    std::map<std::string, aes_block> keys_;
    std::string last_title_;
    std::vector<std::string> pending_titles_; // reported when their segment is handed on
    std::string pending_;
    size_t pending_at_ = 0;
    uint64_t returned_ = 0; // audio bytes read() has returned
};

std::optional<std::string> hls_input::fetch_body(const url &target, size_t limit,
                                                 response_head *head, connect_failure *failure,
                                                 url *final_url) {
    std::optional<http_answer> answer =
        fetch(target, options_, deadline_from_now(options_), stop_, failure);
    if (!answer)
        return std::nullopt;
    if (head)
        *head = answer->head;
    if (final_url)
        *final_url = answer->final_url;
    std::string body;
    // One byte past the limit tells a body that is too large from one that just fits.
    io_status status =
        answer->body->read_up_to(limit + 1, clock_type::time_point::max(),
                                 std::chrono::milliseconds(options_.timeout_ms), &body);
    if (status != io_status::ok) {
        *failure = io_failure(status, "reading the stalled body", "the connection failed",
                              answer->head.status_line);
    } else if (body.size() > limit) {
        *failure = {BASS_ERROR_FILEFORM, "larger than allowed", answer->head.status_line};
    } else {
        return body;
    }
    log_failure(answer->final_url, *failure);
    return std::nullopt;
}

connect_failure hls_input::open(const url &playlist_url, const std::string &text,
                                const response_head &head) {
    if (!is_hls_master_playlist(text)) {
        connect_failure failure = open_media(playlist_url, text, head);
        if (failure.error == 0)
            listener_.on_response(head.status_line, head.header_lines);
        return failure;
    }
    std::vector<hls_variant> variants = parse_hls_master_playlist(text);
    connect_failure failure{BASS_ERROR_FILEOPEN, "a master playlist with no playable variant"};
    for (size_t index : hls_variant_order(variants, max_hls_variant_bandwidth)) {
        if (stop_.requested())
            return {BASS_ERROR_TIMEOUT, "stopped"};
        std::optional<url> media_url = resolve_reference(playlist_url, variants[index].uri);
        if (!media_url)
            continue;
        response_head media_head;
        url final_url;
        std::optional<std::string> media_text =
            fetch_body(*media_url, max_hls_playlist_size, &media_head, &failure, &final_url);
        if (!media_text)
            continue;
        failure = open_media(final_url, *media_text, media_head);
        if (failure.error != 0)
            continue;
        // Audio the decoder cannot open (a codec the playlist did not declare, or not audio
        // at all) makes the variant as dead as one that does not load.
        if (options_.hls_audio_check && !options_.hls_audio_check(pending_)) {
            failure = {BASS_ERROR_FILEFORM, "the decoder cannot play its audio",
                       media_head.status_line};
            log_failure(final_url, failure);
            forget_variant();
            continue;
        }
        kbps_ = (variants[index].bandwidth + 500) / 1000;
        listener_.on_response(media_head.status_line, media_head.header_lines);
        return failure;
    }
    log_failure(playlist_url, failure);
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
    target_seconds_ = playlist->target_duration;
    ended_ = playlist->ended;
    const size_t start = ended_ ? 0 : hls_live_start(*playlist);
    queue_.assign(playlist->segments.begin() + static_cast<long>(start), playlist->segments.end());
    next_sequence_ = playlist->segments.back().sequence + 1;
    next_reload_ = clock_type::now() + seconds(target_seconds_);
    // The stream must start with audio: a variant whose first segments fail is dead.
    const size_t tries = std::min<size_t>(queue_.size(), 2);
    for (size_t i = 0; i < tries; ++i) {
        hls_segment segment = queue_.front();
        queue_.pop_front();
        if (load_segment(segment)) {
            last_audio_ = clock_type::now();
            return {};
        }
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

std::optional<aes_block> hls_input::key_for(const hls_segment &segment) {
    // Cached by absolute URL: variants tried one after the other may use the same name.
    std::optional<url> key_url = resolve_reference(media_url_, segment.key.uri);
    if (!key_url)
        return std::nullopt;
    const std::string key_name = key_url->without_userinfo();
    auto known = keys_.find(key_name);
    if (known != keys_.end())
        return known->second;
    connect_failure failure;
    std::optional<std::string> body = fetch_body(*key_url, 17, nullptr, &failure);
    if (!body || body->size() != 16) {
        log_stream_line(*key_url, "not an AES-128 key");
        return std::nullopt;
    }
    if (keys_.size() == max_cached_keys)
        keys_.clear();
    aes_block key;
    std::memcpy(key.data(), body->data(), key.size());
    keys_[key_name] = key;
    return key;
}

bool hls_input::load_segment(const hls_segment &segment) {
    std::optional<url> segment_url = resolve_reference(media_url_, segment.uri);
    if (!segment_url || segment.key.unsupported) {
        log_stream_line(media_url_,
                        "segment " + std::to_string(segment.sequence) + " cannot be played");
        return false;
    }
    connect_failure failure;
    std::optional<std::string> bytes =
        fetch_body(*segment_url, max_hls_segment_size, nullptr, &failure);
    if (!bytes)
        return false;
    if (segment.key.encrypted) {
        std::optional<aes_block> key = key_for(segment);
        if (!key ||
            !decrypt_aes128(*bytes, *key, segment.key.iv.value_or(sequence_iv(segment.sequence)))) {
            log_stream_line(*segment_url, "the segment does not decrypt");
            return false;
        }
    }
    // The initialisation section goes to the decoder once, before the first segment that
    // plays; a variant tried before this one may have named the same file.
    std::string init_section, map_name;
    if (!segment.map_uri.empty()) {
        std::optional<url> map_url = resolve_reference(media_url_, segment.map_uri);
        if (!map_url)
            return false;
        map_name = map_url->without_userinfo();
        if (map_name != map_name_) {
            std::optional<std::string> map =
                fetch_body(*map_url, max_init_section_size, nullptr, &failure);
            if (!map)
                return false;
            init_section = std::move(*map);
        }
    }
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
    connect_failure failure;
    std::optional<std::string> text =
        fetch_body(media_url_, max_hls_playlist_size, nullptr, &failure);
    std::optional<hls_media_playlist> playlist =
        text ? parse_hls_media_playlist(*text) : std::nullopt;
    if (playlist) {
        take_new_segments(*playlist);
        ended_ = playlist->ended;
        if (playlist->target_duration > 0)
            target_seconds_ = playlist->target_duration;
    }
    const bool advanced = next_sequence_ != before;
    next_reload_ = clock_type::now() + seconds(advanced ? target_seconds_ : target_seconds_ / 2);
}

int hls_input::next_segment() {
    for (;;) {
        if (stop_.requested())
            return -1;
        if (clock_type::now() - last_audio_ > stall_limit()) {
            if (retried_) {
                log_stream_line(media_url_,
                                "no segment played after reconnecting, the stream ends");
                return 0;
            }
            log_stream_line(media_url_, "no segment played within the time-out, reconnecting");
            retried_ = true;
            last_audio_ = clock_type::now();
            next_reload_ = clock_type::now();
        }
        if (!queue_.empty()) {
            hls_segment segment = queue_.front();
            queue_.pop_front();
            if (load_segment(segment)) {
                last_audio_ = clock_type::now();
                retried_ = false;
                return 1;
            }
            continue;
        }
        if (ended_)
            return 0;
        if (!stop_.sleep_until(
                std::min(next_reload_, last_audio_ + stall_limit() + std::chrono::milliseconds(1))))
            return -1;
        if (clock_type::now() >= next_reload_)
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
