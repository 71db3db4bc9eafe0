// Decoded samples waiting for the mixer: interleaved floats, fixed capacity.
//
// Threads: one producer (the stream's decode thread) may wait for room; one consumer (the
// output thread, through the mixer) never waits. `lock_` guards every field.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace audio {

class pcm_queue {
  public:
    explicit pcm_queue(size_t capacity_samples) : storage_(capacity_samples) {}

    // Producer: stores every sample, waiting for room. False once cancelled.
    bool push(const float *samples, size_t count) {
        std::unique_lock<std::mutex> guard(lock_);
        while (count > 0) {
            room_.wait(guard, [&] { return cancelled_ || size_ < storage_.size(); });
            if (cancelled_)
                return false;
            while (count > 0 && size_ < storage_.size()) {
                storage_[(start_ + size_) % storage_.size()] = *samples++;
                ++size_;
                --count;
            }
        }
        return true;
    }

    // Consumer: adds up to `count` samples, scaled by gain, into `mix`; returns how many.
    size_t mix_into(float *mix, size_t count, float gain) {
        size_t taken = 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (; taken < count && size_ > 0; ++taken) {
                mix[taken] += storage_[start_] * gain;
                start_ = (start_ + 1) % storage_.size();
                --size_;
            }
        }
        room_.notify_all();
        return taken;
    }

    size_t size() const {
        std::lock_guard<std::mutex> guard(lock_);
        return size_;
    }

    void cancel() {
        std::lock_guard<std::mutex> guard(lock_);
        cancelled_ = true;
        room_.notify_all();
    }

  private:
    mutable std::mutex lock_;
    std::condition_variable room_;
    std::vector<float> storage_;
    size_t start_ = 0;
    size_t size_ = 0;
    bool cancelled_ = false;
};

} // namespace audio
