#include "window_setup.h"

#include "desktop/desktop_state.h"
#include "desktop/single_instance.h"
#include "history/history_commands.h"
#include "playback/connection.h"
#include "playback/playback_setup.h"
#include "playback/player_state.h"
#include "playback/sleep_timer.h"
#include "playback/station_menu.h"
#include "playback/volume.h"
#include "playback/window_messages.h"
#include "player_ids.h"
#include "recording/recording.h"
#include "settings/startup_settings.h"

void set_up_window(HWND window) {
    main_window = window;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SetClassLongPtrW(window, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_PLAYER))));
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, HWND_NOTOPMOST, frame.left, 150, 0, 0, SWP_NOSIZE);

    station_menus[0] = CreatePopupMenu();
    build_station_menu();
    set_up_volume_slider(window);

    const startup_settings settings = read_startup_settings();
    start_playback(window, settings);
    CheckDlgButton(window, IDC_SONGS, settings.record_songs ? BST_CHECKED : BST_UNCHECKED);
    // Playback sits below recording: it reaches the recorder only through this hook.
    set_stream_taker(take_recorded_stream);

    set_up_sleep_timer(window);
    attach_desktop(window);
    add_history_items_to_system_menu(GetSystemMenu(window, FALSE));
    install_history_keys(window);
    mark_player_window(window);
    PostMessageW(window, WM_START_PLAYING, 0, 0);
}

void tear_down_window(HWND window) {
    unmark_player_window(window);
    remove_history_keys();
    detach_desktop(window);
    end_sleep_timer();
}
