// Text onto the clipboard, as Unicode, for Copy in the main window, the tray menu and the
// History window. All on the window's thread.
#pragma once

#include <windows.h>

#include <string>

// Replaces the clipboard's content with text (CF_UNICODETEXT); an empty text leaves the
// clipboard as it was. False when the clipboard could not be had.
bool copy_text_to_clipboard(HWND owner, const std::wstring &text);

// The whole text of a window's control (the title line's, say), however long.
std::wstring control_text(HWND dialog, int control_id);
