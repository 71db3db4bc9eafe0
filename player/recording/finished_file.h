// A finished recording's file on disk: the encoder writes a working file ("rec.mp3"); once
// complete it is renamed after its song (or a UUID when the title gives no usable name) and
// tagged with the song, the station as album and its address as comment. Any thread (the
// window's, the encoder's for a song of a split recording, or the one finishing a recording).
#pragma once

#include <string>

// Where one recording's encoder writes and the station its files are tagged with: fixed
// when it starts. A recording still being finished keeps its working file, so the next one
// writes another.
struct recording_files {
    std::u16string working_file;
    std::u16string station_name, station_address;
};

// The working file of the `number`th recording under way at once, from 1: "rec.mp3", then
// "rec (2).mp3", "rec (3).mp3", ...
std::u16string working_file_name(int number);

// The final name (no folder) for a file of the song `title`: the title made a valid file
// name by the platform's rule (PathCleanupSpec), then bounded to the current folder and
// unique, " (part)" when the file misses its song's start or end; else a UUID's name.
std::u16string final_name(const std::u16string &title, bool part);
// Gives the recording's working file `name` (a UUID's if the file system refuses it, as a
// working file left behind would be overwritten by a later recording), then tags it.
void name_recording(const recording_files &files, const std::u16string &name,
                    const std::u16string &title);
// A working file left by a player that ended mid-recording was never renamed: it gets a name
// of its own before a new recording would overwrite it.
void keep_leftover_recording(const std::u16string &working_file);
