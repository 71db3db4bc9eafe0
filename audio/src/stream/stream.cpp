// A stream: its download, decode and sync threads, tags, encoders and what it plays into
// the mix; its format (probing, the decoder, the switch at a reconnect) is in
// stream_decoding.cpp.
#include "stream.h"

#include "core/debug_log.h"
#include "core/error.h"
#include "core/worker_threads.h"
#include "encode/encoder.h"
#include "input_opener.h"

#include <algorithm>

namespace audio {

namespace {

// The encoders record what the mixer plays.
static_assert(encoder::channels == mixer::channels);

// Until the format and bitrate are known the buffer may hold this much.
constexpr size_t provisional_buffer = probe_window;
// Large enough for what a fast stream gathers while the download rests.
constexpr size_t download_block = 16384;
// Once playing with over half the buffer filled, the download reads a live stream a few
// times a second in large pieces (the socket gathers them meanwhile) rather than at every
// small packet the server sends; each wake-up costs more than the bytes it brings.
constexpr auto download_rest = std::chrono::milliseconds(250);
// About 190 ms of decoded stereo at 44.1 kHz between the decoder and the mixer.
constexpr size_t decoded_queue_samples = 8192 * 2;
// The history's bound while the stream's byte rate is unknown: 320 kbit/s.
constexpr size_t most_bytes_per_second = 40000;

// What describes the song now playing, for a recording's file name and tags.
song_tags current_song(const tag_store &tags) {
    for (tag_type each : {tag_type::meta, tag_type::wma_meta, tag_type::ogg})
        if (const char *text = tags.text(each))
            return {static_cast<uint32_t>(each), text};
    return {};
}

} // namespace

stream::stream(request what, mixer &output)
    : request_(std::move(what)), mixer_(output), flags_(request_.flags),
      buffer_(provisional_buffer), samples_(decoded_queue_samples),
      decoding_({buffer_, tags_, syncs_, shut_down_, request_.output_rate,
                 request_.settings.timeout_ms}) {
    if (request_.settings.history_s > 0)
        history_.set_limit(provisional_buffer +
                           most_bytes_per_second * request_.settings.history_s);
}

stream::~stream() = default;

int stream::connect(uint32_t handle) {
    handle_ = handle;
    auto self = shared_from_this();
    start_worker([self] { self->run_guarded("download", &stream::download); });
    {
        std::unique_lock<std::mutex> guard(state_lock_);
        state_changed_.wait(
            guard, [&] { return connection_ != connection::connecting || shut_down_.load(); });
        if (shut_down_)
            return BASS_ERROR_INIT; // the library was released while connecting
        if (connection_ == connection::failed)
            return open_error_;
    }
    int error = open_decoding();
    if (error != BASS_OK)
        return shut_down_ ? BASS_ERROR_INIT : error;
    start_worker([self] { self->run_guarded("decode", &stream::decode); });
    start_worker([self] { self->run_guarded("sync", &stream::dispatch_syncs); });
    return BASS_OK;
}

// Creating thread: the decoding of what the connection brings, and the buffer sized for its
// bitrate.
int stream::open_decoding() {
    std::string content_type;
    uint32_t input_kbps;
    {
        std::lock_guard<std::mutex> guard(state_lock_);
        content_type = content_type_;
        input_kbps = input_kbps_;
    }
    uint32_t kbps = 0;
    int error = decoding_.open(content_type, input_kbps, &kbps);
    if (error == BASS_OK) {
        buffer_.set_capacity(static_cast<size_t>(kbps) * request_.settings.buffer_ms / 8);
        bytes_per_second_ = kbps * 125;
        if (request_.settings.history_s > 0)
            history_.set_limit(buffer_.capacity() +
                               static_cast<size_t>(kbps) * 125 * request_.settings.history_s);
    }
    return error;
}

void stream::run_guarded(const char *thread, void (stream::*body)()) noexcept {
    try {
        (this->*body)();
    } catch (const std::exception &failure) {
        end_as_failed(thread, failure.what(), error_of(failure));
    } catch (...) {
        end_as_failed(thread, "unknown exception", BASS_ERROR_UNKNOWN);
    }
}

// The stream's threads stop as at the end of the data; a connect still waiting fails with
// `error`, a playing stream gets its END sync.
void stream::end_as_failed(const char *thread, const char *what, int error) noexcept {
    try {
        log_thread_failure("stream " + std::to_string(handle_) + " " + thread, what);
    } catch (...) {
        // Memory ran out again: the stream still ends, only without its log line.
    }
    buffer_.cancel();
    samples_.cancel();
    decode_finished_ = true;
    {
        std::lock_guard<std::mutex> guard(state_lock_);
        if (connection_ == connection::connecting) {
            connection_ = connection::failed;
            open_error_ = error;
        }
        if (input_)
            input_->interrupt();
        state_changed_.notify_all();
    }
    if (!end_posted_.exchange(true))
        syncs_.post_noexcept(sync_type::end);
}

void stream::shut_down() {
    if (shut_down_.exchange(true))
        return;
    buffer_.cancel();
    samples_.cancel();
    {
        std::lock_guard<std::mutex> guard(state_lock_);
        if (input_)
            input_->interrupt();
        state_changed_.notify_all();
    }
    syncs_.stop();
    mixer_.remove(this);
    // Once out of the mixer nothing feeds the encoders: their files can be finished.
    finish_encoders();
}

bool stream::add_encoder(std::shared_ptr<encoder> added, bool from_song_start) {
    std::lock_guard<std::mutex> guard(encoders_lock_);
    if (shut_down_)
        return false;
    song_start start;
    start.song = current_song(tags_);
    if (from_song_start) {
        // Under the lock, so that the history ends where the feeding begins.
        song_history::snapshot kept = history_.take();
        // What the bound dropped is the song's first samples: at the stream's byte rate.
        const uint64_t song_samples = played_samples_ - song_start_sample_;
        const uint64_t rate = bytes_per_second_.load();
        const uint64_t dropped_samples =
            rate ? kept.dropped_bytes * request_.output_rate * mixer::channels / rate
                 : song_samples;
        if (!kept.bytes.empty() && dropped_samples < song_samples) {
            start.history = history_decoder(
                std::make_shared<const std::vector<uint8_t>>(std::move(kept.bytes)),
                decoding_.format(), request_.output_rate, song_samples - dropped_samples);
            start.from_start = kept.from_song_start;
        }
    }
    encoders_.push_back(added);
    added->begin(std::move(start));
    return true;
}

void stream::remove_encoder(const encoder *removed) {
    std::lock_guard<std::mutex> guard(encoders_lock_);
    encoders_.erase(std::remove_if(encoders_.begin(), encoders_.end(),
                                   [&](const auto &entry) { return entry.get() == removed; }),
                    encoders_.end());
}

void stream::finish_encoders() {
    std::vector<std::shared_ptr<encoder>> finished;
    {
        std::lock_guard<std::mutex> guard(encoders_lock_);
        finished.swap(encoders_);
    }
    // Without the lock: each stop waits for its program to finish the file.
    for (const auto &each : finished)
        each->stop();
}

void stream::download() {
    connect_options options;
    options.timeout_ms = request_.settings.timeout_ms;
    options.follow_playlists = request_.settings.playlist_mode != 0;
    options.proxy = request_.settings.proxy;
    int error = BASS_OK;
    std::unique_ptr<network_input> input =
        current_input_opener()(request_.url, options, *this, shut_down_, &error);
    {
        std::lock_guard<std::mutex> guard(state_lock_);
        if (!input) {
            connection_ = connection::failed;
            open_error_ = error != BASS_OK ? error : BASS_ERROR_UNKNOWN;
            state_changed_.notify_all();
            return;
        }
        input_ = input.get();
        content_type_ = input->content_type();
        input_kbps_ = input->bitrate_kbps();
        connection_ = connection::connected;
        connected_ = true;
        if (shut_down_)
            input->interrupt();
        state_changed_.notify_all();
    }
    try {
        read_into_buffer(*input);
    } catch (...) {
        forget_input(); // the input dies with this frame: nobody may interrupt it now
        throw;
    }
    forget_input();
}

void stream::forget_input() {
    std::lock_guard<std::mutex> guard(state_lock_);
    input_ = nullptr;
}

void stream::read_into_buffer(network_input &input) {
    std::vector<uint8_t> block(download_block);
    for (;;) {
        if (playing_ && !buffer_.rest_above(buffer_.capacity() / 2, download_rest))
            break;
        long count = input.read(block.data(), block.size());
        if (count <= 0)
            break;
        if (request_.download_proc && !shut_down_)
            request_.download_proc(block.data(), static_cast<DWORD>(count), request_.user);
        history_.append(block.data(), static_cast<size_t>(count));
        if (!buffer_.write(block.data(), static_cast<size_t>(count)))
            break;
    }
    connected_ = false;
    buffer_.finish();
}

void stream::decode() {
    {
        std::unique_lock<std::mutex> guard(state_lock_);
        state_changed_.wait(guard, [&] { return playing_ || shut_down_; });
    }
    decoder::chunk next;
    next.samples = decoding_.take_first_samples();
    if (shut_down_ || !hand_on_decoded(next))
        return;
    while (!shut_down_ && decoding_.next(next))
        if (!hand_on_decoded(next))
            return;
    titles_.place_rest(samples_handed_on_);
    decode_finished_ = true;
}

// The titles whose place the decoder has passed start with these samples (a chunk's
// precision, a frame or two), as do the script commands that came with them.
bool stream::hand_on_decoded(const decoder::chunk &decoded) {
    uint64_t taken = buffer_.total_read();
    titles_.place_decoded(taken - std::min(taken, decoding_.held_bytes()), samples_handed_on_);
    for (const std::string &command : decoded.script_commands)
        titles_.add_decoded(samples_handed_on_, tag_type::wma_meta, command);
    // A new Ogg link is a new song for the history and the recordings.
    if (decoded.new_bitstream)
        if (const char *comments = tags_.text(tag_type::ogg))
            titles_.add_decoded(samples_handed_on_, tag_type::ogg, comments);
    samples_handed_on_ += decoded.samples.size();
    return samples_.push(decoded.samples.data(), decoded.samples.size());
}

void stream::dispatch_syncs() {
    sync_dispatcher::hooks on;
    on.channel = handle_;
    on.after_end = [this] {
        mixer_.remove(this);
        if ((flags_ & BASS_STREAM_AUTOFREE) && free_after_end_)
            free_after_end_(handle_);
    };
    // One sync that fails ends the stream; the END sync posted for that still goes out.
    on.failed = [this](const std::exception &failure) {
        end_as_failed("sync", failure.what(), error_of(failure));
    };
    syncs_.run(on);
}

size_t stream::tag_bytes() const {
    return tags_.stored_bytes();
}

void stream::on_response(const std::string &status_line,
                         const std::vector<std::string> &header_lines) {
    std::string block = line_block(&status_line, header_lines);
    bool icy = status_line.compare(0, 4, "ICY ") == 0;
    tags_.replace(icy ? tag_type::icy : tag_type::http, block);
    if (request_.download_proc && (request_.flags & BASS_STREAM_STATUS) && !shut_down_)
        request_.download_proc(block.data(), 0, request_.user);
}

void stream::on_reconnect(const std::string &content_type) {
    buffer_.begin_part(content_type);
}

void stream::on_metadata(const std::string &metadata, uint64_t audio_position) {
    // The first title names the song that was playing when we tuned in: current at once.
    if (tags_.text(tag_type::meta)) {
        titles_.add(audio_position, metadata);
        return;
    }
    tags_.replace(tag_type::meta, metadata);
    syncs_.post(sync_type::meta);
}

void stream::mix_into(float *mix, size_t frames, float gain) {
    // The output thread mixes every stream: one that fails ends, the others play on.
    try {
        mix_block(mix, frames, gain);
    } catch (const std::exception &failure) {
        end_as_failed("output", failure.what(), error_of(failure));
    }
}

void stream::mix_block(float *mix, size_t frames, float gain) {
    size_t wanted = frames * mixer::channels;
    size_t got;
    {
        // Held across the block: an encoder added meanwhile starts exactly after it.
        std::lock_guard<std::mutex> guard(encoders_lock_);
        const bool recording = !encoders_.empty();
        if (recording && unscaled_block_.size() < wanted)
            unscaled_block_.resize(wanted);
        got = samples_.mix_into(mix, wanted, gain, recording ? unscaled_block_.data() : nullptr);
        size_t fed = 0;
        for (title_timeline::change &change : take_title_changes(got, wanted)) {
            const size_t offset = std::min(change.offset, got);
            feed_encoders(fed, offset);
            fed = offset;
            begin_song(change, played_samples_ + offset);
        }
        feed_encoders(fed, got);
        played_samples_ += got;
    }
    if (got < wanted && decode_finished_ && samples_.size() == 0 && !end_posted_.exchange(true))
        syncs_.post(sync_type::end);
}

// Output thread, encoders_lock_ held: the unscaled samples [from, to) of the block.
void stream::feed_encoders(size_t from, size_t to) {
    if (to > from)
        for (const auto &entry : encoders_)
            entry->feed(unscaled_block_.data() + from, to - from);
}

// Output thread, encoders_lock_ held: a song starts with played sample `at`. Its title
// becomes current (an Ogg link's comments already are: the decoding published them), the
// history restarts there, and a recording split per song cuts there.
void stream::begin_song(title_timeline::change &change, uint64_t at) {
    if (change.tag != tag_type::ogg) {
        tags_.replace(change.tag, change.text);
        syncs_.post(change.tag == tag_type::meta ? sync_type::meta : sync_type::wma_meta);
    }
    history_.song_started(change.byte_position == title_timeline::unknown_position
                              ? song_history::unknown_position
                              : change.byte_position);
    song_start_sample_ = at;
    for (const auto &entry : encoders_)
        entry->begin_song({static_cast<uint32_t>(change.tag), std::move(change.text)});
}

std::vector<title_timeline::change> stream::take_title_changes(size_t taken, size_t wanted) {
    // Titles placed after the last sample take effect when the stream has played out.
    bool played_out = taken < wanted && decode_finished_ && samples_.size() == 0;
    std::vector<title_timeline::change> changes =
        titles_.crossed_in(samples_taken_, played_out ? wanted : taken);
    samples_taken_ += taken;
    return changes;
}

stream::file_positions stream::positions() const {
    file_positions now;
    now.downloaded = buffer_.total_written();
    now.capacity = buffer_.capacity();
    // What the decoder holds undecoded is still to play: an Ogg stream's first page, read
    // whole at connect, would otherwise look played and hold back a start on the buffer.
    now.buffered = std::min<uint64_t>(buffer_.buffered() + decoding_.held_bytes(),
                                      std::max<uint64_t>(now.capacity, buffer_.buffered()));
    now.read = now.downloaded - std::min(now.buffered, now.downloaded);
    now.connected = connected_;
    const stream_format *format = decoding_.format();
    now.asf = format && format->tags == tag_source::asf_header;
    return now;
}

const char *stream::tags(tag_type type) const {
    return tags_.text(type);
}

void stream::info(BASS_CHANNELINFO *info) const {
    *info = BASS_CHANNELINFO{};
    info->freq = decoding_.rate();
    info->chans = decoding_.channels();
    info->flags = flags_;
    const stream_format *format = decoding_.format();
    info->ctype = format ? format->ctype : 0;
}

DWORD stream::change_flags(DWORD flags, DWORD mask) {
    // Only these may change once the stream exists.
    mask &= BASS_STREAM_RESTRATE | BASS_STREAM_AUTOFREE;
    DWORD old = flags_.load();
    while (!flags_.compare_exchange_weak(old, (old & ~mask) | (flags & mask))) {
    }
    return (old & ~mask) | (flags & mask);
}

void stream::add_sync(HSYNC sync, sync_type type, SYNCPROC *proc, void *user) {
    syncs_.add(sync, type, proc, user);
}

void stream::play() {
    {
        std::lock_guard<std::mutex> guard(state_lock_);
        playing_ = true;
        state_changed_.notify_all();
    }
    mixer_.add(shared_from_this());
    // A free that ran meanwhile may have missed the mixer; take the stream out again.
    if (shut_down_)
        mixer_.remove(this);
}

} // namespace audio
