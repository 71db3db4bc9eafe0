// Every message the player's window receives besides the system's own: who sends or posts
// it, from which thread, and what the window does with it. The window (main_dialog.cpp)
// dispatches each; nothing else defines a WM_APP identifier.
#pragma once

#include <windows.h>

// Sent (synchronously) by a connection worker once its stream exists: the window starts the
// status timer below, unless it is closing. The worker waits for it, so the window may wait
// for workers only while it answers sent messages (connection_workers.h).
#define WM_START_STATUS_TIMER (WM_APP + 1)
// Sent by a connection worker before it replaces the stream: the window stops the timer,
// so no tick polls the stream being freed.
#define WM_KILL_STATUS_TIMER (WM_APP + 2)
// Posted from any thread (window, workers, the library's end-of-stream sync) when a station
// starts or stops: the window shows the state to the system (media controls, taskbar).
#define WM_PLAYBACK_CHANGED (WM_APP + 3)
// Posted by the system's thread that reports a press in its media controls, with a
// media_command in wparam: the window runs the command, then shows the new state.
#define WM_SYSTEM_MEDIA_BUTTON (WM_APP + 4)
// Posted from any thread after the song title line changed: the window has screen readers
// announce it and gives it to the system's media controls.
#define WM_NOW_PLAYING_CHANGED (WM_APP + 5)
// Sent by the shell on the window's thread for the notification icon (its callback message),
// with the mouse message (WM_LBUTTONUP, WM_RBUTTONUP, ...) in lparam: a left click shows or
// hides the window, a right click opens the tray menu (desktop/notification_icon.h).
#define WM_NOTIFICATION_ICON (WM_APP + 6)
// Posted by a connection worker whose connection failed while failures are retried (after
// the computer woke), with its request number in wparam: the window waits out a pause
// (RETRY_TIMER_ID) and connects again, unless a newer request or Stop came first
// (playback/connection.h).
#define WM_RETRY_CONNECTION (WM_APP + 7)
// Posted by the window's own set-up: the window plays the command line's station link, or
// else resumes the last station (playback/station_link.h, playback/resume.h).
#define WM_START_PLAYING (WM_APP + 8)
// Posted by the window to itself when a second start handed over a link (WM_COPYDATA,
// desktop/single_instance.h), so that the second start is answered at once: the window
// plays the link.
#define WM_PLAY_STATION_LINK (WM_APP + 9)
// Posted by the thread that finishes a recording in the background (recording/recording.h),
// once its file is complete, named and tagged (a recording of songs: its last file): the
// window forgets that thread, and the recording's working file may be written again.
#define WM_RECORDING_FINISHED (WM_APP + 10)

// WM_TIMER with this identifier, every STATUS_TIMER_PERIOD_MS from WM_START_STATUS_TIMER
// until buffering ends or Stop: the window polls the buffering (status_timer_tick).
#define STATUS_TIMER_ID 0
#define STATUS_TIMER_PERIOD_MS 50
// WM_TIMER with this identifier while the sleep timer runs, every second and every quarter
// second in its fade: the window fades and, at the end, stops (playback/sleep_timer.h).
#define SLEEP_TIMER_ID 2
// WM_TIMER with this identifier once, the pause before a failed connection is tried again.
#define RETRY_TIMER_ID 3

// WM_COPYDATA from a second start of the program (another process), tagged as desktop/
// single_instance.h says: its station link, or nothing; the window comes forward.
//
// Messages whose identifiers the system registers at run time by name (RegisterWindowMessage):
// - "TaskbarButtonCreated", sent by the taskbar on the window's thread when the program's
//   button exists (again after Explorer restarted): the window adds its thumbnail buttons
//   (desktop/taskbar_button.h).
// - "SHELLHOOK", sent by the shell once the window registered for it, when no system media
//   controls exist: the window runs the media key the focused window left unanswered
//   (desktop/media_commands.h).
// - "TaskbarCreated", sent by Explorer to every top-level window when it has (re)started:
//   the window adds its notification icon again (desktop/notification_icon.h).
