// Platforms without a device backend here (Linux builds are for tests and benchmarks)
// always use the silent output.
#include "output_device.h"

namespace audio {

std::unique_ptr<output_device> open_platform_output(mixer &, int) {
    return nullptr;
}

} // namespace audio
