// One internet stream: a download thread fills the byte buffer from the network input, a
// decode thread turns the buffer into samples once playback starts, the mixer takes the
// samples, and a sync thread calls the user's sync procedures. Encoders attached to the
// stream receive what it plays, before the stream volume is applied. A station that comes
// back from a reconnect in another format plays on: the decoder is replaced where the new
// connection's bytes begin. A title the input reports, or a script command the decoder
// finds, changes its tag when the mixer takes its first sample (title_timeline), not when
// the download or the decoder meets it. The decoding is stream_decoding's, the syncs
// sync_dispatcher's, the tags tag_store's; this class owns the threads, the buffers and the
// play state.
//
// Lifetime: shared. The owner's handle table, the mixer and each of the stream's threads
// hold a reference; freeing only drops the table's and the mixer's and tells the threads to
// stop (shut_down never waits for them), so the last one to finish destroys the stream. The
// stream never frees itself: when it ends with AUTOFREE set it calls the hook its owner
// installed.
#pragma once

#include "brevora_audio.h"
#include "core/config.h"
#include "decode/decoder.h"
#include "input/network_input.h"
#include "output/mixer.h"
#include "byte_buffer.h"
#include "pcm_queue.h"
#include "song_history.h"
#include "stream_decoding.h"
#include "sync_dispatcher.h"
#include "tag_store.h"
#include "title_timeline.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio {

class encoder;

class stream final : public mix_source,
                     public input_listener,
                     public std::enable_shared_from_this<stream> {
  public:
    struct request {
        std::string url;
        DWORD flags = 0;
        DOWNLOADPROC *download_proc = nullptr;
        void *user = nullptr;
        network_settings settings;
        int output_rate = 44100;
    };

    // `output`: the mixer the stream plays into once played; it outlives the stream's use.
    stream(request what, mixer &output);
    ~stream() override;

    // The owner's hook, set before connect: called on the sync thread, after the END syncs,
    // when the stream has ended with AUTOFREE set. It may shut the stream down.
    void set_free_after_end(std::function<void(uint32_t handle)> hook) {
        free_after_end_ = std::move(hook);
    }

    // Creating thread: connects, identifies the format and decodes the first frames.
    // Returns BASS_OK or the error code for the caller. `handle` is what syncs report.
    int connect(uint32_t handle);

    // Any thread, any number of times. Never waits for the stream's threads; it does wait
    // (bounded, see encoder::stop) for the stream's encoder programs to finish their files.
    void shut_down();

    // API queries, from any thread.
    struct file_positions {
        uint64_t read = 0;       // bytes the decoder has taken
        uint64_t downloaded = 0; // bytes the download has written
        uint64_t capacity = 0;   // the buffer's size
        uint64_t buffered = 0;   // downloaded, not yet taken
        bool connected = false;  // the download is still connected
        bool asf = false;        // the stream is Windows Media
    };
    file_positions positions() const;
    const char *tags(tag_type type) const; // null while the tag has no text
    void info(BASS_CHANNELINFO *info) const;
    DWORD change_flags(DWORD flags, DWORD mask);
    void add_sync(HSYNC sync, sync_type type, SYNCPROC *proc, void *user);
    void play();
    int decoded_rate() const { return request_.output_rate; }
    size_t tag_bytes() const; // the tag texts kept, for the memory test

    // Recording, from any thread. The stream feeds each encoder what it plays, and stops
    // it when the stream is shut down; adding fails once that has begun. From the song's
    // start: the encoder first gets the current song's history (as much as is kept), up to
    // the sample before the first one fed.
    bool add_encoder(std::shared_ptr<encoder> added, bool from_song_start = false);
    size_t history_bytes() const { return history_.kept_bytes(); } // for the benchmark
    void remove_encoder(const encoder *removed);

    // Output thread.
    void mix_into(float *mix, size_t frames, float gain) override;

    // Download thread (network input callbacks).
    void on_response(const std::string &status_line,
                     const std::vector<std::string> &header_lines) override;
    // The first title is current at once (it names the song playing when the stream was
    // tuned in); each later one when its song is heard (title_timeline).
    void on_metadata(const std::string &metadata, uint64_t audio_position = 0) override;
    void on_reconnect(const std::string &content_type) override;

  private:
    enum class connection { connecting, connected, failed };

    void download(); // download thread
    void read_into_buffer(network_input &input);
    void forget_input();
    int open_decoding();                                   // creating thread
    void decode();                                         // decode thread
    bool hand_on_decoded(const decoder::chunk &decoded);   // decode thread
    void mix_block(float *mix, size_t frames, float gain); // output thread
    // Output thread: the titles whose song starts in the block just taken (`taken` samples
    // of the `wanted`; all that wait once the stream has played out), now current.
    std::vector<title_timeline::change> take_title_changes(size_t taken, size_t wanted);
    void feed_encoders(size_t from, size_t to);
    void begin_song(title_timeline::change &change, uint64_t at);
    void dispatch_syncs(); // sync thread
    // Runs one of the stream's thread bodies: an exception there ends the stream as failed
    // (a waiting connect fails, a playing stream gets its END sync), never the process.
    void run_guarded(const char *thread, void (stream::*body)()) noexcept;
    void end_as_failed(const char *thread, const char *what, int error) noexcept;
    void finish_encoders();

    const request request_;
    mixer &mixer_;
    std::function<void(uint32_t)> free_after_end_; // set before connect, then read-only
    uint32_t handle_ = 0; // set by connect before any thread that reads it starts
    std::atomic<DWORD> flags_;
    std::atomic<bool> shut_down_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> playing_{false};
    std::atomic<bool> decode_finished_{false};
    std::atomic<bool> end_posted_{false};

    byte_buffer buffer_;
    pcm_queue samples_;
    title_timeline titles_;
    uint64_t samples_handed_on_ = 0; // decode thread: pushed into samples_
    uint64_t samples_taken_ = 0;     // output thread: taken from samples_

    mutable std::mutex state_lock_; // guards connection_, open_error_, input_, the fields below
    std::condition_variable state_changed_;
    connection connection_ = connection::connecting;
    int open_error_ = BASS_OK;
    network_input *input_ = nullptr; // owned by the download thread while it runs
    std::string content_type_;
    uint32_t input_kbps_ = 0;

    // A returned tag pointer stays valid until its tag is replaced twice (see tag_store).
    tag_store tags_;

    song_history history_;
    std::atomic<uint32_t> bytes_per_second_{0}; // the stream's, once its decoding is open

    std::mutex encoders_lock_; // guards encoders_ and the two counts below
    std::vector<std::shared_ptr<encoder>> encoders_;
    uint64_t played_samples_ = 0;       // taken by the mixer, interleaved
    uint64_t song_start_sample_ = 0;    // where the current song began in them
    std::vector<float> unscaled_block_; // output thread: one block for the encoders

    sync_dispatcher syncs_;
    // Last: it refers to the buffer, the tags and the syncs above.
    stream_decoding decoding_;
};

} // namespace audio
