// What screen readers need beyond the controls' own texts: names a control's text cannot
// give, the title line marked as a live region, and the announcement of a new song title.
// All on the window's thread.
#pragma once

#include <windows.h>

// Set-up: names and live-region marks for assistive technology.
void annotate_for_screen_readers(HWND window);
// The title line changed: screen readers announce it.
void announce_title_change(HWND window);
// Window's destruction.
void remove_screen_reader_annotations(HWND window);
