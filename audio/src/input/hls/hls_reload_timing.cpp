#include "input/hls/hls_reload_timing.h"

#include <algorithm>

namespace audio {

clock_type::duration hls_reload_pause(double seconds) {
    return std::chrono::duration_cast<clock_type::duration>(std::chrono::duration<double>(
        std::clamp(seconds, min_hls_reload_seconds, max_hls_reload_seconds)));
}

void hls_reload_timing::start(double target_seconds) {
    target_seconds_ = target_seconds;
    next_reload_ = clock_type::now() + hls_reload_pause(target_seconds_);
}

void hls_reload_timing::reloaded(bool advanced) {
    next_reload_ =
        clock_type::now() + hls_reload_pause(advanced ? target_seconds_ : target_seconds_ / 2);
}

void hls_reload_timing::segment_played() {
    last_audio_ = clock_type::now();
    retried_ = false;
}

hls_reload_timing::stall hls_reload_timing::check_stall() {
    if (clock_type::now() - last_audio_ <= stall_limit())
        return stall::none;
    if (retried_)
        return stall::give_up;
    retried_ = true;
    last_audio_ = clock_type::now();
    next_reload_ = clock_type::now();
    return stall::reconnect;
}

clock_type::time_point hls_reload_timing::next_wake() const {
    return std::min(next_reload_, last_audio_ + stall_limit() + std::chrono::milliseconds(1));
}

} // namespace audio
