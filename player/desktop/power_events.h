// Sleep and wake: before Windows suspends, a running recording is finished and named and the
// station stopped; when it resumes, a station that was playing is chosen again at once, so
// it never sits on a dead connection, and tried again while the network is still coming
// back. While a recording runs or is being finished, Windows is asked not to sleep on idle;
// while only playing, nothing is asked. All on the window's thread.
#pragma once

#include <windows.h>

// WM_POWERBROADCAST's event (wparam).
void handle_power_event(WPARAM event);
// After anything that may have started or finished a recording: asks, or stops asking, that
// the system stay awake. Asks the system only when that changes.
void keep_awake_while_recording();
// Window's destruction: stops asking, forgets a station to reconnect.
void end_power_events();

// What is asked of the system goes through this call: SetThreadExecutionState unless a test
// has put a stand-in here (null gives SetThreadExecutionState back).
using execution_state_call = EXECUTION_STATE(WINAPI *)(EXECUTION_STATE state);
void set_execution_state_call(execution_state_call call);
