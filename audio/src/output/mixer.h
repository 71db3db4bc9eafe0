// Mixes every playing stream into the one output, at the stream volume its owner sets.
//
// Threads: add/remove/set_volume from any thread; render() only from the output's thread.
// `lock_` guards `sources_` and `capture_`; render() holds it while it mixes, so a removed
// source is never read after remove() returns. `wake_lock_` guards `wake_` and is held while
// it runs, never together with `lock_`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

// What the mixer reads from a playing stream.
class mix_source {
  public:
    virtual ~mix_source() = default;
    // Adds up to `frames` stereo frames, scaled by gain, into `mix`. Never blocks.
    virtual void mix_into(float *mix, size_t frames, float gain) = 0;
};

class mixer {
  public:
    static constexpr int channels = 2;
    static constexpr uint32_t full_volume = 10000;

    // 0 to full_volume; heard from the next rendered block on.
    void set_volume(uint32_t volume) { volume_ = volume; }

    void add(std::shared_ptr<mix_source> source);
    void remove(const mix_source *source);
    void remove_all();

    // Output thread: fills `frames` interleaved stereo frames.
    void render(float *out, size_t frames);

    // True while a stream plays. The output renders nothing and sleeps while it is false.
    bool has_sources();
    // The output's alarm clock: called after every add(), on the adding thread, so that a
    // sleeping output renders the new stream at once. `owner` is the output that sets it.
    void set_wake(const void *owner, std::function<void()> wake);
    // Removes the wake-up if `owner` set the current one (an output freed after a new one
    // started leaves the new one's). Once this returns, the owner's is not running and is not
    // called again.
    void clear_wake(const void *owner);

    // Test hook: also hands every rendered block to `capture` (null to stop).
    void set_capture(std::function<void(const float *samples, size_t frames)> capture);

  private:
    std::atomic<uint32_t> volume_{full_volume};
    std::mutex lock_;
    std::vector<std::shared_ptr<mix_source>> sources_;
    std::function<void(const float *, size_t)> capture_;
    std::mutex wake_lock_;
    std::function<void()> wake_;
    const void *wake_owner_ = nullptr;
};

// The library's one mixer.
mixer &library_mixer();

} // namespace audio
