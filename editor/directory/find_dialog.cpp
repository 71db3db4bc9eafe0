#include "find_dialog.h"

#include "ansi_fit.h"
#include "directory_search.h"
#include "editor_ids.h"
#include "station_file.h"
#include "list/station_list.h"

#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// The [config] "directory" setting: a few base addresses fit easily.
constexpr size_t directory_setting_size = 1024;
constexpr int field_length_limit = 100;

struct result_row {
    station_row_texts texts;
    std::string uuid;
};

// The open dialog's state; there is at most one, since it is modal.
struct find_state {
    std::shared_ptr<search_board> board;
    unsigned serial = 0;
    std::vector<result_row> rows; // row i of the results list
    std::string answered_server;  // where the shown results came from, for the clicks
};
find_state state;

std::string windows_ansi(char32_t character) {
    wchar_t wide[2];
    int length = 1;
    if (character > 0xFFFF) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((character - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
        length = 2;
    } else {
        wide[0] = static_cast<wchar_t>(character);
    }
    // Without WC_NO_BEST_FIT_CHARS a character the code page lacks becomes its best fit
    // (a letter without its accent), else "?".
    char bytes[8];
    int written = WideCharToMultiByte(CP_ACP, 0, wide, length, bytes, sizeof bytes, "?", nullptr);
    return written > 0 ? std::string(bytes, written) : std::string("?");
}

std::string field_utf8(HWND dialog, int id) {
    wchar_t text[field_length_limit + 1] = L"";
    GetDlgItemTextW(dialog, id, text, field_length_limit + 1);
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(length > 0 ? length - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

void show_status(HWND dialog, const std::string &text) {
    SetDlgItemTextA(dialog, IDC_FIND_STATUS, text.c_str());
}

std::string joined(const std::vector<std::string> &servers) {
    std::string text;
    for (const std::string &server : servers)
        text += (text.empty() ? "" : ", ") + server;
    return text.empty() ? "none found" : text;
}

void search(HWND dialog) {
    directory_query query{field_utf8(dialog, IDC_FIND_NAME), field_utf8(dialog, IDC_FIND_TAG),
                          field_utf8(dialog, IDC_FIND_COUNTRY), field_utf8(dialog, IDC_FIND_CODEC)};
    char setting[directory_setting_size];
    read_setting_text(config_section, directory_setting_key, "", setting, sizeof setting);
    SendDlgItemMessageA(dialog, IDC_FIND_RESULTS, LB_RESETCONTENT, 0, 0);
    state.rows.clear();
    show_status(dialog, "Searching...");
    state.serial = start_search(state.board, query, setting, directory_connection_from_settings());
}

// The status line for a finished search, and the results list.
void show_outcome(HWND dialog, const search_outcome &outcome) {
    HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
    state.answered_server = outcome.server;
    int left_out = 0;
    for (const directory_station &station : outcome.stations) {
        std::optional<station_row_texts> texts = station_row(station, windows_ansi);
        if (!texts) {
            left_out++;
            continue;
        }
        std::string line = texts->name + "\t" + texts->details;
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        state.rows.push_back({*texts, station.uuid});
    }
    std::string status;
    switch (outcome.result) {
    case search_result::found:
        status = "Found " + std::to_string(outcome.stations.size()) +
                 (outcome.stations.size() == 1 ? " station." : " stations.");
        if (left_out > 0)
            status += " " + std::to_string(left_out) +
                      " left out: their address is too long for stations.ini.";
        break;
    case search_result::nothing_found:
        status = "No stations found.";
        break;
    case search_result::not_directory_answer:
        status = "The answer from " + outcome.server + " is not the station directory's.";
        break;
    case search_result::too_large:
        status = "The answer from " + outcome.server + " is too large.";
        break;
    case search_result::no_server:
        status = "No directory server answered. Tried: " + joined(outcome.tried) + ".";
        break;
    }
    show_status(dialog, status);
}

// Adds the selected results after the editor's selected row (at the end when none is), in
// the order shown, and selects the first of them.
void add_selected(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
    int count = static_cast<int>(SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    if (count <= 0) {
        show_status(dialog, "Select the stations to add first.");
        return;
    }
    std::vector<int> chosen(count);
    count = static_cast<int>(
        SendMessageA(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(chosen.data())));
    int anchor = selected_row();
    int first = anchor >= 0 ? anchor + 1 : row_count();
    station_node *previous = node_at(anchor);
    std::vector<std::string> uuids;
    int added = 0;
    for (int index = 0; index < count; index++) {
        if (chosen[index] < 0 || static_cast<size_t>(chosen[index]) >= state.rows.size())
            continue;
        const result_row &row = state.rows[chosen[index]];
        station_node *node = make_node(row.texts.name.c_str(), row.texts.url.c_str());
        if (!node)
            break;
        if (previous)
            insert_after(previous, node);
        else
            append_after_last(last_node(), node);
        previous = node;
        uuids.push_back(row.uuid);
        added++;
    }
    if (anchor >= 0) {
        refresh_and_select(first);
    } else {
        refresh_list();
        select_row(first, -1); // scrolls the new rows into view
    }
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    show_status(dialog, "Added " + std::to_string(added) + (added == 1 ? " station" : " stations") +
                            " to the list. Save keeps them.");
    count_clicks(state.answered_server, uuids, directory_connection_from_settings());
}

void open_dialog(HWND dialog) {
    state = find_state{};
    state.board = std::make_shared<search_board>();
    state.board->window = dialog;
    for (int id : {IDC_FIND_NAME, IDC_FIND_TAG, IDC_FIND_COUNTRY, IDC_FIND_CODEC})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, field_length_limit, 0);
    // Columns: name, codec, bitrate, country (dialog units).
    int tab_stops[] = {170, 205, 245};
    SendDlgItemMessageA(dialog, IDC_FIND_RESULTS, LB_SETTABSTOPS, std::size(tab_stops),
                        reinterpret_cast<LPARAM>(tab_stops));
}

void close_dialog(HWND dialog) {
    if (state.board)
        close_board(*state.board);
    state = find_state{};
    EndDialog(dialog, 0);
}

} // namespace

INT_PTR CALLBACK find_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        open_dialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_FIND_SEARCH:
            search(dialog);
            return TRUE;
        case IDC_FIND_ADD:
            add_selected(dialog);
            return TRUE;
        case IDCANCEL:
            close_dialog(dialog);
            return TRUE;
        }
        return FALSE;
    case search_done_message:
        if (state.board)
            if (std::unique_ptr<search_outcome> outcome =
                    take_outcome(*state.board, static_cast<unsigned>(wparam)))
                show_outcome(dialog, *outcome);
        return TRUE;
    case WM_DESTROY:
        // Also when the window goes without Close (its owner ended).
        if (state.board && state.board->window == dialog)
            close_board(*state.board);
        return FALSE;
    default:
        return FALSE;
    }
}

void find_stations(HWND editor) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FIND), editor, find_dialog, 0);
}
