#include "encoder.h"

#include "core/debug_log.h"
#include "wav_format.h"

#include <algorithm>
#include <optional>
#include <string>

namespace audio {

namespace {

constexpr size_t frame_bytes = encoder::channels * pcm16_sample_bytes;
// The most the writer takes from the queue for one write.
constexpr size_t write_piece = 65536;

} // namespace

std::shared_ptr<encoder> encoder::start(const std::string &command_line, uint32_t channel, int rate,
                                        int *error, const encoder_limits &limits,
                                        file_finished_hook on_file_finished) {
    std::unique_ptr<encoder_process> process = encoder_process::start(command_line, error);
    if (!process)
        return nullptr;
    std::shared_ptr<encoder> started(new encoder(std::move(process), command_line, channel, rate,
                                                 limits, std::move(on_file_finished)));
    started->writer_ = std::thread([raw = started.get()] { raw->write_to_program(); });
    return started;
}

encoder::encoder(std::unique_ptr<encoder_process> process, std::string command_line,
                 uint32_t channel, int rate, const encoder_limits &limits,
                 file_finished_hook on_file_finished)
    : command_line_(std::move(command_line)), channel_(channel), rate_(rate), limits_(limits),
      on_file_finished_(std::move(on_file_finished)), process_(std::move(process)),
      queue_(frame_bytes *
             std::max<size_t>(1, static_cast<size_t>(rate) *
                                     static_cast<size_t>(limits.queue_length.count()) / 1000)) {}

encoder::~encoder() {
    stop();
}

void encoder::feed(const float *samples, size_t count) {
    if (stopping_ || input_broken_)
        return;
    const size_t bytes = count * pcm16_sample_bytes;
    {
        std::lock_guard<std::mutex> guard(queue_lock_);
        if (queue_.size() - queue_size_ < bytes) {
            dropped_frames_ += count / channels;
            return;
        }
        // In at most two runs: up to the end of the ring, then from its start.
        size_t end = (queue_start_ + queue_size_) % queue_.size();
        size_t first_run = std::min(count, (queue_.size() - end) / pcm16_sample_bytes);
        to_pcm16(samples, first_run, &queue_[end]);
        to_pcm16(samples + first_run, count - first_run, &queue_[0]);
        queue_size_ += bytes;
        queued_total_ += bytes;
    }
    queue_changed_.notify_all();
}

void encoder::begin(song_start start) {
    {
        std::lock_guard<std::mutex> guard(queue_lock_);
        start_ = std::move(start);
        begun_ = true;
    }
    queue_changed_.notify_all();
}

void encoder::begin_song(song_tags next) {
    if (!on_file_finished_ || stopping_ || input_broken_)
        return;
    {
        std::lock_guard<std::mutex> guard(queue_lock_);
        marks_.push_back({queued_total_, std::move(next)});
    }
    queue_changed_.notify_all();
}

bool encoder::is_active() {
    if (stopping_ || input_broken_)
        return false;
    if (between_files_)
        return true;
    std::lock_guard<std::mutex> guard(process_lock_);
    return process_->running();
}

void encoder::stop() {
    std::lock_guard<std::mutex> stop_guard(stop_lock_);
    if (stopped_)
        return;
    stopped_ = true;
    stopping_ = true;
    if (writer_.joinable()) {
        // A program that stopped reading keeps the writer in a write until it is ended.
        if (!wait_for_writer()) {
            abandoned_ = true;
            std::lock_guard<std::mutex> guard(process_lock_);
            process_->terminate();
        }
        writer_.join();
    } else {
        process_->close_input();
    }
    if (!process_->wait_for_exit(std::chrono::steady_clock::now() + limits_.exit_wait)) {
        process_->terminate();
        process_->wait_for_exit(std::chrono::steady_clock::time_point::max());
    }
}

// stop()'s thread: a program still taking audio (a long history on a slow machine, which
// takes longer than any fixed limit) is waited for to the end of what it is given; one that
// took nothing for exit_wait has stopped reading. False for that one.
bool encoder::wait_for_writer() {
    std::unique_lock<std::mutex> guard(queue_lock_);
    closing_ = true;
    queue_changed_.notify_all();
    for (uint64_t written = bytes_written_;; written = bytes_written_) {
        if (queue_changed_.wait_for(guard, limits_.exit_wait, [&] { return writer_finished_; }))
            return true;
        if (bytes_written_ == written)
            return false;
    }
}

void encoder::write_to_program() {
    bool reading = false;
    try {
        const auto header =
            streaming_wav_header(static_cast<uint32_t>(rate_), static_cast<uint16_t>(channels));
        const bool header_written = send_to_program(header.data(), header.size());
        // Waited for also when the program has gone at once: its file is told only once the
        // stream has added the encoder, and with it the handle the owner knows it by.
        std::optional<song_start> start = wait_for_begin();
        reading = header_written && start && write_history(*start) && write_queued_audio();
    } catch (const std::exception &failure) {
        // The recording ends as one whose program stopped reading; the process goes on.
        log_thread_failure("encoder writer", failure.what());
    }
    input_broken_ = !reading;
    process_->close_input();
    if (on_file_finished_ && file_open_) {
        // The last file is named once complete: the program must have exited.
        if (!process_->wait_for_exit(std::chrono::steady_clock::now() + limits_.exit_wait))
            process_->terminate();
        process_->wait_for_exit(std::chrono::steady_clock::time_point::max());
        finish_file(false);
    }
    std::lock_guard<std::mutex> guard(queue_lock_);
    writer_finished_ = true;
    queue_changed_.notify_all();
}

// Writer thread: waits until the stream has said where the recording begins; nothing when
// stopped first.
std::optional<song_start> encoder::wait_for_begin() {
    std::optional<song_start> start;
    {
        std::unique_lock<std::mutex> guard(queue_lock_);
        queue_changed_.wait(guard, [&] { return begun_ || closing_; });
        if (!begun_)
            return start;
        start.swap(start_);
    }
    file_song_ = start->song;
    file_from_start_ = start->from_start;
    return start;
}

// Writer thread: the history before what was fed. A stop meanwhile still gets it all (and
// what played until then) within its wait: the file keeps the song up to the stop. True when
// the whole history reached the program, false when it stopped reading.
bool encoder::write_history(song_start &start) {
    if (!start.history)
        return true;
    std::vector<float> chunk;
    for (bool more = true; more;) {
        chunk.clear();
        more = start.history(chunk); // the last chunk comes with false, and is written too
        if (!write_pcm(chunk.data(), chunk.size()))
            return false;
    }
    return true;
}

bool encoder::write_pcm(const float *samples, size_t count) {
    std::vector<uint8_t> bytes(count * pcm16_sample_bytes);
    to_pcm16(samples, count, bytes.data());
    return bytes.empty() || send_to_program(bytes.data(), bytes.size());
}

// Writer thread: the queue until closing, with a new file at each song start. False once
// the program has stopped reading (or could not start again).
bool encoder::write_queued_audio() {
    std::vector<uint8_t> piece(write_piece);
    bool reading = true;
    while (reading) {
        size_t taken = 0;
        std::optional<song_tags> next_song;
        {
            std::unique_lock<std::mutex> guard(queue_lock_);
            auto song_due = [&] { return !marks_.empty() && marks_.front().at == taken_total_; };
            // A song start is acted on once its first sample is there: a stop right at the
            // change leaves no empty file behind.
            queue_changed_.wait(guard, [&] { return queue_size_ > 0 || closing_; });
            if (queue_size_ == 0)
                break; // closing, and everything queued has been written
            if (song_due()) {
                next_song = std::move(marks_.front().song);
                marks_.erase(marks_.begin());
            } else {
                taken = std::min({queue_size_, piece.size(), queue_.size() - queue_start_});
                if (!marks_.empty())
                    taken = std::min<size_t>(taken, marks_.front().at - taken_total_);
                std::copy_n(&queue_[queue_start_], taken, piece.data());
                queue_start_ = (queue_start_ + taken) % queue_.size();
                queue_size_ -= taken;
                taken_total_ += taken;
            }
        }
        reading = next_song ? next_song_file(*next_song) : send_to_program(piece.data(), taken);
    }
    return reading;
}

// Writer thread: lets the program finish the current song's file, tells the owner, and
// starts it again for the next song.
bool encoder::next_song_file(const song_tags &next) {
    between_files_ = true;
    process_->close_input();
    if (!process_->wait_for_exit(std::chrono::steady_clock::now() + limits_.exit_wait))
        process_->terminate();
    process_->wait_for_exit(std::chrono::steady_clock::time_point::max());
    finish_file(true);
    file_song_ = next;
    file_from_start_ = true;
    int error = 0;
    std::unique_ptr<encoder_process> started =
        abandoned_ ? nullptr : encoder_process::start(command_line_, &error);
    if (!started) {
        between_files_ = false;
        if (!abandoned_ && debug_log_enabled())
            debug_log_line("encoder: the program did not start again (error " +
                           std::to_string(error) + "); the recording ends");
        return false;
    }
    file_open_ = true;
    {
        std::lock_guard<std::mutex> guard(process_lock_);
        process_.swap(started);
    }
    // Only now: until the swap, is_active() would ask the program that has just exited.
    between_files_ = false;
    const auto header =
        streaming_wav_header(static_cast<uint32_t>(rate_), static_cast<uint16_t>(channels));
    return send_to_program(header.data(), header.size());
}

bool encoder::send_to_program(const uint8_t *bytes, size_t size) {
    if (!process_->write(bytes, size)) {
        if (!stopping_ && debug_log_enabled())
            debug_log_line("encoder: the program took no more audio after " +
                           std::to_string(bytes_written_) + " bytes; the recording ends");
        return false;
    }
    bytes_written_ += size;
    return true;
}

void encoder::finish_file(bool to_end) {
    file_open_ = false;
    try {
        on_file_finished_({file_song_, file_from_start_, to_end});
    } catch (const std::exception &failure) {
        // The owner's file is its own affair; the recording goes on with the next song.
        log_thread_failure("encoder song procedure", failure.what());
    }
}

} // namespace audio
