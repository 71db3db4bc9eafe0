// Recording the playing stream to MP3 through the external encoder, from the start of the
// song playing (as far as the library's history reaches). A finished recording is named
// after the song title taken when it started (record_target), or, with Songs checked, each
// song gets a file of its own as the library finishes it (finished_file.h names and tags
// them). Started on the window's thread; finished on a thread of its own, since the library
// may still be encoding the song's history when Record, Stop, a station change or the close
// box end it: those return at once, and the window learns when the file is complete
// (WM_RECORDING_FINISHED).
#pragma once

#include "brevora_audio.h"

constexpr int record_target_size = 260; // wide characters, terminator included

extern wchar_t *record_target; // record_target_size wide characters
extern HENCODE encoder_handle;
// A recording was started and not yet handed over to be finished, whether or not its
// encoder still runs.
extern bool recording_started;

// Window's thread. Hands a started recording, also one whose encoder has ended by itself, to
// a thread that lets its encoder finish the file, then names and tags it; the stream plays
// on. With reset_controls also releases the Record button and restores the title "Brevora".
// Returns whether a recording had been started.
bool stop_recording(bool reset_controls);
// Playback's hook (set_stream_taker): while `stream` is recorded, the recording is handed
// over as by stop_recording(true) and the stream with it, freed first (it is silent at once)
// so that its encoder finishes the file. Returns whether it took the stream.
bool take_recorded_stream(HSTREAM stream);

// Window's thread, on WM_RECORDING_FINISHED: forgets the recordings whose files are complete.
void forget_finished_recordings();
// Window's thread: a recording runs, or one is still being finished.
bool recordings_unfinished();
// After the window has gone, before the library is released: finishes a recording still
// running and waits until every recording's file is complete. The program's only wait for
// its recordings; it waits for nothing else.
void finish_recordings();

// The Record button: starts a recording, or finishes the running one.
void record_command();
// The same without moving the focus (the taskbar's Record button); the Record button's
// check mark must already show the state asked for.
void toggle_recording();
