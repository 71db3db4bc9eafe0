// An output pulls mixed audio from the mixer on its own thread and plays it.
//
// open_default_output() tries the platform's device first (Windows: waveOut) and falls
// back to the silent output, which consumes samples in real time against the clock, so
// streams play and syncs fire on machines without sound.
#pragma once

#include "mixer.h"

#include <memory>

namespace audio {

class output_device {
  public:
    // Stops the output thread; render() is not called after the destructor returns.
    virtual ~output_device() = default;
    virtual const char *name() const = 0;
};

std::unique_ptr<output_device> open_silent_output(mixer &source, int rate);
// Null when the platform has no usable device.
std::unique_ptr<output_device> open_platform_output(mixer &source, int rate);

inline std::unique_ptr<output_device> open_default_output(mixer &source, int rate) {
    if (auto device = open_platform_output(source, rate))
        return device;
    return open_silent_output(source, rate);
}

} // namespace audio
