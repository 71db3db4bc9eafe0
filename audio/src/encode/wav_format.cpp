#include "wav_format.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

void put_u16(uint8_t *at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put_u32(uint8_t *at, uint32_t value) {
    put_u16(at, static_cast<uint16_t>(value));
    put_u16(at + 2, static_cast<uint16_t>(value >> 16));
}

} // namespace

std::array<uint8_t, wav_header_size> streaming_wav_header(uint32_t rate, uint16_t channels) {
    const uint32_t unknown_length = 0xFFFFFFFF;
    const uint16_t block_align = static_cast<uint16_t>(channels * pcm16_sample_bytes);
    std::array<uint8_t, wav_header_size> header{'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                                'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    put_u32(&header[4], unknown_length);
    put_u32(&header[16], 16); // size of the format block that follows
    put_u16(&header[20], 1);  // PCM
    put_u16(&header[22], channels);
    put_u32(&header[24], rate);
    put_u32(&header[28], rate * block_align);
    put_u16(&header[32], block_align);
    put_u16(&header[34], 16);
    header[36] = 'd';
    header[37] = 'a';
    header[38] = 't';
    header[39] = 'a';
    put_u32(&header[40], unknown_length);
    return header;
}

void to_pcm16(const float *samples, size_t count, uint8_t *out) {
    for (size_t i = 0; i < count; ++i) {
        float sample = std::isnan(samples[i]) ? 0.0f : std::clamp(samples[i], -1.0f, 1.0f);
        auto value = static_cast<int16_t>(std::lrint(sample * 32767.0f));
        put_u16(out + i * pcm16_sample_bytes, static_cast<uint16_t>(value));
    }
}

} // namespace audio
