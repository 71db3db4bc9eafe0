#include "desktop_state.h"

#include "dark_title_bar.h"
#include "media_commands.h"
#include "notification_icon.h"
#include "power_events.h"
#include "screen_reader.h"
#include "system_media_controls.h"
#include "taskbar_button.h"
#include "tray_options.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/station_link.h"
#include "player_ids.h"

namespace {

// The station (its name in the Stations menu) and the song, for the system's media controls.
void show_texts_to_media_controls() {
    wchar_t song_title[512] = L"";
    GetDlgItemTextW(main_window, IDC_TITLE_LINE, song_title, sizeof song_title / sizeof(wchar_t));
    show_media_texts(playing_station_name().c_str(), song_title);
}

} // namespace

void attach_desktop(HWND window) {
    // The system's media controls hand the media keys over themselves; without them the
    // shell's hook brings those the window with the focus leaves unanswered.
    if (!attach_system_media_controls(window))
        listen_to_shell_app_commands(window);
    follow_system_dark_mode(window);
    annotate_for_screen_readers(window);
    add_notification_icon(window);
    add_tray_items_to_system_menu(window);
}

void show_state_to_desktop() {
    show_media_playback(station_running());
    show_texts_to_media_controls();
    update_taskbar_buttons();
    keep_awake_while_recording();
    refresh_notification_tip();
}

void show_now_playing_to_desktop() {
    announce_title_change(main_window);
    show_texts_to_media_controls();
    notify_song_changed();
}

void detach_desktop(HWND window) {
    remove_notification_icon();
    end_power_events();
    detach_system_media_controls();
    stop_listening_to_shell_app_commands(window);
    release_taskbar_button();
    remove_screen_reader_annotations(window);
}
