// Reading extended M3U playlists: the line rule, the markers, the "#EXTINF:" title and
// which lines make a row. Portable C++ with no platform calls; the editor's import and
// the fuzz target share it.
#pragma once

#include <cstddef>
#include <cstdio>

// A read yields at most 255 characters; a longer line arrives as several pieces.
constexpr size_t playlist_line_size = 256;
// "#EXTINF:" and at least one comma leave at most 246 characters of a 255-character line.
constexpr size_t playlist_title_size = 247;

// Reads the next line piece of file (opened in binary mode) into line: the characters up
// to and including the next line feed, at most 255 of them, NUL-terminated. A carriage
// return directly before a line feed is dropped; any other one stays. Returns false when
// the file has no more characters.
bool read_playlist_line(std::FILE *file, char line[playlist_line_size]);

// True for a line that begins with "#EXTM3U" (case-sensitive).
bool is_m3u_marker_line(const char *line);
// True for a line that begins with "#EXTINF:" (case-sensitive).
bool is_extinf_line(const char *line);

// Copies the title of an "#EXTINF:" line into title (cut to title_size - 1 characters):
// the text after the first comma that follows "#EXTINF:", without leading spaces and
// without any commas, carriage returns or line feeds. Empty when there is no comma.
void parse_extinf(const char *line, char *title, size_t title_size);

// True when the file at path can be opened and holds a line piece that begins with
// "#EXTM3U".
bool is_extended_m3u(const char *path);

// What one import remembers between lines: the title of the last "#EXTINF:" line and
// whether that line still waits for its URL line. Zero-initialise it per import.
struct playlist_entry_state {
    char title[playlist_title_size];
    bool waiting_for_url;
};

// Feeds one line piece to the import. Returns true when the piece is the URL line of an
// entry that becomes a row: its name is state->title and its URL, the piece without its
// line feed, is copied into url (cut to url_size - 1 characters).
bool take_playlist_line(playlist_entry_state *state, const char *line, char *url, size_t url_size);
