// The audio library's start and end for the window's lifetime: its device, codec plug-ins
// and network settings, and the lock the connection workers share. Window's thread.
#pragma once

#include "settings/startup_settings.h"

#include <windows.h>

// Set-up, before any stream exists: streams keep the history they are created with.
void start_playback(HWND window, const startup_settings &settings);
// After the window has gone and its recordings are complete. Releasing the library first
// makes any worker still connecting return at once, so the wait for the workers is short;
// only then is their lock destroyed.
void end_playback();
