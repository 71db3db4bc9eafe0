// A finished recording's file on disk: the encoder writes the working file "rec.mp3"; once
// complete it is renamed after its song (or a UUID when the title gives no usable name) and
// tagged with the song, the station as album and its address as comment. Any thread (the
// window's, or the encoder's for a song of a split recording).
#pragma once

#include <string>

// The station every file of a recording is tagged with. Written when a recording starts, on
// the window's thread, while no encoder runs; read by the encoder's thread.
struct recorded_station {
    std::u16string name, address;
};
extern recorded_station recording_station;

// The final name (no folder) for a file of the song `title`: the title made a valid file
// name by the platform's rule (PathCleanupSpec), then bounded to the current folder and
// unique, " (part)" when the file misses its song's start or end; else a UUID's name.
std::u16string final_name(const std::u16string &title, bool part);
// Gives the working file `name` (a UUID's if the file system refuses it, as a "rec.mp3"
// left behind would be overwritten by the next recording), then tags it.
void name_recording(const std::u16string &name, const std::u16string &title);
// A "rec.mp3" left by a player that ended mid-recording was never renamed: it gets a name
// of its own before a new recording would overwrite it.
void keep_leftover_recording();
