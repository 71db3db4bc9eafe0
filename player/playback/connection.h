// Connecting to a station on a worker thread (the newest request wins), the buffering poll
// on the window's thread, Stop, the end of a stream and the connection error box. The
// window messages these use are in window_messages.h.
#pragma once

#include "brevora_audio.h"

#include <windows.h>

// Set-up: what Stop or a new connection hands the current stream to before it goes. The
// window installs the recorder here (recording sits above playback): while it records the
// stream, it takes it (returns true) and frees it once the recording's file is complete, in
// the background; the stream is silent from then on and playback no longer knows it.
// Called on the window's thread with stream_lock held.
void set_stream_taker(bool (*take)(HSTREAM stream));

// Window's thread: hands a recorded stream over, then starts a worker with its own copy of
// url.
void start_connection_worker(const char *url);
// Window's thread: for the next milliseconds, a connection that fails is tried again every
// two seconds, its station line saying "waiting for the network...", instead of showing the
// error box; a connection that works, Stop, or the time running out ends this.
void retry_failed_connections_for(DWORD milliseconds);
// Window's thread: WM_RETRY_CONNECTION from the worker of request; waits out the pause
// (RETRY_TIMER_ID) unless a newer request or Stop came first.
void schedule_connection_retry(int request);
// Window's thread: the pause is over (WM_TIMER with RETRY_TIMER_ID); connects again.
void retry_connection();
// Window's thread: the buffering poll's timer, started once a worker's stream exists (not
// while the window closes) and stopped before a worker replaces the stream.
void start_status_timer();
void stop_status_timer();
// Window's thread: one tick of the buffering poll.
void status_timer_tick();
// Window's thread: how full the download buffer is while the poll waits for it, in
// percent; -1 when nothing is buffering.
int buffering_percent();
// Window's thread: the Stop button.
void stop_command();
// Window's thread: Stop without moving the focus (media keys), also as the window closes.
// Returns at once: a recorded stream goes to the recorder.
void stop_playback();
// Any thread: from a station's choice (or Play) until Stop, its end or a failed connection.
bool station_running();
// Before a new window is created in the same process (tests).
void reset_station_running();
// Any thread: an error box "text\n(Error Code: n)" with the calling thread's audio library
// error code.
void show_library_error(const char *text);
