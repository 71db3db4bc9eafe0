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
// Posted by the thread that finishes a recording in the background (recording/recording.h),
// once its file is complete, named and tagged (a recording of songs: its last file): the
// window forgets that thread, and the recording's working file may be written again.
#define WM_RECORDING_FINISHED (WM_APP + 6)

// WM_TIMER with this identifier, every STATUS_TIMER_PERIOD_MS from WM_START_STATUS_TIMER
// until buffering ends or Stop: the window polls the buffering (status_timer_tick).
#define STATUS_TIMER_ID 0
#define STATUS_TIMER_PERIOD_MS 50

// Messages whose identifiers the system registers at run time by name (RegisterWindowMessage):
// - "TaskbarButtonCreated", sent by the taskbar on the window's thread when the program's
//   button exists (again after Explorer restarted): the window adds its thumbnail buttons
//   (desktop/taskbar_button.h).
// - "SHELLHOOK", sent by the shell once the window registered for it, when no system media
//   controls exist: the window runs the media key the focused window left unanswered
//   (desktop/media_commands.h).
