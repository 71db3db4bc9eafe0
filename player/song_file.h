// A recorded song's file: its title from the stream's tag, its file name, and the ID3v2 tag
// written before its audio. Titles are text from a stranger's server, so everything here
// treats them as hostile: bounded, cleaned, never split inside a character. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The song's title as the title line shows it, from a tag the audio library hands over:
// BASS_TAG_META ("StreamTitle='...';"), BASS_TAG_OGG (comments: "artist - title", or the
// title alone) or BASS_TAG_WMA_META (the title itself). Bytes are decoded as UTF-8 or
// Windows-1252 (decode_station_text). An unknown type, a null tag or one without a title
// gives "".
std::u16string song_title_from_tags(unsigned tag_type, const char *tags);

struct song_fields {
    std::u16string title, artist, album, comment;
};

// Artist and title from a shown title "Artist - Title", split at the first " - "; without
// one, all of it is the title.
song_fields split_song_title(const std::u16string &shown);

// The recording's file name (no folder) for a song: the title made a valid Windows file name,
// " (part)" when the file misses its song's start or end, " (2)" ... " (999)" while `exists`
// says the name is taken, and ".mp3". The name and its terminator fit `room` characters: the
// title is cut to make room, never inside a surrogate pair. "" when the title leaves nothing
// usable or every number is taken: the caller then names the file otherwise.
std::u16string song_file_name(const std::u16string &title, bool part,
                              const std::function<bool(const std::u16string &)> &exists,
                              size_t room);

// An ID3v2.3 tag holding the non-empty fields (title TIT2, artist TPE1, album TALB, comment
// COMM in English), each as UTF-16 with a byte order mark and cut at about 1,000 characters.
// Written in front of the MP3 data. Empty when every field is.
std::vector<uint8_t> id3v2_tag(const song_fields &fields);
