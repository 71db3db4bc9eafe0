// One HLS segment's bytes made ready for the decoder: AES-128 decryption, and the audio
// and song titles taken out of its container (packed audio with ID3, or MPEG-TS).
// Fragmented MP4 passes through unchanged. Pure; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

using aes_block = std::array<uint8_t, 16>;

// The IV a segment without an explicit one uses: its media sequence number, big-endian.
aes_block sequence_iv(uint64_t sequence);

// Decrypts AES-128-CBC in place and removes the PKCS#7 padding; false when data is not
// whole blocks or the padding is wrong.
bool decrypt_aes128(std::string &data, const aes_block &key, const aes_block &iv);

struct unpacked_segment {
    std::string audio;               // bytes for the decoder
    std::vector<std::string> titles; // "StreamTitle='...';" texts, in order
};

// Packed audio loses its ID3 tags (their titles are kept); MPEG-TS gives its audio track
// and the titles of its timed ID3; anything else (fragmented MP4) passes unchanged.
unpacked_segment unpack_segment(std::string bytes);

} // namespace audio
