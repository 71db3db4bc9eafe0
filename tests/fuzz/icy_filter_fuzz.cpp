// The ICY metadata filter on any body: the first byte picks the interval, the rest is fed in
// pieces whose sizes come from the data too.
#include "input/icy/icy_filter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) {
        return 0;
    }
    size_t metaint = data[0] % 64;
    size_t piece = data[1] % 32 + 1;
    std::vector<uint8_t> body(data + 2, data + size);
    size_t total_audio = 0;
    size_t piece_audio = 0; // the current piece's size: no title is placed past it
    audio::icy_filter filter(metaint, [&](const std::string &text, size_t audio_before) {
        if (text.empty() || text.size() > 255 * 16 || text.find('\0') != std::string::npos) {
            __builtin_trap(); // reported strings are non-empty, bounded, NUL-free
        }
        if (audio_before > piece_audio) {
            __builtin_trap();
        }
    });
    for (size_t offset = 0; offset < body.size(); offset += piece) {
        size_t length = std::min(piece, body.size() - offset);
        piece_audio = length;
        size_t audio_bytes = filter.filter(body.data() + offset, length);
        if (audio_bytes > length) {
            __builtin_trap();
        }
        total_audio += audio_bytes;
        if (data[1] & 0x80 && offset == 0) {
            filter.restart(metaint + 1);
        }
    }
    bool restarted = (data[1] & 0x80) && !body.empty();
    if (metaint == 0 && !restarted && total_audio != body.size()) {
        __builtin_trap();
    }
    return 0;
}
