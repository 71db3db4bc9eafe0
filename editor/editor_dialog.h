// The editor's window procedure and the program's run, shared by WinMain and the tests.
#pragma once

#include <windows.h>

// Dispatches the window's messages to the commands; does no work of its own.
INT_PTR CALLBACK editor_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the editor window on ini_path modally until Save or close, then frees the list.
// instance holds the window's template.
void run_editor(HINSTANCE instance);
