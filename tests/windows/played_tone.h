// What the library's mixer plays, for measuring a tone in the Windows audio tests: the left
// channel, from the first sound on, captured while this lives.
#pragma once

#include "output/mixer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class played_tone {
  public:
    played_tone() {
        audio::library_mixer().set_capture([this](const float *samples, size_t frames) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                for (size_t i = 0; i < frames; ++i)
                    if (!played_.empty() || samples[i * 2] != 0)
                        played_.push_back(samples[i * 2]);
            }
            grown_.notify_all();
        });
    }
    // The mixer holds its lock while it calls the capture: once this returns, none runs.
    ~played_tone() { audio::library_mixer().set_capture(nullptr); }
    played_tone(const played_tone &) = delete;
    played_tone &operator=(const played_tone &) = delete;

    // Waits until `frames` frames have played or `deadline` passes; returns how many have.
    size_t wait_for(size_t frames, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> guard(lock_);
        grown_.wait_until(guard, deadline, [&] { return played_.size() >= frames; });
        return played_.size();
    }

    // Rising zero crossings among the frames [first, end), which must have played.
    int rising_crossings(size_t first, size_t end) {
        std::lock_guard<std::mutex> guard(lock_);
        int crossings = 0;
        for (size_t i = first; i < end; ++i)
            if (played_[i - 1] < 0 && played_[i] >= 0)
                ++crossings;
        return crossings;
    }

  private:
    std::mutex lock_; // guards played_
    std::condition_variable grown_;
    std::vector<float> played_;
};
