// The decoding of one stream: the probe of each connection's first bytes, the decoder for
// them, the first frames decoded at connect time, and the switch to a new decoder where a
// reconnect brings another format. It publishes the tags its format carries (Ogg comments,
// ASF header; script commands only before playback) and posts their syncs.
//
// Threads: open and take_first_samples on the creating thread, then next on the decode
// thread only (one thread at a time drives the decoder); format, rate and channels from
// any thread.
#pragma once

#include "decode/decoder.h"
#include "byte_buffer.h"
#include "sync_dispatcher.h"
#include "tag_store.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace audio {

class stream_decoding {
  public:
    // What the decoding reads from and publishes to; each outlives it.
    struct context {
        byte_buffer &buffer;
        tag_store &tags;
        sync_dispatcher &syncs;
        const std::atomic<bool> &cancelled; // the stream is shutting down
        int output_rate;
        uint32_t timeout_ms; // the first audio, a stall, a run of damaged data
    };
    explicit stream_decoding(context with);
    ~stream_decoding();

    // Identifies the format, opens its decoder and decodes the first frames. BASS_OK with
    // *kbps (the server's `input_kbps`, else the one the frames tell, else a fallback),
    // or the error code for the caller.
    int open(const std::string &content_type, uint32_t input_kbps, uint32_t *kbps);
    std::vector<float> take_first_samples(); // what open decoded; once

    // The next decoded chunk; false at the end of the stream or once cancelled. Its script
    // commands are left in `out` for the caller to publish when the chunk plays.
    bool next(decoder::chunk &out);

    // What the stream plays: the format once its decoder opens, the rate and channels once
    // that decoder has decoded its first frame.
    const stream_format *format() const { return format_.load(); }
    DWORD rate() const { return freq_.load(); }
    DWORD channels() const { return chans_.load(); }
    // Bytes the decoder has taken but not decoded yet (see decoder::held_bytes).
    uint64_t held_bytes() const { return held_bytes_.load(); }

  private:
    probe_result probe_part(const std::string &content_type, byte_buffer::deadline until,
                            bool *stalled, bool *cut_short = nullptr);
    bool skip_to_next_part(std::string *content_type, bool *stalled);
    int open_decoder(const probe_result &probe);
    // The decoder's bytes: -1 once first_data_deadline_ has passed. Ends the decoder's input
    // (0) where a new connection brings another format, which next_format_ then holds.
    long read_for_decoder(uint8_t *data, size_t size);
    int switch_decoder();
    void describe_format(bool with_syncs);
    void publish_decoded_tags(const decoder::chunk &decoded, bool playing);

    byte_buffer &buffer_;
    tag_store &tags_;
    sync_dispatcher &syncs_;
    const std::atomic<bool> &cancelled_;
    const int output_rate_;
    const uint32_t timeout_ms_;

    // The driving thread's own.
    std::unique_ptr<decoder> decoder_;
    std::vector<float> first_samples_;
    byte_buffer::deadline first_data_deadline_; // while connecting; then none
    bool first_data_timed_out_ = false;
    probe_result next_format_;         // another format met at a reconnect, not yet opened
    bool describe_next_frame_ = false; // a new decoder has not decoded its first frame yet
    std::atomic<const stream_format *> format_{nullptr};
    std::atomic<DWORD> freq_{0};
    std::atomic<DWORD> chans_{0};
    std::atomic<uint64_t> held_bytes_{0};
};

} // namespace audio
