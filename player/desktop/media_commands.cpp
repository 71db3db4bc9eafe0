#include "media_commands.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/station_link.h"
#include "playback/station_menu.h"
#include "player_ids.h"
#include "station_file.h"

namespace {

UINT shell_hook_message; // 0 until registered

// current_station is 0 both before any choice and after row 0 was chosen: the menu's check
// mark tells the two apart.
bool station_chosen() {
    if (current_station != 0)
        return true;
    const UINT first_row = GetMenuState(station_menus[0], IDM_FIRST_STATION, MF_BYCOMMAND);
    return first_row != static_cast<UINT>(-1) && (first_row & MF_CHECKED) != 0;
}

// The next station row from current_station in direction step (+1 or -1), skipping group
// rows and wrapping at the ends; -1 when the list has no station row. With nothing chosen
// yet, next is the first station and previous the last.
int neighbour_station_row(int step) {
    int row = station_chosen() ? current_station : (step > 0 ? station_total - 1 : 0);
    for (int tried = 0; tried < station_total; ++tried) {
        row = (row + step + station_total) % station_total;
        if (!is_group_url(station_urls[row]))
            return row;
    }
    return -1;
}

void choose_neighbour_station(int step) {
    const int row = neighbour_station_row(step);
    if (row >= 0)
        choose_station(IDM_FIRST_STATION + row);
}

// As the Play button, also for row 0, and without moving the focus.
void play_again() {
    if (replay_station_link())
        return;
    if (station_chosen())
        choose_station(IDM_FIRST_STATION + current_station);
}

} // namespace

void run_media_command(media_command command) {
    switch (command) {
    case media_command::play_pause:
        if (station_running())
            stop_playback();
        else
            play_again();
        break;
    case media_command::play:
        if (!station_running())
            play_again();
        break;
    case media_command::pause: // a radio stream cannot pause: it stops
    case media_command::stop:
        stop_playback();
        break;
    case media_command::next:
        choose_neighbour_station(1);
        break;
    case media_command::previous:
        choose_neighbour_station(-1);
        break;
    }
}

bool run_app_command(int app_command) {
    switch (app_command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        run_media_command(media_command::play_pause);
        return true;
    case APPCOMMAND_MEDIA_PLAY:
        run_media_command(media_command::play);
        return true;
    case APPCOMMAND_MEDIA_PAUSE:
        run_media_command(media_command::pause);
        return true;
    case APPCOMMAND_MEDIA_STOP:
        run_media_command(media_command::stop);
        return true;
    case APPCOMMAND_MEDIA_NEXTTRACK:
        run_media_command(media_command::next);
        return true;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
        run_media_command(media_command::previous);
        return true;
    default:
        return false;
    }
}

bool listen_to_shell_app_commands(HWND window) {
    shell_hook_message = RegisterWindowMessageW(L"SHELLHOOK");
    return shell_hook_message != 0 && RegisterShellHookWindow(window);
}

void stop_listening_to_shell_app_commands(HWND window) {
    DeregisterShellHookWindow(window);
}

// The shell passes on only the commands that the window with the focus left unanswered, so
// another player that has the focus keeps its keys.
bool handle_shell_hook_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (shell_hook_message == 0 || message != shell_hook_message)
        return false;
    if ((wparam & 0x7FFF) == HSHELL_APPCOMMAND)
        return run_app_command(GET_APPCOMMAND_LPARAM(lparam));
    return false;
}
