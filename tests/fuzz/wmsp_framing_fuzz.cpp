// The Windows Media streaming deframer on any bytes, fed in pieces whose sizes the input's
// first byte picks; whatever comes out must be whole packets after a whole header.
#include "input/wms/wmsp_framing.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    size_t piece = data[0] % 64 + 1;
    audio::wmsp_deframer deframer;
    std::vector<uint8_t> out;
    uint8_t buffer[512];
    for (size_t offset = 1; offset < size; offset += piece) {
        deframer.feed(data + offset, std::min(piece, size - offset));
        while (size_t got = deframer.take(buffer, sizeof buffer))
            out.insert(out.end(), buffer, buffer + got);
    }
    const audio::asf_header *header = deframer.header();
    if (!out.empty() && (!header || out.size() < header->data_start)) {
        __builtin_trap(); // bytes went out before a complete header
    }
    return 0;
}
