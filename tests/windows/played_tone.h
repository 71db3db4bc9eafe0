// What the library's mixer plays, for the Windows audio tests: every frame handed to the
// device is counted, and the left channel of the sound is kept (silence left out), to measure
// a tone's pitch and where it changes. Captures while this lives.
#pragma once

#include "output/mixer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class played_tone {
  public:
    static constexpr size_t frames_per_second = 44100;

    played_tone() {
        audio::library_mixer().set_capture([this](const float *samples, size_t frames) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                rendered_ += frames;
                // Silence is left out: with the tests' null sound device the output may
                // render faster than the stream decodes, and a block it finds empty is not
                // part of what the stream played.
                for (size_t i = 0; i < frames; ++i)
                    if (samples[i * 2] != 0)
                        played_.push_back(samples[i * 2]);
            }
            grown_.notify_all();
        });
    }
    // The mixer holds its lock while it calls the capture: once this returns, none runs.
    ~played_tone() { audio::library_mixer().set_capture(nullptr); }
    played_tone(const played_tone &) = delete;
    played_tone &operator=(const played_tone &) = delete;

    // The pitch in Hz over `frames` frames of sound, after `skipped` frames (a tenth of a
    // second) for the decoder's start; waits until they have played, or returns -1 if
    // `deadline` passes first.
    int pitch(size_t frames, std::chrono::steady_clock::time_point deadline,
              size_t skipped = frames_per_second / 10) {
        const size_t first = skipped, end = first + frames;
        std::unique_lock<std::mutex> guard(lock_);
        if (!grown_.wait_until(guard, deadline, [&] { return played_.size() >= end; }))
            return -1;
        return pitch_of(played_, first, end);
    }

    // The pitch in Hz of `samples` from `first` to `end` (rising zero crossings).
    static int pitch_of(const std::vector<float> &samples, size_t first, size_t end) {
        size_t rising_crossings = 0;
        for (size_t i = std::max<size_t>(first, 1); i < end && i < samples.size(); ++i)
            if (samples[i - 1] < 0 && samples[i] >= 0)
                ++rising_crossings;
        return end > first ? static_cast<int>(rising_crossings * frames_per_second / (end - first))
                           : -1;
    }

    // What has played from the first sound on (the left channel).
    std::vector<float> played() {
        std::lock_guard<std::mutex> guard(lock_);
        return played_;
    }

    // Frames handed to the device so far, sound or silence.
    size_t rendered() {
        std::lock_guard<std::mutex> guard(lock_);
        return rendered_;
    }
    // True when more than `frames` frames are rendered within `wait`.
    bool renders_past(size_t frames, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> guard(lock_);
        return grown_.wait_for(guard, wait, [&] { return rendered_ > frames; });
    }

  private:
    std::mutex lock_; // guards rendered_ and played_
    std::condition_variable grown_;
    size_t rendered_ = 0;
    std::vector<float> played_;
};
