// Feeds arbitrary bytes to the player's readers of files from outside: history.csv (edited by
// hand or by a spreadsheet program, or cut by a crash) and a playlist saved from a web page.
// A history read is written and read back the same; a playlist gives a stream address or
// nothing.
#include "fuzz_require.h"
#include "history/song_history.h"
#include "playback/station_link_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const history_reading reading = parse_history(text);
    if (reading.readable) {
        std::string written = history_file_start();
        for (const heard_song &song : reading.songs)
            written += format_history_line(song);
        const history_reading again = parse_history(written);
        require(again.readable && !again.torn_end && again.songs.size() == reading.songs.size());
        for (size_t i = 0; i < again.songs.size(); ++i)
            require(again.songs[i].time == reading.songs[i].time &&
                    again.songs[i].station == reading.songs[i].station &&
                    again.songs[i].title == reading.songs[i].title);
    }
    const std::string entry = first_playlist_entry(text);
    require(entry.empty() || (is_stream_address(entry) && entry.size() <= size));
    return 0;
}
