// Recording the playing stream to MP3 through the external encoder, from the start of the
// song playing (as far as the library's history reaches). The encoder writes the working
// file "rec.mp3"; a finished recording is renamed after the song title taken when it started
// (record_target), or, with Songs checked, each song gets a file of its own, named after it
// (" (part)" when the file misses the song's start or end) as the library finishes it.
// Every finished file is tagged: title and artist, the station as album, its address as
// comment. All on the window's thread, except the naming of a song's file (the encoder's).
#pragma once

// Finishes a started recording, also one whose encoder has ended by itself, and gives its
// file its final name. With reset_controls also releases the Record button and restores
// the title "Brevora". Returns whether a recording had been started.
bool stop_recording(bool reset_controls);

// The Record button: starts a recording, or finishes the running one.
void record_command();
// The same without moving the focus (the taskbar's Record button); the Record button's
// check mark must already show the state asked for.
void toggle_recording();

// Replaces record_target with the text form of a new UUID.
void make_uuid_name();
