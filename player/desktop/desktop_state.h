// The desktop's parts together: set up with the window, told whenever a station or a
// recording may have started or stopped or the song changed, and let go of at the end.
// All on the window's thread.
#pragma once

#include <windows.h>

// Set-up: the system's media controls (or, without them, the shell's hook for the media
// keys), the dark title bar, the screen-reader names, the notification icon and the tray
// options of the system menu.
void attach_desktop(HWND window);
// After anything that may have started or stopped a station or a recording.
void show_state_to_desktop();
// After the song title line changed: screen readers and the system's media controls.
void show_now_playing_to_desktop();
// Window's destruction, before the audio library goes.
void detach_desktop(HWND window);
