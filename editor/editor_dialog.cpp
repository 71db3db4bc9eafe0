#include "editor_dialog.h"

#include "list/editor_commands.h"
#include "editor_ids.h"
#include "directory/find_dialog.h"
#include "import/m3u_import.h"
#include "station_file.h"
#include "list/station_list.h"

namespace {

// The command order matters: a list box selection change is recognised by its code
// before the remaining buttons are looked at.
INT_PTR dispatch_command(HWND dialog, WORD id, WORD code) {
    if (id == IDC_SAVE)
        return save_stations(dialog) ? TRUE : FALSE;
    if (id == IDC_UP)
        move_station_up();
    else if (id == IDC_DOWN)
        move_station_down();
    else if (id == IDC_ADD)
        add_station(dialog);
    else if (code == LBN_SELCHANGE)
        show_selected_row(dialog);
    else if (id == IDC_UPDATE)
        update_station(dialog);
    else if (id == IDC_DELETE)
        delete_station(dialog);
    else if (id == IDC_IMPORT_M3U)
        import_playlist(dialog);
    else if (id == IDC_FIND)
        find_stations(dialog);
    return FALSE;
}

} // namespace

INT_PTR CALLBACK editor_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // The program's icon also in the title bar and the taskbar.
        SendMessageW(dialog, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(
                         LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_EDITOR))));
        load_station_list(dialog);
        return TRUE;
    case WM_COMMAND:
        return dispatch_command(dialog, LOWORD(wparam), HIWORD(wparam));
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void run_editor(HINSTANCE instance) {
    station_head = nullptr;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_EDITOR), nullptr, editor_dialog, 0);
    free_station_list();
}
