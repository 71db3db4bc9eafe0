#include "history/history_window.h"

#include "desktop/clipboard_text.h"
#include "history/history_file.h"
#include "history/song_search.h"
#include "player_ids.h"
#include "settings/player_settings.h"
#include "settings/whole_file.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace {

HWND window = nullptr;

HWND song_list() {
    return GetDlgItem(window, IDC_HISTORY_LIST);
}

// Row r of the list shows the r-th newest song.
const heard_song &song_of_row(int row) {
    const std::vector<heard_song> &songs = song_history();
    return songs[songs.size() - 1 - static_cast<size_t>(row)];
}

void set_cell(int row, int column, const std::string &utf8) {
    std::wstring text = wide_from_utf8(utf8);
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text.data();
    SendMessageW(song_list(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&cell));
}

// Puts a song in a new row at the given place.
void insert_row(int row, const heard_song &song) {
    std::wstring time = wide_from_utf8(shown_history_time(song.time));
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = time.data();
    const int inserted = static_cast<int>(
        SendMessageW(song_list(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    set_cell(inserted, 1, song.station);
    set_cell(inserted, 2, song.title);
}

void set_up_columns() {
    const struct {
        const wchar_t *heading;
        int width; // dialog units
    } columns[] = {{L"Time", 80}, {L"Station", 85}, {L"Song", 130}};
    for (int index = 0; index < 3; ++index) {
        RECT width = {0, 0, columns[index].width, 0};
        MapDialogRect(window, &width);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = width.right;
        column.pszText = const_cast<wchar_t *>(columns[index].heading);
        SendMessageW(song_list(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(song_list(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
}

void follow_history(history_change change) {
    if (change == history_change::cleared) {
        SendMessageW(song_list(), LVM_DELETEALLITEMS, 0, 0);
        return;
    }
    insert_row(0, song_history().back());
    // The oldest song left the history.
    while (static_cast<size_t>(SendMessageW(song_list(), LVM_GETITEMCOUNT, 0, 0)) >
           song_history().size())
        SendMessageW(song_list(), LVM_DELETEITEM,
                     static_cast<WPARAM>(SendMessageW(song_list(), LVM_GETITEMCOUNT, 0, 0) - 1), 0);
}

std::vector<int> selected_rows() {
    std::vector<int> rows;
    for (int row = -1;
         (row = static_cast<int>(SendMessageW(song_list(), LVM_GETNEXTITEM,
                                              static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0;)
        rows.push_back(row);
    return rows;
}

void copy_selected_titles() {
    std::wstring titles;
    for (const int row : selected_rows())
        titles += (titles.empty() ? L"" : L"\r\n") + wide_from_utf8(song_of_row(row).title);
    copy_text_to_clipboard(window, titles);
}

void search_selected_title() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty())
        return;
    const std::wstring address = wide_from_utf8(
        search_address(current_player_settings().search_url, song_of_row(rows.front()).title));
    ShellExecuteW(window, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void export_history() {
    wchar_t path[MAX_PATH] = L"history.csv";
    OPENFILENAMEW save = {};
    save.lStructSize = sizeof save;
    save.hwndOwner = window;
    save.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files\0*.*\0";
    save.lpstrFile = path;
    save.nMaxFile = MAX_PATH;
    save.lpstrTitle = L"Export history";
    save.lpstrDefExt = L"csv";
    // Recordings are made in the current folder: the dialog must not move it.
    save.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&save))
        return;
    if (!export_song_history(path))
        MessageBoxW(window, (std::wstring(L"The history could not be written to ") + path).c_str(),
                    L"History", MB_OK | MB_ICONERROR);
}

void clear_history() {
    if (MessageBoxW(window, L"Clear the whole song history?", L"Clear history",
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    if (!clear_song_history())
        MessageBoxW(window, L"The history file could not be cleared.", L"History",
                    MB_OK | MB_ICONERROR);
}

void set_up(HWND dialog) {
    window = dialog;
    set_up_columns();
    const std::vector<heard_song> &songs = song_history();
    for (size_t index = 0; index < songs.size(); ++index)
        insert_row(static_cast<int>(index), songs[songs.size() - 1 - index]);
    set_song_history_listener(follow_history);
}

INT_PTR dispatch_command(int command_id) {
    switch (command_id) {
    case IDC_HISTORY_COPY:
        copy_selected_titles();
        return TRUE;
    case IDC_HISTORY_SEARCH:
        search_selected_title();
        return TRUE;
    case IDC_HISTORY_EXPORT:
        export_history();
        return TRUE;
    case IDC_HISTORY_CLEAR:
        clear_history();
        return TRUE;
    case IDCANCEL:
        DestroyWindow(window);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK history_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        set_up(dialog);
        return TRUE;
    case WM_COMMAND:
        return dispatch_command(LOWORD(wparam));
    case WM_DESTROY:
        set_song_history_listener(nullptr);
        window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void open_history_window(HWND owner) {
    if (!window) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HISTORY), owner,
                           history_dialog, 0);
        if (!window)
            return;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
}

HWND history_window() {
    return window;
}
