// Vorbis comment blocks ("NAME=value" lists, as FLAC and Ogg codecs carry them), read from a
// chained Ogg FLAC link's metadata packets, which the Ogg demuxer passes on as data.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// A comment block (vendor string, count, then each comment, lengths 32-bit little endian).
// Reads what fits: a length that runs past the end stops the list there.
std::vector<std::string> parse_vorbis_comment(const uint8_t *data, size_t size);

// What an Ogg FLAC packet is: a link's first packet ("\x7f" "FLAC", stream info), one of its
// metadata blocks (comments among them), or audio.
enum class ogg_flac_packet { link_start, comments, other_metadata, audio };
ogg_flac_packet classify_ogg_flac_packet(const uint8_t *data, size_t size);

} // namespace audio
