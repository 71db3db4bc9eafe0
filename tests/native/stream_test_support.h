// Shared by the stream tests: a stand-in network input that serves a file's bytes, sound
// files made with the ffmpeg program at test time, a capture of what the output plays,
// and a tone measurement.
#pragma once

#include "brevora_audio.h"
#include "input/network_input.h"
#include "output/mixer.h"
#include "stream/input_opener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace stream_test {

// What the stand-in input does.
struct script {
    std::string status_line = "HTTP/1.0 200 OK";
    std::vector<std::string> headers = {"Content-Type: audio/mpeg", "icy-name: Test Radio"};
    std::string content_type = "audio/mpeg";
    uint32_t kbps = 0;
    std::vector<uint8_t> bytes;
    // Metadata strings reported once the byte count reaches each offset.
    std::vector<std::pair<size_t, std::string>> metadata;
    double bytes_per_second = 0; // 0: as fast as the reader takes them
    bool stay_open = false;      // after the bytes, block until interrupted (a live stream)
    bool block_in_open = false;  // never connect: wait in open until cancelled
    int open_error = 0;          // non-zero: fail to open with this code
};

class scripted_input final : public audio::network_input {
  public:
    scripted_input(script plan, audio::input_listener &listener)
        : plan_(std::move(plan)), listener_(listener), started_(std::chrono::steady_clock::now()) {}

    long read(uint8_t *buffer, size_t size) override {
        std::unique_lock<std::mutex> guard(lock_);
        if (interrupted_)
            return -1;
        if (position_ >= plan_.bytes.size()) {
            if (!plan_.stay_open)
                return 0;
            wake_.wait(guard, [&] { return interrupted_; });
            return -1;
        }
        size = std::min(size, plan_.bytes.size() - position_);
        if (plan_.bytes_per_second > 0) {
            auto due = started_ +
                       std::chrono::duration<double>((position_ + size) / plan_.bytes_per_second);
            if (wake_.wait_until(guard, due, [&] { return interrupted_; }))
                return -1;
        }
        for (const auto &entry : plan_.metadata)
            if (entry.first >= position_ && entry.first < position_ + size) {
                guard.unlock();
                listener_.on_metadata(entry.second);
                guard.lock();
            }
        std::copy_n(plan_.bytes.begin() + static_cast<long>(position_), size, buffer);
        position_ += size;
        return static_cast<long>(size);
    }

    void interrupt() override {
        std::lock_guard<std::mutex> guard(lock_);
        interrupted_ = true;
        wake_.notify_all();
    }

    bool is_icy() const override { return plan_.status_line.rfind("ICY", 0) == 0; }
    std::string content_type() const override { return plan_.content_type; }
    uint32_t bitrate_kbps() const override { return plan_.kbps; }

  private:
    const script plan_;
    audio::input_listener &listener_;
    const std::chrono::steady_clock::time_point started_;
    std::mutex lock_; // guards position_ and interrupted_
    std::condition_variable wake_;
    size_t position_ = 0;
    bool interrupted_ = false;
};

// Streams created while this lives read from `plan` instead of the network.
class scripted_network {
  public:
    explicit scripted_network(script plan) {
        audio::set_input_opener([plan](const std::string &, const audio::connect_options &,
                                       audio::input_listener &listener,
                                       const std::atomic<bool> &cancelled,
                                       int *error) -> std::unique_ptr<audio::network_input> {
            if (plan.block_in_open) {
                while (!cancelled)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                *error = BASS_ERROR_TIMEOUT;
                return nullptr;
            }
            if (plan.open_error) {
                *error = plan.open_error;
                return nullptr;
            }
            listener.on_response(plan.status_line, plan.headers);
            return std::make_unique<scripted_input>(plan, listener);
        });
    }
    ~scripted_network() { audio::set_input_opener(nullptr); }
};

inline std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Encodes `seconds` of a sine tone with the ffmpeg program; returns the file's bytes
// (empty when the encoder is missing).
inline std::vector<uint8_t> encode_tone(const std::string &name, int frequency, double seconds,
                                        const std::string &codec_arguments,
                                        const std::string &title = "") {
    std::string dir = testing::TempDir();
    // Per process: CTest runs several test processes at once.
    std::string path = dir + "/brevora_" + std::to_string(getpid()) + "_" + name;
    std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" +
                          std::to_string(frequency) +
                          ":sample_rate=44100:duration=" + std::to_string(seconds) + " -ac 2 " +
                          codec_arguments +
                          (title.empty() ? "" : " -metadata title='" + title + "'") + " " + path;
    int status = std::system(command.c_str());
    std::vector<uint8_t> bytes = status == 0 ? read_file(path) : std::vector<uint8_t>{};
    std::remove(path.c_str());
    return bytes;
}

// Records what the mixer renders (every block, silence included).
class output_capture {
  public:
    output_capture() {
        audio::library_mixer().set_capture([this](const float *samples, size_t frames) {
            std::lock_guard<std::mutex> guard(lock_);
            samples_.insert(samples_.end(), samples, samples + frames * 2);
        });
    }
    ~output_capture() { audio::library_mixer().set_capture(nullptr); }

    // Waits (up to `limit`) until `frames` frames of sound, after any leading silence and
    // `skip` more frames (an encoder's start-up), have been played; returns their left channel.
    std::vector<float>
    left_channel_of_sound(size_t frames, std::chrono::milliseconds limit = std::chrono::seconds(5),
                          size_t skip = 0) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                size_t first = 0;
                while (first < samples_.size() && std::fabs(samples_[first]) < 1e-4f)
                    ++first;
                first -= first % 2;
                first += skip * 2;
                if (samples_.size() >= first + frames * 2) {
                    std::vector<float> left;
                    for (size_t i = first; i < first + frames * 2; i += 2)
                        left.push_back(samples_[i]);
                    return left;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    void clear() {
        std::lock_guard<std::mutex> guard(lock_);
        samples_.clear();
    }

  private:
    std::mutex lock_;
    std::vector<float> samples_;
};

// The tone's frequency from its rising zero crossings.
inline double measured_frequency(const std::vector<float> &samples, int rate) {
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings++ == 0)
                first = i;
            last = i;
        }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

inline double peak(const std::vector<float> &samples) {
    double loudest = 0;
    for (float s : samples)
        loudest = std::max(loudest, static_cast<double>(std::fabs(s)));
    return loudest;
}

// Polls `condition` every 5 ms for up to `limit`.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// NUL-separated lines ended by an empty one, as the tag calls and the status text give them.
inline std::vector<std::string> lines_of(const char *block) {
    std::vector<std::string> lines;
    if (!block)
        return lines;
    for (const char *p = block; *p; p += std::strlen(p) + 1)
        lines.emplace_back(p);
    return lines;
}

} // namespace stream_test
