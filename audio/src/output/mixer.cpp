#include "mixer.h"

#include <algorithm>

namespace audio {

void mixer::add(std::shared_ptr<mix_source> source) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
            sources_.push_back(std::move(source));
    }
    std::lock_guard<std::mutex> guard(wake_lock_);
    if (wake_)
        wake_();
}

void mixer::remove(const mix_source *source) {
    std::lock_guard<std::mutex> guard(lock_);
    sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                  [&](const auto &entry) { return entry.get() == source; }),
                   sources_.end());
}

void mixer::remove_all() {
    std::vector<std::shared_ptr<mix_source>> released;
    std::lock_guard<std::mutex> guard(lock_);
    released.swap(sources_);
}

void mixer::render(float *out, size_t frames) {
    std::fill(out, out + frames * channels, 0.0f);
    // Read once per block: a volume change is heard from the next block on.
    float gain = static_cast<float>(volume_.load()) / full_volume;
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto &source : sources_)
        source->mix_into(out, frames, gain);
    if (capture_)
        capture_(out, frames);
}

bool mixer::has_sources() {
    std::lock_guard<std::mutex> guard(lock_);
    return !sources_.empty();
}

void mixer::set_wake(const void *owner, std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(wake_lock_);
    wake_ = std::move(wake);
    wake_owner_ = owner;
}

void mixer::clear_wake(const void *owner) {
    std::lock_guard<std::mutex> guard(wake_lock_);
    if (wake_owner_ != owner)
        return;
    wake_ = nullptr;
    wake_owner_ = nullptr;
}

void mixer::set_capture(std::function<void(const float *, size_t)> capture) {
    std::lock_guard<std::mutex> guard(lock_);
    capture_ = std::move(capture);
}

mixer &library_mixer() {
    static mixer the_mixer;
    return the_mixer;
}

} // namespace audio
