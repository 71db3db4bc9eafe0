// What the keyboard's media keys, the system's media controls and the taskbar's buttons ask
// of the player: play/pause, play, pause, stop, next and previous station. Each does what
// the window's own controls do (the Stations menu for next and previous), but none of them
// takes the keyboard focus: the window may be behind another program's. All on the
// window's thread.
#pragma once

#include <windows.h>

enum class media_command { play_pause, play, pause, stop, next, previous };

void run_media_command(media_command command);

// The command of a WM_APPCOMMAND message (GET_APPCOMMAND_LPARAM); false when it is not a
// media command the player answers, so the message goes on to the system.
bool run_app_command(int app_command);

// Set-up: takes the media keys from the system while another window has the focus, through
// the shell's hook for application commands (used when the system's media controls are
// missing). Returns whether the system took the registration.
bool listen_to_shell_app_commands(HWND window);
void stop_listening_to_shell_app_commands(HWND window);
// Whether a dialog message is the shell hook's; runs its command if it is one.
bool handle_shell_hook_message(UINT message, WPARAM wparam, LPARAM lparam);
