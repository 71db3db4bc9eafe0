// The song title a stream's tag carries: what the title line shows and what the recorder
// names and tags a song's file after, so both read it alike. Titles are text from a
// stranger's server: bounded where cut, never split inside a character. Pure; any thread.
#pragma once

#include <optional>
#include <string>

// From a tag the audio library hands over:
// - BASS_TAG_META, ICY metadata "StreamTitle='...';" (the library gives an HLS station's ID3
//   titles in the same form);
// - BASS_TAG_OGG, Ogg comments: "artist - title", cut to 99 bytes at a character boundary,
//   or the title alone;
// - BASS_TAG_WMA_META, the title itself.
// Bytes are decoded as UTF-8, else Windows-1252 (decode_station_text). Nothing when the type
// is another, the tag is null, or it holds no title (the title line then keeps its text).
std::optional<std::u16string> stream_title(unsigned tag_type, const char *tags);
