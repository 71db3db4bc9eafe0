// One player at a time. A second start of brevora.exe hands its argument (a station link, or
// nothing) to the player already running, brings that one's window forward and ends, rather
// than play a second stream over it. The running player holds a named mutex and marks its
// window with a property that the second start looks for; the argument travels as
// WM_COPYDATA (UTF-16, no terminator).
#pragma once

#include <windows.h>

#include <string>

// Start-up, before anything else (main thread). True when this start goes on: no player is
// running, or none could be reached in time. False when the argument was handed over.
bool claim_single_player(const std::wstring &argument);
// The end of the run (main thread): the next start is a first one again.
void release_single_player();

// Window's set-up and destruction: the window a second start hands its argument to.
void mark_player_window(HWND window);
void unmark_player_window(HWND window);

// Window's thread, on WM_COPYDATA: true when it is a second start's hand-over. Brings the
// window forward and has it play the link handed over, if any, once the second start has been
// answered (WM_PLAY_STATION_LINK).
bool take_second_start(HWND window, const COPYDATASTRUCT *data);
