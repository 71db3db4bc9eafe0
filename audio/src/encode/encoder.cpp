#include "encoder.h"

#include "core/debug_log.h"
#include "wav_format.h"

#include <algorithm>

namespace audio {

namespace {

constexpr size_t frame_bytes = encoder::channels * pcm16_sample_bytes;
// The most the writer takes from the queue for one write.
constexpr size_t write_piece = 65536;

} // namespace

std::shared_ptr<encoder> encoder::start(const std::string &command_line, uint32_t channel, int rate,
                                        int *error, const encoder_limits &limits) {
    std::unique_ptr<encoder_process> process = encoder_process::start(command_line, error);
    if (!process)
        return nullptr;
    std::shared_ptr<encoder> started(new encoder(std::move(process), channel, rate, limits));
    started->writer_ = std::thread([raw = started.get()] { raw->write_to_program(); });
    return started;
}

encoder::encoder(std::unique_ptr<encoder_process> process, uint32_t channel, int rate,
                 const encoder_limits &limits)
    : channel_(channel), rate_(rate), limits_(limits), process_(std::move(process)),
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
    }
    queue_changed_.notify_all();
}

bool encoder::is_active() {
    return !stopping_ && !input_broken_ && process_->running();
}

void encoder::stop() {
    std::lock_guard<std::mutex> stop_guard(stop_lock_);
    if (stopped_)
        return;
    stopped_ = true;
    stopping_ = true;
    const auto deadline = std::chrono::steady_clock::now() + limits_.exit_wait;
    if (writer_.joinable()) {
        bool drained;
        {
            std::unique_lock<std::mutex> guard(queue_lock_);
            closing_ = true;
            queue_changed_.notify_all();
            drained = queue_changed_.wait_until(guard, deadline, [&] { return writer_finished_; });
        }
        // A program that stopped reading keeps the writer in a write until it is ended.
        if (!drained)
            process_->terminate();
        writer_.join();
    } else {
        process_->close_input();
    }
    if (!process_->wait_for_exit(deadline)) {
        process_->terminate();
        process_->wait_for_exit(std::chrono::steady_clock::time_point::max());
    }
}

void encoder::write_to_program() {
    bool reading = false;
    try {
        reading = write_queued_audio();
    } catch (const std::exception &failure) {
        // The recording ends as one whose program stopped reading; the process goes on.
        log_thread_failure("encoder writer", failure.what());
    }
    input_broken_ = !reading;
    process_->close_input();
    std::lock_guard<std::mutex> guard(queue_lock_);
    writer_finished_ = true;
    queue_changed_.notify_all();
}

// Writer thread: the WAV header, then the queue until closing. False once the program has
// stopped reading.
bool encoder::write_queued_audio() {
    const auto header =
        streaming_wav_header(static_cast<uint32_t>(rate_), static_cast<uint16_t>(channels));
    bool reading = process_->write(header.data(), header.size());
    std::vector<uint8_t> piece(write_piece);
    while (reading) {
        size_t taken;
        {
            std::unique_lock<std::mutex> guard(queue_lock_);
            queue_changed_.wait(guard, [&] { return queue_size_ > 0 || closing_; });
            if (queue_size_ == 0)
                break; // closing, and everything queued has been written
            taken = std::min({queue_size_, piece.size(), queue_.size() - queue_start_});
            std::copy_n(&queue_[queue_start_], taken, piece.data());
            queue_start_ = (queue_start_ + taken) % queue_.size();
            queue_size_ -= taken;
        }
        reading = process_->write(piece.data(), taken);
    }
    return reading;
}

} // namespace audio
