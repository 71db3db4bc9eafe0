// What a station sends, from the first byte to the mixer's samples: the format probe on
// any bytes, then, for whatever it accepts, the FFmpeg decoder to the end of the data.
// Samples must come as whole stereo frames and be finite, as the mixer and the outputs
// take them on trust.
#include "decode/decoder.h"
#include "decode/format_probe.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    audio::probe_result probe = audio::identify_format(data, size, "", true);
    if (!probe.format)
        return 0;
    if (probe.offset > size)
        __builtin_trap();
    size_t position = probe.offset;
    auto source = [&](uint8_t *buffer, size_t wanted) -> long {
        size_t count = std::min(wanted, size - position);
        std::memcpy(buffer, data + position, count);
        position += count;
        return static_cast<long>(count);
    };
    int error = 0;
    auto decoder = audio::decoder::open(*probe.format, source, 44100, &error);
    if (!decoder)
        return 0;
    audio::decoder::chunk chunk;
    // Bounded, so that a frame that decodes to nothing cannot keep the run going.
    for (int frames = 0; frames < 4096 && decoder->decode(chunk); ++frames) {
        if (chunk.samples.size() % 2 != 0)
            __builtin_trap();
        for (float sample : chunk.samples)
            if (!std::isfinite(sample))
                __builtin_trap();
    }
    return 0;
}
