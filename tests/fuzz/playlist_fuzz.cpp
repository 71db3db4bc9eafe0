// Playlist recognition and parsing on any text; every entry parsed is resolved as a URL.
#include "input/playlist/playlist.h"
#include "input/http/url.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    static const audio::url base = *audio::parse_url("http://radio.example:8000/dir/list.pls");
    audio::playlist_kind sniffed = audio::sniff_playlist(text);
    for (audio::playlist_kind kind : {audio::playlist_kind::pls, audio::playlist_kind::m3u,
                                      audio::playlist_kind::asx, sniffed}) {
        for (const std::string &entry : audio::parse_playlist(kind, text)) {
            if (entry.empty()) {
                __builtin_trap();
            }
            (void)audio::resolve_reference(base, entry);
        }
    }
    // An ASX reached through an ENTRYREF lists only what the whole ASX lists.
    size_t all = audio::parse_playlist(audio::playlist_kind::asx, text).size();
    if (audio::parse_playlist(audio::playlist_kind::asx, text, false).size() +
            audio::asx_entry_refs(text).size() !=
        all) {
        __builtin_trap();
    }
    (void)audio::parse_url(text);
    return 0;
}
