#include "main_dialog.h"

#include "connection.h"
#include "desktop/single_instance.h"
#include "history/history_commands.h"
#include "history/history_window.h"
#include "media_commands.h"
#include "playback/resume.h"
#include "playback/station_link.h"
#include "player_ids.h"
#include "player_state.h"
#include "recording.h"
#include "station_file.h"
#include "station_menu.h"
#include "system_media_controls.h"
#include "taskbar_button.h"
#include "version.h"
#include "window_appearance.h"
#include "worker_threads.h"

#include <commctrl.h>

#include <cstring>

// Posted by the window's set-up: plays the command line's station link, or else resumes the
// last station.
#define WM_START_PLAYING (WM_APP + 20)
// Posted on a second start's hand-over: plays the link it handed over.
#define WM_PLAY_STATION_LINK (WM_APP + 21)

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

// Before any stream exists: streams keep the history they are created with.
void read_recording_settings(HWND window) {
    const int minutes = read_setting_int(config_section, record_history_key, 10);
    BASS_SetConfig(BASS_CONFIG_NET_HISTORY, static_cast<DWORD>(minutes < 0    ? 0
                                                               : minutes > 60 ? 60
                                                                              : minutes) *
                                                60);
    char split[setting_buffer_size];
    read_setting_text(config_section, record_split_key, "off", split, sizeof split);
    CheckDlgButton(window, IDC_SONGS, std::strcmp(split, "on") == 0 ? BST_CHECKED : BST_UNCHECKED);
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
    read_recording_settings(window);

    InitializeCriticalSection(&stream_lock);

    // The system's media controls hand the media keys over themselves; without them the
    // shell's hook brings those the window with the focus leaves unanswered.
    if (!attach_system_media_controls(window))
        listen_to_shell_app_commands(window);
    follow_system_dark_mode(window);
    annotate_for_screen_readers(window);
    add_history_items_to_system_menu(GetSystemMenu(window, FALSE));
    install_history_keys(window);
    mark_player_window(window);
    PostMessageW(window, WM_START_PLAYING, 0, 0);
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
    case IDM_COPY_TITLE:
        copy_song_title(main_window);
        return TRUE;
    case IDM_HISTORY:
        open_history_window(main_window);
        return TRUE;
    case IDC_THUMB_PLAY_STOP:
        run_media_command(media_command::play_pause);
        return TRUE;
    case IDC_THUMB_RECORD:
        // The Record button does not toggle itself for a click elsewhere.
        CheckDlgButton(main_window, IDC_RECORD,
                       IsDlgButtonChecked(main_window, IDC_RECORD) ? BST_UNCHECKED : BST_CHECKED);
        toggle_recording();
        return TRUE;
    default:
        if (command_id >= IDM_FIRST_STATION && command_id <= IDM_LAST_STATION) {
            choose_station(command_id);
            return TRUE;
        }
        return FALSE;
    }
}

void change_volume(HWND scrolled_control, int scroll_code) {
    if (scrolled_control != GetDlgItem(main_window, IDC_VOLUME_SLIDER))
        return;
    const int position = static_cast<int>(SendMessageW(scrolled_control, TBM_GETPOS, 0, 0));
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, volume_for_slider(position));
    remember_volume(position, scroll_code == TB_ENDTRACK);
}

// Releasing the library first makes any worker still connecting return at once, so the
// wait for the workers is short; only then is the lock they use destroyed.
void tear_down_dialog() {
    unmark_player_window(main_window);
    remove_history_keys();
    detach_system_media_controls();
    stop_listening_to_shell_app_commands(main_window);
    release_taskbar_button();
    remove_screen_reader_annotations(main_window);
    BASS_Free();
    finish_workers();
    DeleteCriticalSection(&stream_lock);
}

// The station (its name in the Stations menu) and the song, for the system's media controls.
void show_now_playing_to_system() {
    wchar_t song_title[512] = L"";
    GetDlgItemTextW(main_window, IDC_TITLE_LINE, song_title, sizeof song_title / sizeof(wchar_t));
    show_media_texts(playing_station_name().c_str(), song_title);
}

// After anything that may have started or stopped a station or a recording.
void show_state_to_system() {
    show_media_playback(station_running());
    show_now_playing_to_system();
    update_taskbar_buttons();
}

INT_PTR answer(HWND window, LRESULT result) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

// Messages whose identifiers the system registers at run time, and the system's own.
INT_PTR dispatch_system_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (handle_shell_hook_message(message, wparam, lparam)) {
        show_state_to_system();
        return answer(window, TRUE);
    }
    if (handle_taskbar_message(message))
        return TRUE;
    if (message == WM_SYSCOMMAND && handle_history_system_command(window, wparam))
        return TRUE;
    std::wstring argument;
    if (message == WM_COPYDATA &&
        take_handed_over_argument(window, reinterpret_cast<const COPYDATASTRUCT *>(lparam),
                                  argument)) {
        if (!argument.empty()) {
            // Played once this message has answered: the second start is waiting for it.
            set_pending_station_link(argument);
            PostMessageW(window, WM_PLAY_STATION_LINK, 0, 0);
        }
        return answer(window, TRUE);
    }
    return FALSE;
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
    case WM_COMMAND: {
        const INT_PTR result = dispatch_command(LOWORD(wparam));
        update_taskbar_buttons();
        return result;
    }
    case WM_APPCOMMAND:
        // Unanswered, the command goes on to the system and to other programs.
        if (!run_app_command(GET_APPCOMMAND_LPARAM(lparam)))
            return FALSE;
        show_state_to_system();
        return answer(window, TRUE);
    case WM_SYSTEM_MEDIA_BUTTON:
        if (wparam <= static_cast<WPARAM>(media_command::previous))
            run_media_command(static_cast<media_command>(wparam));
        show_state_to_system();
        return TRUE;
    case WM_PLAYBACK_CHANGED:
        show_state_to_system();
        return TRUE;
    case WM_NOW_PLAYING_CHANGED:
        announce_title_change(window);
        show_now_playing_to_system();
        history_title_changed(window);
        return TRUE;
    case WM_START_PLAYING:
        if (!play_pending_station_link())
            resume_last_station();
        return TRUE;
    case WM_PLAY_STATION_LINK:
        play_pending_station_link();
        return TRUE;
    case WM_SETTINGCHANGE:
        if (lparam &&
            lstrcmpW(reinterpret_cast<const wchar_t *>(lparam), L"ImmersiveColorSet") == 0)
            follow_system_dark_mode(window);
        return FALSE;
    case WM_HSCROLL:
        change_volume(reinterpret_cast<HWND>(lparam), LOWORD(wparam));
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
        remember_volume(
            static_cast<int>(SendDlgItemMessageW(window, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0)),
            true);
        EndDialog(window, 0);
        return FALSE;
    case WM_DESTROY:
        tear_down_dialog();
        return FALSE;
    default:
        return dispatch_system_message(window, message, wparam, lparam);
    }
}
