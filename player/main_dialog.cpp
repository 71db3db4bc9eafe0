#include "main_dialog.h"

#include "about.h"
#include "desktop/dark_title_bar.h"
#include "desktop/desktop_state.h"
#include "desktop/media_commands.h"
#include "desktop/notification_icon.h"
#include "desktop/power_events.h"
#include "desktop/single_instance.h"
#include "desktop/taskbar_button.h"
#include "desktop/tray_menu.h"
#include "desktop/tray_options.h"
#include "history/history_commands.h"
#include "history/history_window.h"
#include "playback/connection.h"
#include "playback/resume.h"
#include "playback/sleep_timer.h"
#include "playback/station_link.h"
#include "playback/station_menu.h"
#include "playback/volume.h"
#include "playback/window_messages.h"
#include "player_ids.h"
#include "recording/recording.h"
#include "window_setup.h"

#include <commctrl.h>

namespace {

INT_PTR dispatch_command(HWND window, int command_id) {
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
        copy_song_title(window);
        return TRUE;
    case IDM_HISTORY:
        open_history_window(window);
        return TRUE;
    case IDC_THUMB_PLAY_STOP:
        run_media_command(media_command::play_pause);
        return TRUE;
    case IDC_THUMB_RECORD:
        // The Record button does not toggle itself for a click elsewhere.
        CheckDlgButton(window, IDC_RECORD,
                       IsDlgButtonChecked(window, IDC_RECORD) ? BST_UNCHECKED : BST_CHECKED);
        toggle_recording();
        return TRUE;
    default:
        if (command_id >= IDM_FIRST_STATION && command_id <= IDM_LAST_STATION) {
            choose_station(command_id);
            return TRUE;
        }
        return handle_tray_menu_command(command_id) || handle_tray_system_command(command_id);
    }
}

INT_PTR answer(HWND window, LRESULT result) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

// Messages whose identifiers the system registers at run time, and the system's own.
INT_PTR dispatch_system_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (handle_shell_hook_message(message, wparam, lparam)) {
        show_state_to_desktop();
        return answer(window, TRUE);
    }
    if (handle_taskbar_message(message) || handle_taskbar_created(message))
        return TRUE;
    if (message == WM_COPYDATA &&
        take_second_start(window, reinterpret_cast<const COPYDATASTRUCT *>(lparam)))
        return answer(window, TRUE);
    return FALSE;
}

// The player's own messages (window_messages.h).
INT_PTR dispatch_player_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SYSTEM_MEDIA_BUTTON:
        if (wparam <= static_cast<WPARAM>(media_command::previous))
            run_media_command(static_cast<media_command>(wparam));
        show_state_to_desktop();
        return TRUE;
    case WM_PLAYBACK_CHANGED:
        show_state_to_desktop();
        return TRUE;
    case WM_NOW_PLAYING_CHANGED:
        show_now_playing_to_desktop();
        history_title_changed(window);
        return TRUE;
    case WM_START_PLAYING:
        if (!play_pending_station_link())
            resume_last_station();
        return TRUE;
    case WM_PLAY_STATION_LINK:
        play_pending_station_link();
        return TRUE;
    case WM_START_STATUS_TIMER:
        start_status_timer();
        return TRUE;
    case WM_KILL_STATUS_TIMER:
        stop_status_timer();
        return TRUE;
    case WM_NOTIFICATION_ICON:
        handle_notification_icon_message(lparam);
        return TRUE;
    case WM_RETRY_CONNECTION:
        schedule_connection_retry(static_cast<int>(wparam));
        return TRUE;
    case WM_RECORDING_FINISHED:
        forget_finished_recordings();
        keep_awake_while_recording();
        return TRUE;
    default:
        return FALSE;
    }
}

// WM_TIMER: the sleep timer's tick, a connection's retry, or the buffering poll.
void timer_tick(WPARAM timer_id) {
    if (timer_id == SLEEP_TIMER_ID) {
        if (sleep_timer_tick())
            show_tray_option_checks(); // Off is checked again
    } else if (timer_id == RETRY_TIMER_ID) {
        retry_connection();
    } else {
        status_timer_tick();
        show_buffering_progress();
    }
    refresh_notification_tip();
}

// WM_SYSCOMMAND: the player's own items of the system menu, and the close box to the tray.
INT_PTR system_menu_command(HWND window, WPARAM command) {
    // The system keeps the low four bits for itself.
    if (handle_tray_system_command(static_cast<int>(command & 0xFFF0)) ||
        handle_history_system_command(window, command))
        return TRUE;
    return (command & 0xFFF0) == SC_CLOSE && close_to_tray_if_chosen();
}

} // namespace

INT_PTR CALLBACK player_dialog(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        set_up_window(window);
        return FALSE;
    case WM_COMMAND: {
        const INT_PTR result = dispatch_command(window, LOWORD(wparam));
        update_taskbar_buttons();
        keep_awake_while_recording();
        return result;
    }
    case WM_APPCOMMAND:
        // Unanswered, the command goes on to the system and to other programs.
        if (!run_app_command(GET_APPCOMMAND_LPARAM(lparam)))
            return FALSE;
        show_state_to_desktop();
        return answer(window, TRUE);
    case WM_SETTINGCHANGE:
        if (lparam &&
            lstrcmpW(reinterpret_cast<const wchar_t *>(lparam), L"ImmersiveColorSet") == 0)
            follow_system_dark_mode(window);
        return FALSE;
    case WM_HSCROLL:
        follow_volume_slider(reinterpret_cast<HWND>(lparam));
        remember_volume(LOWORD(wparam) == TB_ENDTRACK);
        return FALSE;
    case WM_TIMER:
        timer_tick(wparam);
        return FALSE;
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED)
            minimize_to_tray_if_chosen();
        return FALSE;
    case WM_SYSCOMMAND:
        return system_menu_command(window, wparam);
    case WM_POWERBROADCAST:
        handle_power_event(wparam);
        return answer(window, TRUE);
    case WM_CLOSE:
        remember_volume(true);
        // Returns at once: a recording still being finished is waited for once the window
        // has gone (player_main).
        stop_playback();
        EndDialog(window, 0);
        return FALSE;
    case WM_DESTROY:
        tear_down_window(window);
        return FALSE;
    default:
        if (message >= WM_APP && message <= 0xBFFF)
            return dispatch_player_message(window, message, wparam, lparam);
        return dispatch_system_message(window, message, wparam, lparam);
    }
}
