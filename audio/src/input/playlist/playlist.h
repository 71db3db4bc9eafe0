// Station playlists (PLS, M3U / extended M3U, ASX, WMS "[Reference]"): recognising them by
// Content-Type or by their first bytes, and listing their entries. Pure functions.
#pragma once

#include <string>
#include <vector>

namespace audio {

enum class playlist_kind { none, pls, m3u, asx, hls };

// Bodies larger than this are not station playlists; reading stops there.
constexpr size_t max_playlist_size = 256 * 1024;

// What a Content-Type (lower case, without parameters) says. video/x-ms-asf is also a real
// ASF stream's type, so for it this answers none and the caller must sniff.
playlist_kind playlist_kind_from_content_type(const std::string &content_type);

// What the first bytes of a body look like. Answers hls for an M3U with #EXT-X- tags (a
// segment list, not a station list) and none for anything else, media included.
playlist_kind sniff_playlist(const std::string &first_bytes);

// The entries in document order, as written (relative references are the caller's to
// resolve). Empty when there are none. An ASX's <ENTRYREF> (another ASX to read) is listed
// like a <REF> unless with_entry_refs is false: a list reached through one is not allowed
// to lead further, so an ENTRYREF is followed once.
std::vector<std::string> parse_playlist(playlist_kind kind, const std::string &text,
                                        bool with_entry_refs = true);
// The ASX's ENTRYREF targets, as written.
std::vector<std::string> asx_entry_refs(const std::string &text);

} // namespace audio
