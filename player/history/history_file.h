// This run's song history: the songs of history.csv beside the program, held in memory and
// written to the file as they are heard (one line appended and flushed per song, so a crash
// loses at most the song playing). The file keeps the newest history_songs_kept songs: past
// that it is rewritten whole through a temporary file and a replace. A file that cannot be
// read as a history is renamed history.csv.bad (never deleted) and a new one begun. All on
// the window's thread.
#pragma once

#include "history/song_history.h"

#include <string>
#include <vector>

// "history.csv" beside the running program.
std::wstring history_file_path();

// Start-up: reads the file. Without one, the history starts empty.
void load_song_history();
// Oldest first, as in the file.
const std::vector<heard_song> &song_history();

// A song title heard on a station (its name as the list gives it, or the stream's own): listed
// and written unless it is empty or a repeat (worth_listing). True when it was listed.
bool history_song_heard(const std::wstring &station, const std::wstring &title);
// Empties the history and its file. False when the file could not be rewritten (the songs are
// then kept).
bool clear_song_history();
// Writes the history, in the file's format and order, to path (through path.tmp and a replace).
bool export_song_history(const std::wstring &path);

// Told after every change of the history (the History window follows it); null for none. A
// song added may have pushed the oldest out.
enum class history_change { added, cleared };
void set_song_history_listener(void (*changed)(history_change));
