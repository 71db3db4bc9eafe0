// The sleep timer: after the chosen minutes the player stops as Stop does (a running
// recording finished and named first), its last 30 seconds fading the volume out; the volume
// is back where the slider has it for the next play. Choosing again replaces the timer, Off
// cancels it, a station choice leaves it running. The arithmetic is pure (any thread); the
// timer itself runs on the window's thread, on a window timer of its own.
#pragma once

#include <cstdint>

constexpr int64_t sleep_fade_ms = 30000;
constexpr int sleep_tick_ms = 1000;     // before the fade: only the minutes left change
constexpr int sleep_fade_tick_ms = 250; // during the fade: 120 steps, too small to hear

// Whole minutes left, rounded up, so "Sleep in 1 min" shows until the end; 0 once it is due.
int sleep_minutes_left(int64_t remaining_ms);
// The stream volume remaining_ms before the stop: full until the fade, then falling in a
// straight line to 0 at the stop.
uint32_t faded_volume(uint32_t full_volume, int64_t remaining_ms);

#ifdef _WIN32
#include <windows.h>

// Set-up: the window whose timer (SLEEP_TIMER_ID) runs the countdown. The fade reads the
// slider at every step, so a slider moved during the fade is followed.
void set_up_sleep_timer(HWND window);
// Starts the timer for minutes (1 to 720), replacing a running one; 0 cancels it. Either way
// a fade in progress gives the volume back.
void choose_sleep_minutes(int minutes);
// The minutes last chosen, 0 when the timer is off.
int sleep_timer_choice();
// Minutes left, rounded up; 0 when the timer is off.
int sleep_timer_minutes_left();
// Whether the running timer's time is up (after the computer slept through its end).
bool sleep_timer_due();
// The timer's WM_TIMER: fades, and when the time is up stops playback and turns the timer
// off. Returns whether it ended.
bool sleep_timer_tick();
// Window's destruction: the timer ends with the window; a new window starts with none.
void end_sleep_timer();

// The clock the timer counts by, in milliseconds (GetTickCount64 when null): tests run a
// faster one.
using sleep_clock_call = ULONGLONG(WINAPI *)();
void set_sleep_clock(sleep_clock_call clock);
#endif
