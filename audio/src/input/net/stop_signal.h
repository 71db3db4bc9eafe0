// How a connection learns it must stop, and the one way the input waits: until an event, a
// deadline or a stop, whichever comes first.
//
// Threads: the input's own thread waits; interrupt() may be called from any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace audio {

using clock_type = std::chrono::steady_clock;

// The library's release sets `cancelled` without waking anyone, so a wait looks at it
// at least this often; interrupt() wakes a wait at once.
constexpr auto stop_check_interval = std::chrono::milliseconds(50);

class stop_signal {
  public:
    explicit stop_signal(const std::atomic<bool> &cancelled) : cancelled_(cancelled) {}

    bool requested() const { return cancelled_.load() || interrupted_.load(); }
    const std::atomic<bool> &cancelled() const { return cancelled_; }

    void interrupt() {
        interrupted_ = true;
        std::lock_guard<std::mutex> guard(wake_lock_);
        woken_.notify_all();
    }

    // Sleeps until `when`; false when a stop came first.
    bool sleep_until(clock_type::time_point when) {
        std::unique_lock<std::mutex> guard(wake_lock_);
        wait_for_event(guard, woken_, when, [] { return false; });
        return !requested();
    }

    // Waits on `wake` (whose mutex `guard` holds) until ready() is true (returns true), or
    // `deadline` passes or a stop comes (false).
    template <class Ready>
    bool wait_for_event(std::unique_lock<std::mutex> &guard, std::condition_variable &wake,
                        clock_type::time_point deadline, Ready ready) const {
        while (!ready()) {
            if (requested() || clock_type::now() >= deadline)
                return false;
            wake.wait_until(guard, std::min(deadline, clock_type::now() + stop_check_interval));
        }
        return true;
    }

  private:
    const std::atomic<bool> &cancelled_; // the library's release; owned by the caller
    std::atomic<bool> interrupted_{false};
    // interrupt() wakes sleep_until() through these; they guard nothing else.
    std::mutex wake_lock_;
    std::condition_variable woken_;
};

} // namespace audio
