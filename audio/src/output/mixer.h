// Mixes every playing stream into the one output, at the stream volume option.
//
// Threads: add/remove from any thread; render() only from the output's thread. `lock_`
// guards `sources_` and `capture_`; render() holds it while it mixes, so a removed source
// is never read after remove() returns.
#pragma once

#include <cstddef>
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

    void add(std::shared_ptr<mix_source> source);
    void remove(const mix_source *source);
    void remove_all();

    // Output thread: fills `frames` interleaved stereo frames.
    void render(float *out, size_t frames);

    // Test hook: also hands every rendered block to `capture` (null to stop).
    void set_capture(std::function<void(const float *samples, size_t frames)> capture);

  private:
    std::mutex lock_;
    std::vector<std::shared_ptr<mix_source>> sources_;
    std::function<void(const float *, size_t)> capture_;
};

// The library's one mixer.
mixer &library_mixer();

} // namespace audio
