// The program's taskbar button: a thumbnail toolbar with Play/Stop and Record showing their
// state, and the buffering progress as the button's progress bar. The taskbar is there only
// after it sent "TaskbarButtonCreated"; until then (and on systems without it) every
// function here does nothing. All on the window's thread.
#pragma once

#include <windows.h>

// Whether message is the taskbar's "TaskbarButtonCreated"; then sets up the button.
bool handle_taskbar_message(UINT message);
// Shows the current playing and recording state on the thumbnail buttons, and the buffering.
void update_taskbar_buttons();
// Shows playback's buffering percentage as the button's progress bar; none when it is -1.
void show_buffering_progress();
// Window's destruction: lets go of the taskbar.
void release_taskbar_button();
