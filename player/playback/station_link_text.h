// What a station link handed to the player names: a stream's address, or a playlist file
// saved from a web page (PLS, M3U, extended M3U, ASX) whose first stream address is played.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>

// Local playlists are a few lines; anything larger is not one.
constexpr size_t link_playlist_max = 256 * 1024;

// An address the audio library opens: http://, https://, mms:// or mmsh://, any letter case.
bool is_stream_address(std::string_view text);

// The first stream address a playlist's text lists, or "" when it lists none. The kind is
// told from the text, not from a file name: "[playlist]" opens a PLS, an <asx> element an ASX,
// anything else is read as M3U lines.
std::string first_playlist_entry(std::string_view text);
