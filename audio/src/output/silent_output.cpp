// The null output: a thread that renders one block every 40 ms of real time and drops it.
// Nothing is heard, so the block only sets how often the thread wakes; 40 ms keeps that
// low while staying well inside the decoded-sample queue (about 190 ms). While no stream
// plays the thread sleeps until the mixer's wake-up (a stream added) or the stop.
#include "output_device.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace audio {

namespace {

class silent_output final : public output_device {
  public:
    silent_output(mixer &source, int rate) : source_(source), rate_(rate) {
        source_.set_wake(this, [this] {
            // Under the lock: the thread is either before its check or already waiting.
            std::lock_guard<std::mutex> guard(lock_);
            wake_.notify_all();
        });
        thread_ = std::thread([this] { run(); });
    }

    ~silent_output() override {
        source_.clear_wake(this);
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    const char *name() const override { return "silent"; }

  private:
    // Output thread. Paced against a start time, so rounding never drifts.
    void run() {
        const auto period = std::chrono::milliseconds(40);
        const size_t frames = static_cast<size_t>(rate_) / 25;
        std::vector<float> block(frames * mixer::channels);
        auto next = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> guard(lock_);
        while (!stopping_) {
            if (!source_.has_sources()) {
                wake_.wait(guard, [&] { return stopping_ || source_.has_sources(); });
                // A fresh clock: the first block of the new stream renders at once.
                next = std::chrono::steady_clock::now();
                continue;
            }
            guard.unlock();
            source_.render(block.data(), frames);
            guard.lock();
            next += period;
            wake_.wait_until(guard, next, [&] { return stopping_; });
        }
    }

    mixer &source_;
    const int rate_;
    std::mutex lock_; // guards stopping_; held by the thread while it checks for sources
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace

std::unique_ptr<output_device> open_silent_output(mixer &source, int rate) {
    return std::make_unique<silent_output>(source, rate);
}

} // namespace audio
