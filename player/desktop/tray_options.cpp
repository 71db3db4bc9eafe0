#include "desktop/tray_options.h"

#include "desktop/notification_icon.h"
#include "playback/player_state.h"
#include "playback/sleep_timer.h"
#include "player_ids.h"
#include "settings/player_settings.h"

#include <string>

namespace {

HMENU system_sleep_menu; // part of the window's system menu, which owns it

struct option_item {
    int command_id;
    const wchar_t *text;
    bool player_settings::*setting;
};

const option_item option_items[] = {
    {IDM_MINIMIZE_TO_TRAY, L"Minimize to tray", &player_settings::minimize_to_tray},
    {IDM_CLOSE_TO_TRAY, L"Close to tray", &player_settings::close_to_tray},
    {IDM_NOTIFY_SONGS, L"Notify on song change", &player_settings::notify_songs},
};

UINT check_flag(bool checked) {
    return checked ? MF_CHECKED : MF_UNCHECKED;
}

int sleep_command(size_t choice) {
    return IDM_FIRST_SLEEP_CHOICE + 16 * static_cast<int>(choice);
}

// Off and the choices of brevora.ini, the one the timer runs for checked.
void fill_sleep_menu(HMENU menu) {
    while (GetMenuItemCount(menu) > 0)
        DeleteMenu(menu, 0, MF_BYPOSITION);
    const int running = sleep_timer_choice();
    AppendMenuW(menu, MF_STRING | check_flag(running == 0), IDM_SLEEP_OFF, L"Off");
    const std::vector<int> &choices = current_player_settings().sleep_choices;
    for (size_t i = 0; i < choices.size() && i < sleep_choices_max; ++i) {
        const std::wstring text =
            std::to_wstring(choices[i]) + (choices[i] == 1 ? L" minute" : L" minutes");
        AppendMenuW(menu, MF_STRING | check_flag(running == choices[i]), sleep_command(i),
                    text.c_str());
    }
}

bool choose_sleep_item(int command_id) {
    const std::vector<int> &choices = current_player_settings().sleep_choices;
    const int offset = command_id - IDM_FIRST_SLEEP_CHOICE;
    if (command_id == IDM_SLEEP_OFF)
        choose_sleep_minutes(0);
    else if (offset >= 0 && offset % 16 == 0 && static_cast<size_t>(offset / 16) < choices.size())
        choose_sleep_minutes(choices[offset / 16]);
    else
        return false;
    show_tray_option_checks();
    refresh_notification_tip();
    return true;
}

} // namespace

void add_tray_items_to_system_menu(HWND window) {
    system_sleep_menu = nullptr; // the last window's went with it
    HMENU system_menu = GetSystemMenu(window, FALSE);
    if (!system_menu)
        return;
    AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
    for (const option_item &item : option_items)
        AppendMenuW(system_menu, MF_STRING, item.command_id, item.text);
    system_sleep_menu = CreatePopupMenu();
    AppendMenuW(system_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(system_sleep_menu),
                L"Sleep timer");
    show_tray_option_checks();
}

bool handle_tray_system_command(int command_id) {
    for (const option_item &item : option_items) {
        if (item.command_id != command_id)
            continue;
        bool &setting = current_player_settings().*item.setting;
        setting = !setting;
        save_current_player_settings();
        show_tray_option_checks();
        return true;
    }
    return choose_sleep_item(command_id);
}

HMENU create_sleep_menu() {
    HMENU menu = CreatePopupMenu();
    fill_sleep_menu(menu);
    return menu;
}

void show_tray_option_checks() {
    HMENU system_menu = GetSystemMenu(main_window, FALSE);
    for (const option_item &item : option_items)
        CheckMenuItem(system_menu, item.command_id,
                      MF_BYCOMMAND | check_flag(current_player_settings().*item.setting));
    if (system_sleep_menu)
        fill_sleep_menu(system_sleep_menu);
}

void minimize_to_tray_if_chosen() {
    if (current_player_settings().minimize_to_tray && notification_icon_shown())
        ShowWindow(main_window, SW_HIDE);
}

bool close_to_tray_if_chosen() {
    if (!current_player_settings().close_to_tray || !notification_icon_shown())
        return false;
    ShowWindow(main_window, SW_HIDE);
    return true;
}
