// Unicode conversions the input's tag parsers share (ASF header texts, ID3 frames).
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

// Appends one code point as UTF-8.
void append_utf8(std::string &out, uint32_t code_point);

// UTF-16 up to its first NUL (or the end), as UTF-8; broken surrogates become U+FFFD.
std::string utf16_to_utf8(const uint8_t *data, size_t size, bool big_endian = false);

} // namespace audio
