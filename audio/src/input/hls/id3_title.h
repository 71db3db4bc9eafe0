// Song titles in ID3v2 tags, as HLS carries them: at the start of packed-audio segments and
// as timed metadata in MPEG-TS. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace audio {

// The whole size of the ID3v2 tag at data (header, frames, footer); 0 if none starts there.
// May exceed size when the tag is cut.
size_t id3_tag_size(const uint8_t *data, size_t size);

// The title the tag names, as "StreamTitle='Artist - Title';" (UTF-8): from a TXXX or PRIV
// frame that already carries a StreamTitle, else from TPE1 and TIT2. nullopt without one.
std::optional<std::string> id3_stream_title(const uint8_t *data, size_t size);

} // namespace audio
