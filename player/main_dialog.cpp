#include "main_dialog.h"

#include "connection.h"
#include "player_ids.h"
#include "player_state.h"
#include "recording.h"
#include "station_file.h"
#include "station_menu.h"
#include "version.h"
#include "worker_threads.h"

#include <commctrl.h>

#include <cstring>

namespace {

#define STRINGIFY_VALUE(x) #x
#define STRINGIFY(x) STRINGIFY_VALUE(x)

const char about_text[] =
    "Brevora v" BREVORA_VERSION_SHORT "\n"
    "A small, fast internet radio player.\n"
    "\n"
    "Supports MP3, WMA, ASX, AAC, AAC+ & Ogg Vorbis Streams (SHOUTcast, Icecast etc...)\n"
    "Built with MinGW-w64 GCC " STRINGIFY(__GNUC__) "." STRINGIFY(
        __GNUC_MINOR__) "\n"
                        "\n"
                        "Visit https://brevora.org";

void read_network_settings() {
    char use_proxy[setting_buffer_size];
    read_setting_text(config_section, use_proxy_key, "off", use_proxy, sizeof use_proxy);
    if (std::strcmp(use_proxy, "on") == 0) {
        read_setting_text(config_section, proxy_key, group_marker, proxy_setting,
                          sizeof proxy_setting);
        BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, proxy_setting);
    }
    read_setting_text(config_section, lame_options_key, default_lame_options, encoder_options,
                      sizeof encoder_options);
}

void set_up_dialog(HWND window) {
    main_window = window;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SetClassLongPtrW(window, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_PLAYER))));
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, HWND_NOTOPMOST, frame.left, 150, 0, 0, SWP_NOSIZE);

    station_menus[0] = CreatePopupMenu();
    build_station_menu();

    SendDlgItemMessageW(window, IDC_VOLUME_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageW(window, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, 50);

    BASS_Init(-1, 44100, 0, window, nullptr);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000);
    BASS_PluginLoad("bass_aac.dll", 0);
    BASS_PluginLoad("bassflac.dll", 0);
    BASS_PluginLoad("basswma.dll", 0);
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 10000);
    read_network_settings();

    InitializeCriticalSection(&stream_lock);
}

void show_about() {
    SetFocus(main_window);
    MessageBoxA(main_window, about_text, "About", MB_OK | MB_ICONINFORMATION);
}

INT_PTR dispatch_command(int command_id) {
    switch (command_id) {
    case IDC_STOP:
        stop_command();
        return TRUE;
    case IDC_PLAY:
        play_current_station();
        return TRUE;
    case IDC_ABOUT:
        show_about();
        return FALSE;
    case IDC_STATIONS:
        show_station_menu();
        return TRUE;
    case IDC_RECORD:
        record_command();
        return TRUE;
    default:
        if (command_id >= IDM_FIRST_STATION && command_id <= IDM_LAST_STATION) {
            choose_station(command_id);
            return TRUE;
        }
        return FALSE;
    }
}

void change_volume(HWND scrolled_control) {
    if (scrolled_control != GetDlgItem(main_window, IDC_VOLUME_SLIDER))
        return;
    const int position = static_cast<int>(SendMessageW(scrolled_control, TBM_GETPOS, 0, 0));
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, volume_for_slider(position));
}

// Releasing the library first makes any worker still connecting return at once, so the
// wait for the workers is short; only then is the lock they use destroyed.
void tear_down_dialog() {
    BASS_Free();
    finish_workers();
    DeleteCriticalSection(&stream_lock);
}

} // namespace

DWORD volume_for_slider(int position) {
    return static_cast<DWORD>(position / 100.0 * 10000);
}

INT_PTR CALLBACK player_dialog(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        set_up_dialog(window);
        return FALSE;
    case WM_COMMAND:
        return dispatch_command(LOWORD(wparam));
    case WM_HSCROLL:
        change_volume(reinterpret_cast<HWND>(lparam));
        return FALSE;
    case WM_TIMER:
        status_timer_tick();
        return FALSE;
    case WM_START_STATUS_TIMER:
        if (!window_closing())
            SetTimer(window, STATUS_TIMER_ID, STATUS_TIMER_PERIOD_MS, nullptr);
        return TRUE;
    case WM_KILL_STATUS_TIMER:
        KillTimer(window, STATUS_TIMER_ID);
        return TRUE;
    case WM_CLOSE:
        stop_recording(false);
        EndDialog(window, 0);
        return FALSE;
    case WM_DESTROY:
        tear_down_dialog();
        return FALSE;
    default:
        return FALSE;
    }
}
