// When a live HLS playlist is reloaded, and when a stream that has stopped bringing segments
// reconnects or ends. A live playlist owes a new segment every target duration; reloading
// sooner only costs requests, later makes the stream run dry.
//
// Threads: the stream's download thread.
#pragma once

#include "input/net/stop_signal.h"

namespace audio {

// Bounds on the pause between two reloads, whatever a playlist's target duration says: a
// target of 0 or a fraction of a second must not become a busy loop of requests, and a
// target of hours must not leave the stream waiting that long for its next look.
constexpr double min_hls_reload_seconds = 0.5;
constexpr double max_hls_reload_seconds = 30;

// `seconds` as a reload pause, clamped to the bounds above.
clock_type::duration hls_reload_pause(double seconds);

class hls_reload_timing {
  public:
    explicit hls_reload_timing(clock_type::duration timeout) : timeout_(timeout) {}

    // A media playlist starts with this target duration: the first reload is one away.
    void start(double target_seconds);
    // A reload brought this target duration (0: none given, the old one stays).
    void set_target(double target_seconds) {
        if (target_seconds > 0)
            target_seconds_ = target_seconds;
    }
    // After a reload: the next after a target duration, or half of one when it brought
    // nothing new.
    void reloaded(bool advanced);
    void segment_played();
    double target_seconds() const { return target_seconds_; }

    enum class stall { none, reconnect, give_up };
    // No segment for the stall limit: the first time, reconnect (reload at once and give it
    // as long again); after that, give up.
    stall check_stall();

    bool reload_due() const { return clock_type::now() >= next_reload_; }
    // When the input has something to do without a segment: the reload, or the stall limit.
    clock_type::time_point next_wake() const;

  private:
    // How long no segment may play before the input reconnects, and then ends: the
    // time-out on top of the wait for the next segment a live playlist owes.
    clock_type::duration stall_limit() const {
        return timeout_ + hls_reload_pause(target_seconds_);
    }

    clock_type::duration timeout_;
    double target_seconds_ = 0;
    clock_type::time_point next_reload_{};
    clock_type::time_point last_audio_{}; // when a segment last loaded, or a retry began
    bool retried_ = false;
};

} // namespace audio
