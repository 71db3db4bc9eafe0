// One recording of a channel: the encoder program, and a writer thread that hands it a WAV
// header and then the channel's samples as 16-bit PCM.
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
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace audio {

struct encoder_limits {
    std::chrono::milliseconds queue_length = std::chrono::seconds(10);
    // How long stop() lets the program finish its file before it is ended.
    std::chrono::milliseconds exit_wait = std::chrono::seconds(10);
};

class encoder {
  public:
    // The samples fed are interleaved stereo, as the mixer plays them.
    static constexpr int channels = 2;

    // Starts `command_line` for `channel`, whose samples are stereo at `rate`. Null with
    // *error set (a BASS_ERROR_*) when the program cannot be started.
    static std::shared_ptr<encoder> start(const std::string &command_line, uint32_t channel,
                                          int rate, int *error, const encoder_limits &limits = {});
    ~encoder(); // stops

    encoder(const encoder &) = delete;
    encoder &operator=(const encoder &) = delete;

    uint32_t channel() const { return channel_; }

    // Output thread: interleaved stereo floats, before any volume is applied.
    void feed(const float *samples, size_t count);

    // False once stopped, or when the program has ended or stopped reading by itself.
    bool is_active();

    // Ends the program's input and waits (at most the limit's exit_wait, then ends the
    // program) until it has exited, so its output file is complete. Any number of times from
    // any thread; a second caller returns when the first has finished.
    void stop();

    uint64_t dropped_frames() const { return dropped_frames_; }

  private:
    encoder(std::unique_ptr<encoder_process> process, uint32_t channel, int rate,
            const encoder_limits &limits);
    void write_to_program();
    bool write_queued_audio(); // writer thread

    const uint32_t channel_;
    const int rate_;
    const encoder_limits limits_;
    const std::unique_ptr<encoder_process> process_;

    std::mutex queue_lock_; // guards the queue, closing_ and writer_finished_
    std::condition_variable queue_changed_;
    std::vector<uint8_t> queue_; // ring of PCM bytes
    size_t queue_start_ = 0;
    size_t queue_size_ = 0;
    bool closing_ = false;         // set by stop(): the writer drains the queue and ends
    bool writer_finished_ = false; // the writer has closed the program's input

    std::atomic<bool> input_broken_{false}; // the program stopped reading
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> dropped_frames_{0};

    std::mutex stop_lock_; // held for a whole stop(); guards stopped_
    bool stopped_ = false;
    std::thread writer_;
};

} // namespace audio
