// Connecting to a station on a worker thread (the newest request wins), the buffering poll
// on the window's thread, Stop, the end of a stream and the connection error box.
#pragma once

// Private messages through which workers have the window's thread run the status timer.
#define WM_START_STATUS_TIMER (WM_APP + 1)
#define WM_KILL_STATUS_TIMER (WM_APP + 2)
// Posted when a station starts or stops: the window's thread updates what the system shows.
#define WM_PLAYBACK_CHANGED (WM_APP + 3)
#define STATUS_TIMER_ID 0
#define STATUS_TIMER_PERIOD_MS 50

// Window's thread: starts a worker with its own copy of url.
void start_connection_worker(const char *url);
// Window's thread: one tick of the buffering poll.
void status_timer_tick();
// Window's thread: the Stop button.
void stop_command();
// Window's thread: Stop without moving the focus (media keys).
void stop_playback();
// Any thread: from a station's choice (or Play) until Stop, its end or a failed connection.
bool station_running();
// Before a new window is created in the same process (tests).
void reset_station_running();
// Any thread: "text\n(Error Code: n)" with the calling thread's library error code.
void show_error(const char *text);
