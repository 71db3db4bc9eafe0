// One recording of a channel: the encoder program, and a writer thread that hands it a WAV
// header and then the channel's samples as 16-bit PCM. A recording may begin with the
// current song's history (decoded by its producer on the writer thread, faster than real
// time, while what plays meanwhile waits in the queue), and may make one file per song: at
// each song start fed in, the writer lets the program finish its file, tells the owner,
// and starts the program again for the next song, so that one program runs at a time and
// no sample is lost or written twice between two files.
//
// Threads: feed() runs on the output thread and never waits: it only copies into a bounded
// queue that the writer thread (owned here) empties into the program's pipe. is_active(),
// stop() and dropped_frames() may be called from any thread.
//
// When the program reads more slowly than the channel plays (a stalled disk, a loaded
// machine), the queue takes up the slack for several seconds. Only once it is full are new
// blocks dropped, whole, and counted: the recording then has a gap, but the output is never
// held up by the encoder.
#pragma once

#include "encoder_process.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio {

struct encoder_limits {
    std::chrono::milliseconds queue_length = std::chrono::seconds(10);
    // How long stop() lets the program take nothing, or finish its file, before it is ended.
    std::chrono::milliseconds exit_wait = std::chrono::seconds(10);
};

// The song a file holds: the tag the stream described it with when it began.
struct song_tags {
    uint32_t tag_kind = 0; // the stream's own kind of tag; text empty while none was told
    std::string text;      // that tag's text
};

// A song's file the program has finished, in split mode.
struct finished_song {
    song_tags song;
    bool from_start = false; // the file holds the song from its first sample
    bool to_end = false;     // and to its last (a new song followed)
};

// Where a recording begins, given by the stream as it adds the encoder.
struct song_start {
    // Fills `out` with the next history samples (interleaved stereo): false after the last.
    // Null: no history. Runs on the writer thread.
    std::function<bool(std::vector<float> &out)> history;
    song_tags song;          // the song playing
    bool from_start = false; // the history (or the recording) begins at its first sample
};

// Split mode: called on the writer thread after the program has exited, for every file (the
// last one at stop), before the program starts on the next.
using file_finished_hook = std::function<void(const finished_song &)>;

class encoder {
  public:
    // The samples fed are interleaved stereo, as the mixer plays them.
    static constexpr int channels = 2;

    // Starts `command_line` for `channel`, whose samples are stereo at `rate`. Null with
    // *error set (a BASS_ERROR_*) when the program cannot be started.
    static std::shared_ptr<encoder> start(const std::string &command_line, uint32_t channel,
                                          int rate, int *error, const encoder_limits &limits = {},
                                          file_finished_hook on_file_finished = {});
    ~encoder(); // stops

    encoder(const encoder &) = delete;
    encoder &operator=(const encoder &) = delete;

    uint32_t channel() const { return channel_; }

    // Output thread: interleaved stereo floats, before any volume is applied.
    void feed(const float *samples, size_t count);
    // The stream, once, as it adds the encoder (before feeding it): the writer waits for
    // this before it writes any audio.
    void begin(song_start start);
    // Output thread: a new song begins with the next sample fed.
    void begin_song(song_tags next);

    // False once stopped, or when the program has ended or stopped reading by itself.
    bool is_active();

    // Ends the program's input and waits until it has exited, so its output file is complete:
    // as long as the program takes what is left to write, then at most the limit's exit_wait
    // (a program that takes nothing for that long is ended). Any number of times from any
    // thread; a second caller returns when the first has finished.
    void stop();

    uint64_t dropped_frames() const { return dropped_frames_; }

  private:
    encoder(std::unique_ptr<encoder_process> process, std::string command_line, uint32_t channel,
            int rate, const encoder_limits &limits, file_finished_hook on_file_finished);
    // Writer thread.
    void write_to_program();
    std::optional<song_start> wait_for_begin();
    bool write_history(song_start &start);
    bool write_queued_audio();
    bool write_pcm(const float *samples, size_t count);
    bool send_to_program(const uint8_t *bytes, size_t size);
    bool wait_for_writer();
    bool next_song_file(const song_tags &next);
    void finish_file(bool to_end);

    struct song_mark {
        uint64_t at; // queue bytes written before the song's first sample
        song_tags song;
    };

    const std::string command_line_;
    const uint32_t channel_;
    const int rate_;
    const encoder_limits limits_;
    const file_finished_hook on_file_finished_; // set: one file per song
    // Writer thread, once begun: the song of the file being written, and whether it is open.
    song_tags file_song_;
    bool file_from_start_ = false;
    bool file_open_ = true;

    std::mutex process_lock_; // guards process_: the writer replaces it between songs
    std::unique_ptr<encoder_process> process_;

    std::mutex
        queue_lock_; // guards the queue, the marks, start_, begun_, closing_, writer_finished_
    std::condition_variable queue_changed_;
    std::vector<uint8_t> queue_; // ring of PCM bytes
    size_t queue_start_ = 0;
    size_t queue_size_ = 0;
    uint64_t queued_total_ = 0;       // bytes ever queued
    uint64_t taken_total_ = 0;        // bytes ever taken by the writer
    std::vector<song_mark> marks_;    // song starts not yet reached by the writer, in order
    std::optional<song_start> start_; // set by begin()
    bool begun_ = false;
    bool closing_ = false;         // set by stop(): the writer drains the queue and ends
    bool writer_finished_ = false; // the writer has closed the program's input

    std::atomic<bool> input_broken_{false}; // the program stopped reading
    std::atomic<bool> stopping_{false};
    std::atomic<bool> between_files_{false}; // the writer is restarting the program
    std::atomic<bool> abandoned_{false};     // stop() ran out of time: start no new program
    std::atomic<uint64_t> dropped_frames_{0};
    std::atomic<uint64_t> bytes_written_{0}; // reached the program: stop() sees progress

    std::mutex stop_lock_; // held for a whole stop(); guards stopped_
    bool stopped_ = false;
    std::thread writer_;
};

} // namespace audio
