#include "playback/sleep_timer.h"

int sleep_minutes_left(int64_t remaining_ms) {
    if (remaining_ms <= 0)
        return 0;
    return static_cast<int>((remaining_ms + 59999) / 60000);
}

uint32_t faded_volume(uint32_t full_volume, int64_t remaining_ms) {
    if (remaining_ms >= sleep_fade_ms)
        return full_volume;
    if (remaining_ms <= 0)
        return 0;
    return static_cast<uint32_t>(uint64_t{full_volume} * static_cast<uint64_t>(remaining_ms) /
                                 sleep_fade_ms);
}

#ifdef _WIN32

#include "brevora_audio.h"
#include "playback/connection.h"
#include "playback/volume.h"
#include "playback/window_messages.h"

namespace {

// All on the window's thread.
HWND timer_window;
int chosen_minutes; // 0: off
ULONGLONG deadline; // the clock at the stop; it counts on while the computer sleeps
bool fading;        // the stream volume is below the slider's
sleep_clock_call clock_now = GetTickCount64;

int64_t remaining_ms() {
    return static_cast<int64_t>(deadline - clock_now());
}

void give_volume_back() {
    if (fading)
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, slider_volume());
    fading = false;
}

void turn_off() {
    KillTimer(timer_window, SLEEP_TIMER_ID);
    give_volume_back();
    chosen_minutes = 0;
}

} // namespace

void set_up_sleep_timer(HWND window) {
    timer_window = window;
    chosen_minutes = 0;
    fading = false;
}

void choose_sleep_minutes(int minutes) {
    turn_off();
    if (minutes <= 0)
        return;
    chosen_minutes = minutes;
    deadline = clock_now() + static_cast<ULONGLONG>(minutes) * 60000;
    SetTimer(timer_window, SLEEP_TIMER_ID, sleep_tick_ms, nullptr);
}

int sleep_timer_choice() {
    return chosen_minutes;
}

int sleep_timer_minutes_left() {
    return chosen_minutes ? sleep_minutes_left(remaining_ms()) : 0;
}

bool sleep_timer_due() {
    return chosen_minutes && remaining_ms() <= 0;
}

bool sleep_timer_tick() {
    if (!chosen_minutes) {
        turn_off(); // the tick after the stop: the volume back for the next play
        return false;
    }
    const int64_t remaining = remaining_ms();
    if (remaining <= 0) {
        // Silent before the stream goes, so the stop makes no click; also when the computer
        // slept through the fade. A recorded stream leaves the mixer on its recorder's
        // thread, so the volume comes back a tick later, once it can no longer be heard.
        fading = true;
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 0);
        stop_playback();
        chosen_minutes = 0;
        SetTimer(timer_window, SLEEP_TIMER_ID, sleep_fade_tick_ms, nullptr);
        return true;
    }
    if (remaining < sleep_fade_ms) {
        if (!fading)
            SetTimer(timer_window, SLEEP_TIMER_ID, sleep_fade_tick_ms, nullptr);
        fading = true;
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, faded_volume(slider_volume(), remaining));
    }
    return false;
}

void end_sleep_timer() {
    turn_off();
    timer_window = nullptr;
}

void set_sleep_clock(sleep_clock_call clock) {
    clock_now = clock ? clock : GetTickCount64;
}

#endif
