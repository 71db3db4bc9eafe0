#include "desktop/single_instance.h"

#include "playback/station_link.h"
#include "playback/window_messages.h"

#include <algorithm>

namespace {

const wchar_t player_mutex_name[] = L"Local\\Brevora.Player";
// Set while the running player's window is marked: a second start that comes while the first
// is still starting waits for it.
const wchar_t window_ready_name[] = L"Local\\Brevora.Player.Window";
const wchar_t window_mark[] = L"Brevora.Player";
// Says a WM_COPYDATA is a second start's, not some other program's.
const ULONG_PTR hand_over_tag = 0x42524556; // "BREV"
// A link is a path or an address; anything longer is not one.
const DWORD argument_bytes_max = 32 * 1024;
// A first player still starting marks its window within this time, or is taken as hung.
const DWORD find_window_ms = 10000;
const DWORD hand_over_ms = 10000;

HANDLE player_mutex = nullptr;
HANDLE window_ready = nullptr;

BOOL CALLBACK find_marked_window(HWND window, LPARAM found) {
    if (!GetPropW(window, window_mark))
        return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

HWND running_player_window() {
    const HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, window_ready_name);
    if (!ready)
        return nullptr;
    const bool marked = WaitForSingleObject(ready, find_window_ms) == WAIT_OBJECT_0;
    CloseHandle(ready);
    HWND found = nullptr;
    if (marked)
        EnumWindows(find_marked_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

bool claim_single_player(const std::wstring &argument) {
    player_mutex = CreateMutexW(nullptr, FALSE, player_mutex_name);
    if (!player_mutex || GetLastError() != ERROR_ALREADY_EXISTS) {
        window_ready = CreateEventW(nullptr, TRUE, FALSE, window_ready_name);
        return true;
    }
    release_single_player();
    const HWND running = running_player_window();
    if (!running)
        return true;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    // This start has the user's foreground rights; the running player may take them over.
    AllowSetForegroundWindow(process);
    COPYDATASTRUCT data = {hand_over_tag, static_cast<DWORD>(argument.size() * sizeof(wchar_t)),
                           const_cast<wchar_t *>(argument.data())};
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                        hand_over_ms, &answer);
    // Even unanswered: a player is running, and a second stream over it is what this avoids.
    return false;
}

void release_single_player() {
    for (HANDLE *handle : {&window_ready, &player_mutex}) {
        if (*handle)
            CloseHandle(*handle);
        *handle = nullptr;
    }
}

void mark_player_window(HWND window) {
    SetPropW(window, window_mark, reinterpret_cast<HANDLE>(1));
    if (window_ready)
        SetEvent(window_ready);
}

void unmark_player_window(HWND window) {
    if (window_ready)
        ResetEvent(window_ready);
    RemovePropW(window, window_mark);
}

bool take_second_start(HWND window, const COPYDATASTRUCT *data) {
    if (!data || data->dwData != hand_over_tag || data->cbData > argument_bytes_max ||
        data->cbData % sizeof(wchar_t) != 0 || (data->cbData && !data->lpData))
        return false;
    std::wstring argument;
    if (data->cbData)
        argument.assign(static_cast<const wchar_t *>(data->lpData), data->cbData / sizeof(wchar_t));
    // A NUL inside would cut the path or address short where it is used.
    argument.resize(std::min(argument.size(), argument.find(L'\0')));
    if (!argument.empty()) {
        set_pending_station_link(argument);
        PostMessageW(window, WM_PLAY_STATION_LINK, 0, 0);
    }
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    else if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return true;
}
