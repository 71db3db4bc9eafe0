// Decoded samples waiting for the mixer: interleaved floats, fixed capacity.
//
// Threads: one producer (the stream's decode thread) may wait for room; one consumer (the
// output thread, through the mixer) never waits. `lock_` guards every field.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

namespace audio {

class pcm_queue {
  public:
    explicit pcm_queue(size_t capacity_samples) : storage_(capacity_samples) {}

    // Producer: stores every sample, waiting for room. A full queue is refilled only once it
    // has drained to half (or has room for the whole block, if that is more), so the decode
    // thread wakes a few times a second and then decodes a run of frames, rather than once
    // per output period. False once cancelled.
    bool push(const float *samples, size_t count) {
        std::unique_lock<std::mutex> guard(lock_);
        while (count > 0) {
            size_t block = std::min(count, storage_.size());
            if (storage_.size() - size_ < block) {
                awaited_room_ = std::max(block, storage_.size() / 2);
                room_.wait(guard,
                           [&] { return cancelled_ || storage_.size() - size_ >= awaited_room_; });
                awaited_room_ = 0;
            }
            if (cancelled_)
                return false;
            for (size_t copied = 0; copied < block;) {
                size_t end = (start_ + size_) % storage_.size();
                size_t run = std::min(block - copied, storage_.size() - end);
                std::memcpy(&storage_[end], samples + copied, run * sizeof(float));
                size_ += run;
                copied += run;
            }
            samples += block;
            count -= block;
        }
        return true;
    }

    // Consumer: adds up to `count` samples, scaled by gain, into `mix`; returns how many.
    // Also copies them, unscaled, to `unscaled` when that is not null (for a recording).
    size_t mix_into(float *mix, size_t count, float gain, float *unscaled = nullptr) {
        size_t taken = 0;
        bool wake_producer = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            while (taken < count && size_ > 0) {
                size_t run = std::min({count - taken, size_, storage_.size() - start_});
                const float *from = &storage_[start_];
                if (unscaled)
                    std::memcpy(unscaled + taken, from, run * sizeof(float));
                for (size_t i = 0; i < run; ++i)
                    mix[taken + i] += from[i] * gain;
                start_ = (start_ + run) % storage_.size();
                size_ -= run;
                taken += run;
            }
            wake_producer = awaited_room_ > 0 && storage_.size() - size_ >= awaited_room_;
        }
        if (wake_producer)
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
    size_t awaited_room_ = 0; // room the waiting producer needs; 0 while it is not waiting
    bool cancelled_ = false;
};

} // namespace audio
