// Shared by the stream tests: a stand-in network input that serves a file's bytes, sound
// files made with the ffmpeg program at test time, a capture of what the output plays,
// and a tone measurement.
#pragma once

#include "brevora_audio.h"
#include "input/network_input.h"
#include "output/mixer.h"
#include "stream/input_opener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
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
    // Metadata strings, each reported as belonging at its byte offset, in the read that
    // reaches it.
    std::vector<std::pair<size_t, std::string>> metadata;
    // Reconnects (with the new answer's content type) before the bytes from each offset on.
    std::vector<std::pair<size_t, std::string>> reconnects;
    double bytes_per_second = 0; // 0: as fast as the reader takes them
    size_t burst_bytes = 0;      // with a rate: these first bytes come at once (a server's burst)
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
        for (const auto &entry : plan_.reconnects)
            if (entry.first > position_)
                size = std::min(size, entry.first - position_); // one connection per read
        if (plan_.bytes_per_second > 0) {
            size_t paced = position_ + size - std::min(position_ + size, plan_.burst_bytes);
            auto due = started_ + std::chrono::duration<double>(paced / plan_.bytes_per_second);
            if (wake_.wait_until(guard, due, [&] { return interrupted_; }))
                return -1;
        }
        for (const auto &entry : plan_.reconnects)
            if (entry.first == position_) {
                guard.unlock();
                listener_.on_reconnect(entry.second);
                guard.lock();
            }
        for (const auto &entry : plan_.metadata)
            if (entry.first >= position_ && entry.first < position_ + size) {
                guard.unlock();
                listener_.on_metadata(entry.second, entry.first);
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
    explicit scripted_network(script plan) : opens_(std::make_shared<open_count>()) {
        audio::set_input_opener(
            [plan, opens = opens_](const std::string &, const audio::connect_options &,
                                   audio::input_listener &listener,
                                   const std::atomic<bool> &cancelled,
                                   int *error) -> std::unique_ptr<audio::network_input> {
                opens->add_one();
                if (plan.block_in_open) {
                    // The library cancels by setting a flag, not by an event: poll it as the
                    // real input does.
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

    // Waits (up to `limit`) until a stream has begun to open this input `count` times.
    bool wait_for_opens(int count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> guard(opens_->lock);
        return opens_->changed.wait_for(guard, limit, [&] { return opens_->count >= count; });
    }

  private:
    struct open_count {
        std::mutex lock; // guards count
        std::condition_variable changed;
        int count = 0;
        void add_one() {
            std::lock_guard<std::mutex> guard(lock);
            ++count;
            changed.notify_all();
        }
    };
    std::shared_ptr<open_count> opens_;
};

inline std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Encodes `seconds` of a sine tone with the ffmpeg program; returns the file's bytes
// (empty when the encoder is missing). CTest runs every test in a process of its own, so
// each file is made once per build tree and kept in its "tone-cache" folder (the tests'
// working directory), keyed by the command that makes it.
inline std::vector<uint8_t> encode_tone(const std::string &name, int frequency, double seconds,
                                        const std::string &codec_arguments,
                                        const std::string &title = "") {
    std::string arguments = "-f lavfi -i sine=frequency=" + std::to_string(frequency) +
                            ":sample_rate=44100:duration=" + std::to_string(seconds) + " -ac 2 " +
                            codec_arguments +
                            (title.empty() ? "" : " -metadata title='" + title + "'");
    const std::string cache = "tone-cache/";
    std::string key = std::to_string(std::hash<std::string>{}(arguments)) + "_" + name;
    std::vector<uint8_t> bytes = read_file(cache + key);
    if (!bytes.empty())
        return bytes;
    // Made under a name of this process's own, then renamed: processes making the same
    // file at once never read half of one. The name keeps its extension, which tells
    // ffmpeg the container when the arguments do not.
    std::string made = cache + std::to_string(getpid()) + "_" + key;
    std::string command =
        "mkdir -p " + cache + " && ffmpeg -nostdin -loglevel error -y " + arguments + " " + made;
    if (std::system(command.c_str()) != 0 ||
        std::rename(made.c_str(), (cache + key).c_str()) != 0) {
        std::remove(made.c_str());
        return {};
    }
    return read_file(cache + key);
}

// Records what the mixer renders (every block, silence included).
class output_capture {
  public:
    output_capture() {
        audio::library_mixer().set_capture([this](const float *samples, size_t frames) {
            std::lock_guard<std::mutex> guard(lock_);
            samples_.insert(samples_.end(), samples, samples + frames * 2);
            rendered_frames_ += frames;
            rendered_.notify_all();
        });
    }
    ~output_capture() { audio::library_mixer().set_capture(nullptr); }

    // Waits (up to `limit`) until `frames` frames of sound, after any leading silence and
    // `skip` more frames (an encoder's start-up), have been played; returns their left channel.
    std::vector<float>
    left_channel_of_sound(size_t frames, std::chrono::milliseconds limit = std::chrono::seconds(5),
                          size_t skip = 0) {
        std::vector<float> left;
        std::unique_lock<std::mutex> guard(lock_);
        rendered_.wait_for(guard, limit, [&] {
            size_t first = 0;
            while (first < samples_.size() && std::fabs(samples_[first]) < 1e-4f)
                ++first;
            first -= first % 2;
            first += skip * 2;
            if (samples_.size() < first + frames * 2)
                return false;
            for (size_t i = first; i < first + frames * 2; i += 2)
                left.push_back(samples_[i]);
            return true;
        });
        return left;
    }

    // Waits (up to `limit`) until the output has rendered `frames` more frames, sound or
    // silence; false if it has not.
    bool wait_for_rendered(size_t frames,
                           std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> guard(lock_);
        const size_t target = rendered_frames_ + frames;
        return rendered_.wait_for(guard, limit, [&] { return rendered_frames_ >= target; });
    }

    // Forgets what was captured, once the output has finished the block it was rendering.
    void clear_after_next_block() {
        wait_for_rendered(1);
        std::lock_guard<std::mutex> guard(lock_);
        samples_.clear();
    }

    std::vector<float> captured() {
        std::lock_guard<std::mutex> guard(lock_);
        return samples_;
    }

    size_t rendered_frames() {
        std::lock_guard<std::mutex> guard(lock_);
        return rendered_frames_;
    }

  private:
    std::mutex lock_; // guards samples_ and rendered_frames_
    std::condition_variable rendered_;
    std::vector<float> samples_;
    size_t rendered_frames_ = 0;
};

// Counts the calls of a sync procedure (count_sync) and the channel each named.
struct sync_counter {
    std::mutex lock; // guards calls and channel
    std::condition_variable called;
    int calls = 0;
    DWORD channel = 0;

    // Waits (up to `limit`) until the procedure has been called `count` times.
    bool wait_for(int count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> guard(lock);
        return called.wait_for(guard, limit, [&] { return calls >= count; });
    }
    int count() {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
};
inline void CALLBACK count_sync(HSYNC, DWORD channel, DWORD, void *user) {
    auto *counter = static_cast<sync_counter *>(user);
    std::lock_guard<std::mutex> guard(counter->lock);
    counter->channel = channel;
    ++counter->calls;
    counter->called.notify_all();
}

// Keeps what a test hands to streams as callback data (logs, counters) alive until the
// fixture is destroyed: after TearDown, whose BASS_Free waits for every callback, rather
// than when the test body's locals die while the streams may still call back.
class callback_state {
  protected:
    template <typename T> T &kept() {
        auto state = std::make_shared<T>();
        kept_.push_back(state);
        return *state;
    }

  private:
    std::vector<std::shared_ptr<void>> kept_;
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

// The tone between `from` and `to` seconds of what played at 44.1 kHz; of what there is, when
// less played (0 when nothing did).
inline double frequency_between(const std::vector<float> &played, double from, double to) {
    const double rate = 44100;
    auto at = [&](double seconds) {
        return played.begin() + static_cast<long>(std::min<double>(seconds * rate, played.size()));
    };
    return measured_frequency(std::vector<float>(at(from), at(to)), static_cast<int>(rate));
}

inline double peak(const std::vector<float> &samples) {
    double loudest = 0;
    for (float s : samples)
        loudest = std::max(loudest, static_cast<double>(std::fabs(s)));
    return loudest;
}

// Polls `condition` every 5 ms for up to `limit`: for library state that no callback or
// event announces (a stream freed by AUTOFREE, a buffer's fill).
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
