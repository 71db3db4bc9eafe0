// What the encoder program reads: a WAV header for 16-bit PCM of unknown length, then the
// samples. Pure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace audio {

constexpr size_t wav_header_size = 44;
constexpr size_t pcm16_sample_bytes = 2;

// The RIFF and data lengths say "unknown" (0xFFFFFFFF): the audio is live and its length is
// not known when the header is written, and a pipe cannot be rewound to fix it afterwards.
std::array<uint8_t, wav_header_size> streaming_wav_header(uint32_t rate, uint16_t channels);

// Converts float samples (full scale ±1) to 16-bit little-endian, clipping what lies beyond.
// `out` receives count * pcm16_sample_bytes bytes.
void to_pcm16(const float *samples, size_t count, uint8_t *out);

} // namespace audio
