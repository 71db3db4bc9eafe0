#include "stream_decoding.h"

#include <algorithm>

namespace audio {

namespace {

// The first frames decoded at connect time: enough to estimate a bitrate.
constexpr double first_frames_seconds = 0.1;
// When neither the server nor the frames tell a bitrate.
constexpr uint32_t fallback_kbps = 128;
// The bytes before a first frame are skipped this many at a time.
constexpr size_t skip_block = 16384;

} // namespace

stream_decoding::stream_decoding(context with)
    : buffer_(with.buffer), tags_(with.tags), syncs_(with.syncs), cancelled_(with.cancelled),
      output_rate_(with.output_rate), timeout_ms_(with.timeout_ms) {}

stream_decoding::~stream_decoding() = default;

int stream_decoding::open(const std::string &content_type, uint32_t input_kbps, uint32_t *kbps) {
    // The first audio data is one phase: the probe and the first frames share one
    // time-out from the answer on, however the bytes trickle in or reconnects go.
    first_data_deadline_ =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
    bool stalled = false;
    bool cut_short = false;
    std::string part_type = content_type;
    probe_result probe = probe_part(part_type, first_data_deadline_, &stalled, &cut_short);
    // The connection was lost and made again before its format could be told: the new
    // answer is probed instead, within the same time-out.
    while (cut_short && !cancelled_ && skip_to_next_part(&part_type, &stalled))
        probe = probe_part(part_type, first_data_deadline_, &stalled, &cut_short);
    if (cancelled_)
        return BASS_ERROR_INIT;
    if (stalled)
        return BASS_ERROR_TIMEOUT; // stalled before the format could be told
    if (!probe.format)
        return BASS_ERROR_FILEFORM;
    int error = open_decoder(probe);
    if (error != BASS_OK)
        return error;
    decoder::chunk first;
    double seconds = 0;
    while (seconds < first_frames_seconds) {
        if (!decoder_->decode(first)) {
            // A reconnect this early may already bring another format.
            if (!next_format_.format)
                break;
            if ((error = switch_decoder()) != BASS_OK)
                return first_data_timed_out_ ? BASS_ERROR_TIMEOUT : error;
            continue;
        }
        publish_decoded_tags(first, false); // no sync can be set yet
        first_samples_.insert(first_samples_.end(), first.samples.begin(), first.samples.end());
        seconds = static_cast<double>(first_samples_.size()) / 2 / output_rate_;
    }
    // A decoder that saw its source give up cannot go on reading: the stall is the answer.
    if (first_data_timed_out_)
        return BASS_ERROR_TIMEOUT;
    first_data_deadline_.reset();
    if (decoder_->sample_rate() == 0)
        return BASS_ERROR_FILEFORM; // not one frame decoded
    held_bytes_ = decoder_->held_bytes();
    describe_format(false);

    *kbps = input_kbps ? input_kbps : decoder_->bitrate_kbps();
    if (!*kbps)
        *kbps = fallback_kbps;
    return BASS_OK;
}

// The format of the part at the buffer's read position, from as many of its first bytes as
// the probe needs. `*stalled`: `until` passed before the probe could tell. `*cut_short`
// (if given): the part ended before the probe could tell.
probe_result stream_decoding::probe_part(const std::string &content_type,
                                         byte_buffer::deadline until, bool *stalled,
                                         bool *cut_short) {
    std::vector<uint8_t> head;
    probe_result probe;
    *stalled = false;
    if (cut_short)
        *cut_short = false;
    for (size_t want = 4096;; want *= 2) {
        head.resize(std::min(want, probe_window));
        bool part_ended = false;
        size_t got = buffer_.peek(head.data(), head.size(), until, &part_ended);
        if (cancelled_)
            return {};
        bool at_end = got < head.size() && part_ended;
        probe = identify_format(head.data(), got, content_type, at_end);
        if (cut_short)
            *cut_short = at_end && !probe.format;
        if (!probe.format && probe.need_more && got < head.size() && !at_end) {
            *stalled = true;
            return probe;
        }
        if (probe.format || !probe.need_more || head.size() == probe_window)
            return probe;
    }
}

// Drops the rest of the part at the read position. True, with the next part's label, when a
// new connection has begun one before the first data's time-out; `*stalled` when it passed.
bool stream_decoding::skip_to_next_part(std::string *content_type, bool *stalled) {
    uint8_t rest[4096];
    for (;;) {
        if (std::chrono::steady_clock::now() >= *first_data_deadline_) {
            *stalled = true;
            return false;
        }
        long count = buffer_.read(rest, sizeof rest, first_data_deadline_);
        if (count == byte_buffer::at_part_start) {
            *content_type = buffer_.take_part_start();
            return true;
        }
        if (count == byte_buffer::read_timed_out)
            *stalled = true;
        if (count <= 0)
            return false;
    }
}

// Skips what comes before the first frame and opens the probed format's decoder.
int stream_decoding::open_decoder(const probe_result &probe) {
    std::vector<uint8_t> skipped(std::min<size_t>(probe.offset, skip_block));
    for (size_t done = 0; done < probe.offset;) {
        long count =
            read_for_decoder(skipped.data(), std::min(skipped.size(), probe.offset - done));
        if (count <= 0)
            return first_data_timed_out_ ? BASS_ERROR_TIMEOUT : BASS_ERROR_FILEFORM;
        done += static_cast<size_t>(count);
    }
    int error = BASS_OK;
    decoder_ = decoder::open(
        *probe.format, [this](uint8_t *data, size_t size) { return read_for_decoder(data, size); },
        output_rate_, &error);
    if (!decoder_)
        return first_data_timed_out_ ? BASS_ERROR_TIMEOUT : error;
    decoder_->set_error_time_out(std::chrono::milliseconds(timeout_ms_));
    format_ = probe.format;
    describe_next_frame_ = true;
    return BASS_OK;
}

long stream_decoding::read_for_decoder(uint8_t *data, size_t size) {
    // A demuxer may read again after the end: the new format's bytes are not for it.
    if (next_format_.format)
        return 0;
    for (;;) {
        long count = buffer_.read(data, size, first_data_deadline_);
        if (count == byte_buffer::read_timed_out) {
            first_data_timed_out_ = true;
            return -1;
        }
        if (count != byte_buffer::at_part_start)
            return count;
        // A reconnect: its answer may be another format (the station changed its encoder).
        std::string content_type = buffer_.take_part_start();
        auto until = first_data_deadline_.value_or(std::chrono::steady_clock::now() +
                                                   std::chrono::milliseconds(timeout_ms_));
        bool stalled = false;
        probe_result probe = probe_part(content_type, until, &stalled);
        if (probe.format && probe.format != format_.load()) {
            next_format_ = probe;
            return 0; // the current decoder ends here
        }
        // The same format, or none the probe can tell: the current decoder reads on.
    }
}

// Replaces the decoder that ended at a reconnect with one for the format found there.
int stream_decoding::switch_decoder() {
    held_bytes_ = 0;
    probe_result next = next_format_;
    next_format_ = {};
    decoder_.reset();
    return open_decoder(next);
}

// Once a decoder has decoded its first frame, the API reports its rate, channels and the
// comments or header tags of its format.
void stream_decoding::describe_format(bool with_syncs) {
    if (!describe_next_frame_ || decoder_->sample_rate() == 0)
        return;
    describe_next_frame_ = false;
    freq_ = static_cast<DWORD>(decoder_->sample_rate());
    chans_ = static_cast<DWORD>(decoder_->channels());
    tag_source tags = format_.load()->tags;
    if (tags == tag_source::ogg_comments)
        tags_.replace(tag_type::ogg, line_block(nullptr, decoder_->comments()));
    if (tags == tag_source::asf_header)
        tags_.replace(tag_type::wma, line_block(nullptr, decoder_->comments()));
    if (with_syncs && tags != tag_source::none)
        syncs_.post(tags == tag_source::ogg_comments ? sync_type::ogg_change
                                                     : sync_type::wma_change);
}

std::vector<float> stream_decoding::take_first_samples() {
    return std::move(first_samples_);
}

bool stream_decoding::next(decoder::chunk &out) {
    for (;;) {
        if (!cancelled_ && decoder_->decode(out)) {
            held_bytes_ = decoder_->held_bytes();
            describe_format(true);
            if (out.new_bitstream) {
                tags_.replace(tag_type::ogg, line_block(nullptr, decoder_->comments()));
                syncs_.post(sync_type::ogg_change);
            }
            publish_decoded_tags(out, true);
            return true;
        }
        // A decoder that cannot be opened on the new format ends the stream.
        if (cancelled_ || !next_format_.format || switch_decoder() != BASS_OK)
            return false;
    }
}

// An ASF header change that came with a decoded chunk, and before playback its script
// commands; once playing, the stream publishes those when the chunk plays.
void stream_decoding::publish_decoded_tags(const decoder::chunk &decoded, bool playing) {
    if (decoded.new_header) {
        tags_.replace(tag_type::wma, line_block(nullptr, decoder_->comments()));
        if (playing)
            syncs_.post(sync_type::wma_change);
    }
    if (playing)
        return;
    for (const std::string &command : decoded.script_commands)
        tags_.replace(tag_type::wma_meta, command);
}

} // namespace audio
