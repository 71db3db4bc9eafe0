// The ID3v2.3 tag written before a recorded song's audio: title, artist, the station as
// album and its address as comment. Fields come from a stranger's server: each is bounded
// and never split inside a character. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct song_fields {
    std::u16string title, artist, album, comment;
};

// Artist and title from a shown title "Artist - Title", split at the first " - "; without
// one, all of it is the title.
song_fields split_song_title(const std::u16string &shown);

// An ID3v2.3 tag holding the non-empty fields (title TIT2, artist TPE1, album TALB, comment
// COMM in English), each as UTF-16 with a byte order mark and cut at about 1,000 characters.
// Written in front of the MP3 data. Empty when every field is.
std::vector<uint8_t> id3v2_tag(const song_fields &fields);
