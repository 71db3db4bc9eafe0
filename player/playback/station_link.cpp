#include "playback/station_link.h"

#include "connection.h"
#include "player_state.h"
#include "station_link_text.h"
#include "station_menu.h"

#include "player_ids.h"
#include "settings/whole_file.h"
#include "station_file.h"

#include <windows.h>

namespace {

std::wstring pending_link;
// The link last played, as given; empty once a station of the list is chosen.
std::wstring playing_link;
std::string playing_link_address;

// The address the library is given: the link itself when it is one, else the first stream
// address of the playlist file it names. Anything else is handed over unchanged, so that the
// library's refusal shows as a station's of the list would.
std::string address_of_link(const std::wstring &link) {
    const std::string text = utf8_from_wide(link);
    if (is_stream_address(text))
        return text;
    std::string contents;
    if (read_whole_file(link, link_playlist_max, contents) == file_reading::read) {
        const std::string entry = first_playlist_entry(contents);
        if (!entry.empty())
            return entry;
    }
    return text;
}

// The player's own texts on the station line, shown before a stream names itself.
bool shows_connection_state(const std::wstring &line) {
    for (const wchar_t *state : {L"connecting...", L"buffering... ", L"not playing"})
        if (line.rfind(state, 0) == 0)
            return true;
    return line.empty();
}

// A running recording is finished first, by the hook the connection runs.
void connect_to_link() {
    start_connection_worker(playing_link_address.c_str());
}

} // namespace

void reset_station_links(const std::wstring &start_link) {
    pending_link = start_link;
    playing_link.clear();
    playing_link_address.clear();
}

void set_pending_station_link(const std::wstring &link) {
    pending_link = link;
}

bool play_pending_station_link() {
    if (pending_link.empty())
        return false;
    playing_link.swap(pending_link);
    pending_link.clear();
    playing_link_address = address_of_link(playing_link);
    CheckMenuItem(station_menus[0], IDM_FIRST_STATION + current_station,
                  MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(station_menus[0], group_ordinal(current_station), MF_BYPOSITION | MF_UNCHECKED);
    connect_to_link();
    return true;
}

bool replay_station_link() {
    if (playing_link.empty())
        return false;
    connect_to_link();
    return true;
}

void forget_station_link() {
    playing_link.clear();
    playing_link_address.clear();
}

bool station_link_chosen() {
    return !playing_link.empty();
}

std::wstring playing_station_address() {
    if (!playing_link.empty())
        return wide_from_utf8(playing_link_address);
    if (current_station < 0 || current_station >= station_total || !station_urls[current_station])
        return L"";
    // stations.ini holds its addresses in the system's code page.
    wchar_t address[setting_buffer_size] = L"";
    MultiByteToWideChar(CP_ACP, 0, station_urls[current_station], -1, address, setting_buffer_size);
    address[setting_buffer_size - 1] = L'\0';
    return address;
}

std::wstring playing_station_name() {
    if (!station_running())
        return L"";
    if (playing_link.empty()) {
        wchar_t name[256] = L"";
        GetMenuStringW(station_menus[0], IDM_FIRST_STATION + current_station, name,
                       sizeof name / sizeof(wchar_t), MF_BYCOMMAND);
        return name;
    }
    wchar_t line[256] = L"";
    GetDlgItemTextW(main_window, IDC_STATION_LINE, line, sizeof line / sizeof(wchar_t));
    return shows_connection_state(line) ? wide_from_utf8(playing_link_address) : std::wstring(line);
}
