#include "connection.h"

#include "connection_workers.h"
#include "now_playing.h"
#include "player_ids.h"
#include "player_state.h"
#include "window_messages.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const DWORD stream_flags = BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE;

// From a connection request until Stop, the end of the stream or a failed connection. Set
// on the window's thread; workers and library threads clear it.
std::atomic<bool> running{false};

// The recorder, installed at set-up (set_stream_taker). Window's thread.
bool take_nothing(HSTREAM) {
    return false;
}
bool (*take_recorded_stream)(HSTREAM) = take_nothing;

// What the last tick of the buffering poll saw; -1 when no poll runs. Window's thread.
int shown_buffering = -1;

// The network comes back a few seconds after the computer wakes: until this GetTickCount64
// value a failed connection is tried again after a pause instead of showing its error box.
// Set on the window's thread, read by workers; a connection that works ends it.
std::atomic<ULONGLONG> quiet_retries_until{0};
const UINT connection_retry_pause_ms = 2000;
// The address of the newest request, for a retry. Window's thread.
std::string newest_url;

// Any thread: the playing state changed; the window's thread tells the system (media
// controls, taskbar) when it reads the message.
void set_running(bool now_running) {
    running.store(now_running);
    PostMessageW(main_window, WM_PLAYBACK_CHANGED, 0, 0);
}

// Library thread: shows the server's status text of the newest request.
void CALLBACK status_proc(const void *buffer, DWORD length, void *user) {
    if (length == 0 && buffer &&
        static_cast<int>(reinterpret_cast<intptr_t>(user)) == request_serial.load())
        set_line_text(IDC_INFO_LINE, static_cast<const char *>(buffer));
}

// Library thread: the stream has ended.
void CALLBACK end_sync(HSYNC, DWORD, DWORD, void *) {
    set_running(false);
    set_line_text(IDC_STATION_LINE, "not playing");
    set_line_text(IDC_TITLE_LINE, "");
    set_line_text(IDC_INFO_LINE, "");
}

// Worker thread: owns url and frees it.
unsigned __stdcall connection_worker(void *argument) {
    char *url = static_cast<char *>(argument);
    EnterCriticalSection(&stream_lock);
    const int request = ++request_serial;
    LeaveCriticalSection(&stream_lock);

    SendMessageW(main_window, WM_KILL_STATUS_TIMER, 0, 0);
    BASS_StreamFree(current_stream.load());
    set_line_text(IDC_STATION_LINE, "connecting...");
    set_line_text(IDC_TITLE_LINE, "");
    set_line_text(IDC_INFO_LINE, "");

    HSTREAM stream = BASS_StreamCreateURL(url, 0, stream_flags, status_proc,
                                          reinterpret_cast<void *>(intptr_t{request}));
    std::free(url);

    EnterCriticalSection(&stream_lock);
    if (request != request_serial.load()) {
        LeaveCriticalSection(&stream_lock);
        if (stream)
            BASS_StreamFree(stream);
        return 0;
    }
    current_stream.store(stream);
    LeaveCriticalSection(&stream_lock);

    if (!stream && GetTickCount64() < quiet_retries_until.load()) {
        // Still running: the window's thread tries again (retry_connection).
        set_line_text(IDC_STATION_LINE, "waiting for the network...");
        PostMessageW(main_window, WM_RETRY_CONNECTION, static_cast<WPARAM>(request), 0);
        return 0;
    }
    if (!stream) {
        set_running(false);
        set_line_text(IDC_STATION_LINE, "not playing");
        show_library_error("Can't play the stream");
        return 0;
    }
    quiet_retries_until.store(0);
    stream_is_wma.store(BASS_ChannelGetTags(stream, BASS_TAG_WMA) != nullptr);
    BASS_ChannelFlags(stream, BASS_STREAM_RESTRATE, BASS_STREAM_RESTRATE);
    SendMessageW(main_window, WM_START_STATUS_TIMER, 0, 0);
    return 0;
}

// How full the download buffer is, in percent.
DWORD buffer_progress(HSTREAM stream) {
    if (stream_is_wma.load())
        return static_cast<DWORD>(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_WMA_BUFFER));
    const DWORD buffered =
        static_cast<DWORD>(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_BUFFER));
    const QWORD end = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END);
    if (end == 0) // nothing to measure against; keep polling instead of dividing by zero
        return 0;
    // Intended: b x 100 is kept to 32 bits, so a buffer above 42,949,672 bytes wraps; only
    // the division is 64-bit.
    const DWORD scaled = buffered * 100;
    return static_cast<DWORD>(QWORD{scaled} / end);
}

// Window's thread: a stream with a running recording goes to the recorder, which stops it
// at once and frees it once the file is complete; playback forgets it first, so that no
// worker frees it meanwhile. True when it went.
bool hand_over_recorded_stream() {
    EnterCriticalSection(&stream_lock);
    const HSTREAM stream = current_stream.load();
    const bool taken = stream && take_recorded_stream(stream);
    if (taken)
        current_stream.store(0);
    LeaveCriticalSection(&stream_lock);
    return taken;
}

} // namespace

void set_stream_taker(bool (*take)(HSTREAM stream)) {
    take_recorded_stream = take ? take : take_nothing;
}

void start_connection_worker(const char *url) {
    // The worker frees what is left of the current stream, off this thread.
    hand_over_recorded_stream();
    KillTimer(main_window, RETRY_TIMER_ID); // this request replaces the one waiting for it
    newest_url = url;
    char *url_copy = _strdup(url);
    if (!url_copy)
        return;
    if (start_worker(connection_worker, url_copy))
        set_running(true);
    else
        std::free(url_copy);
}

void retry_failed_connections_for(DWORD milliseconds) {
    quiet_retries_until.store(GetTickCount64() + milliseconds);
}

void schedule_connection_retry(int request) {
    if (request == request_serial.load() && station_running() && !window_closing())
        SetTimer(main_window, RETRY_TIMER_ID, connection_retry_pause_ms, nullptr);
}

void retry_connection() {
    KillTimer(main_window, RETRY_TIMER_ID);
    const std::string url = newest_url;
    if (station_running() && !url.empty())
        start_connection_worker(url.c_str());
}

bool station_running() {
    return running.load();
}

void reset_station_running() {
    running.store(false);
}

void status_timer_tick() {
    const HSTREAM stream = current_stream.load();
    const QWORD connected = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CONNECTED);
    if (connected == static_cast<QWORD>(-1)) {
        // The stream ended and was freed while buffering: nothing will ever play.
        stop_status_timer();
        set_running(false);
        set_line_text(IDC_STATION_LINE, "not playing");
        return;
    }
    const DWORD progress = buffer_progress(stream);
    if (progress <= 75 && connected != 0) {
        char text[32];
        std::snprintf(text, sizeof text, "buffering... %d%%", static_cast<int>(progress));
        set_line_text(IDC_STATION_LINE, text);
        shown_buffering = static_cast<int>(progress);
        return;
    }
    stop_status_timer();
    // An older request that failed after this one was made cleared the flag: this plays.
    set_running(true);
    begin_now_playing();
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, end_sync, nullptr);
    BASS_ChannelPlay(stream, FALSE);
}

void start_status_timer() {
    if (!window_closing())
        SetTimer(main_window, STATUS_TIMER_ID, STATUS_TIMER_PERIOD_MS, nullptr);
}

void stop_status_timer() {
    KillTimer(main_window, STATUS_TIMER_ID);
    shown_buffering = -1;
}

int buffering_percent() {
    return shown_buffering;
}

void stop_command() {
    SetFocus(main_window);
    stop_playback();
}

void stop_playback() {
    quiet_retries_until.store(0);
    KillTimer(main_window, RETRY_TIMER_ID);
    // A tick after the stream is gone would only poll a dead handle.
    stop_status_timer();
    if (!hand_over_recorded_stream())
        BASS_StreamFree(current_stream.load());
    set_running(false);
}

void show_library_error(const char *text) {
    // A closing window waits for its workers; a box nobody will answer must not hold one.
    if (window_closing())
        return;
    // One box at a time: a user flicking through dead stations gets one, not a pile; the
    // station line already says "not playing" for the others.
    static std::atomic<bool> box_open{false};
    if (box_open.exchange(true))
        return;
    char message[320];
    std::snprintf(message, sizeof message, "%s\n(Error Code: %d)", text, BASS_ErrorGetCode());
    MessageBoxA(main_window, message, "Error", MB_OK | MB_ICONERROR);
    box_open.store(false);
}
