// The program's entry: everything else is in player_core, which the tests link too.
#include "player_main.h"

#include "playback/station_link_text.h"
#include "settings/whole_file.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

// The first argument, a station link; a file's path made whole, since a player already
// running may be handed it and has another current folder.
std::wstring station_link_argument() {
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring link = arguments && count >= 2 ? arguments[1] : L"";
    LocalFree(arguments);
    if (link.empty() || is_stream_address(utf8_from_wide(link)))
        return link;
    wchar_t full_path[MAX_PATH];
    const DWORD length = GetFullPathNameW(link.c_str(), MAX_PATH, full_path, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full_path, length) : link;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring link = station_link_argument();
    return player_main(link.c_str());
}
