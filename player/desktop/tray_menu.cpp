#include "desktop/tray_menu.h"

#include "desktop/tray_options.h"
#include "playback/player_state.h"
#include "player_ids.h"
#include "recording/recording.h"

namespace {

UINT check_flag(bool checked) {
    return checked ? MF_CHECKED : MF_UNCHECKED;
}

bool box_checked(int control_id) {
    return IsDlgButtonChecked(main_window, control_id) == BST_CHECKED;
}

// The Stations menu stays the Stations button's: it is lent as a sub-menu and taken back
// (position 0) before the tray menu is destroyed.
HMENU create_tray_menu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(station_menus[0]), L"Stations");
    AppendMenuW(menu, MF_STRING, IDC_PLAY, L"Play");
    AppendMenuW(menu, MF_STRING, IDC_STOP, L"Stop");
    // The command of a Record click made elsewhere than on the button (the taskbar's).
    AppendMenuW(menu, MF_STRING | check_flag(recording_started), IDC_THUMB_RECORD, L"Record");
    AppendMenuW(menu, MF_STRING | check_flag(box_checked(IDC_SONGS)), IDM_TRAY_SONGS, L"Songs");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(create_sleep_menu()), L"Sleep timer");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // The main window's own commands: Ctrl+C's copy, Ctrl+H's History window.
    AppendMenuW(menu, MF_STRING, IDM_COPY_TITLE, L"Copy song title");
    AppendMenuW(menu, MF_STRING, IDM_HISTORY, L"History...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_EXIT, L"Exit");
    return menu;
}

} // namespace

void show_tray_menu() {
    HMENU menu = create_tray_menu();
    POINT mouse;
    GetCursorPos(&mouse);
    // Without being in front, the menu would not close when the user clicks elsewhere; the
    // message after it lets the menu's own loop end properly.
    SetForegroundWindow(main_window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, mouse.x, mouse.y, 0, main_window, nullptr);
    PostMessageW(main_window, WM_NULL, 0, 0);
    RemoveMenu(menu, 0, MF_BYPOSITION);
    DestroyMenu(menu);
}

bool handle_tray_menu_command(int command_id) {
    switch (command_id) {
    case IDM_TRAY_SONGS:
        CheckDlgButton(main_window, IDC_SONGS,
                       box_checked(IDC_SONGS) ? BST_UNCHECKED : BST_CHECKED);
        return true;
    case IDM_EXIT:
        // As the close box does without "Close to tray": a recording is finished and named.
        PostMessageW(main_window, WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}
