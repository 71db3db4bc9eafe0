// Recording the playing stream to MP3 through the external encoder, from the start of the
// song playing (as far as the library's history reaches). A finished recording is named
// after the song title taken when it started (record_target), or, with Songs checked, each
// song gets a file of its own as the library finishes it (finished_file.h names and tags
// them). All on the window's thread, except the naming of a song's file (the encoder's).
#pragma once

#include "brevora_audio.h"

constexpr int record_target_size = 260; // wide characters, terminator included

extern wchar_t *record_target; // record_target_size wide characters
extern HENCODE encoder_handle;
// A recording was started and its file not yet named, whether or not its encoder still runs.
extern bool recording_started;

// Finishes a started recording, also one whose encoder has ended by itself, and gives its
// file its final name. With reset_controls also releases the Record button and restores
// the title "Brevora". Returns whether a recording had been started.
bool stop_recording(bool reset_controls);
// The same with reset_controls, for playback's hook before a stream stops or is replaced.
void finish_recording();

// The Record button: starts a recording, or finishes the running one.
void record_command();
// The same without moving the focus (the taskbar's Record button); the Record button's
// check mark must already show the state asked for.
void toggle_recording();
