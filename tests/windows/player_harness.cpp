#include "player_harness.h"

#include "player_main.h"
#include "playback/player_state.h"
#include "settings/player_settings.h"
#include "settings/whole_file.h"
#include "station_file.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The files the player keeps beside the program (the test program here): each test starts
// without them and leaves none behind.
void remove_player_files() {
    for (const wchar_t *name :
         {L"brevora.ini", L"history.csv", L"history.csv.bad", L"history.csv.bad.2"})
        DeleteFileW(path_beside_program(name).c_str());
}

} // namespace

void PlayerHarness::SetUp() {
    locate_station_file();
    DeleteFileA(ini_path);
    remove_player_files();
    ended_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

void PlayerHarness::TearDown() {
    if (player_thread.joinable()) {
        if (!player_ended)
            close_player();
        // A player that ended (by Exit, say) may still be leaving its thread: left running,
        // that thread races the test program's exit (one such program crashed as it ended).
        if (player_ended && player_thread.joinable())
            player_thread.join();
        if (player_thread.joinable())
            player_thread.detach(); // a hung player: the failure is already reported
    }
    CloseHandle(ended_event);
    DeleteFileA(ini_path);
    remove_player_files();
}

void PlayerHarness::write_player_settings(const std::string &content, const call_site &where) {
    call_site_trace trace(where);
    FILE *file = _wfopen(player_settings_path().c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

void PlayerHarness::write_station_file(const std::string &content, const call_site &where) {
    call_site_trace trace(where);
    locate_station_file();
    FILE *file = std::fopen(ini_path, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

bool PlayerHarness::start_player() {
    player_ended = false;
    ResetEvent(ended_event);
    player_thread = std::thread([this] {
        if (before_start)
            before_start();
        exit_code = player_main(start_argument.empty() ? nullptr : start_argument.c_str());
        player_ended = true;
        SetEvent(ended_event);
    });
    return eventually([] { return main_window && IsWindowVisible(main_window); }, 10000);
}

void PlayerHarness::close_player(const call_site &where) {
    call_site_trace trace(where);
    HWND window = main_window;
    PostMessageW(window, WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(ended_event, 10000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "the player did not end after WM_CLOSE";
    if (ended)
        player_thread.join();
}

void PlayerHarness::click(int control_id) {
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(control_id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main_window, control_id)));
}

std::string PlayerHarness::control_text(int control_id) {
    char text[512] = "";
    GetDlgItemTextA(main_window, control_id, text, sizeof text);
    return text;
}

std::wstring PlayerHarness::control_wide_text(int control_id) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(main_window, control_id, text, 512);
    return text;
}

std::string PlayerHarness::window_title() {
    char text[128] = "";
    GetWindowTextA(main_window, text, sizeof text);
    return text;
}

namespace {

struct box_search {
    const wchar_t *caption; // null: any caption
    HWND found;
};

// Other test programs may run at the same time on the same desktop: look only at ours.
BOOL CALLBACK find_own_box(HWND window, LPARAM argument) {
    box_search *search = reinterpret_cast<box_search *>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t class_name[16] = L"";
    GetClassNameW(window, class_name, 16);
    wchar_t caption[128] = L"";
    GetWindowTextW(window, caption, 128);
    if (process == GetCurrentProcessId() && window != main_window && IsWindowVisible(window) &&
        wcscmp(class_name, L"#32770") == 0 &&
        (!search->caption || wcscmp(caption, search->caption) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND find_message_box(const wchar_t *caption) {
    box_search search{caption, nullptr};
    EnumWindows(find_own_box, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND PlayerHarness::wait_for_message_box(const wchar_t *caption, int timeout_ms) {
    HWND box = nullptr;
    eventually([&] { return (box = find_message_box(caption)) != nullptr; }, timeout_ms);
    return box;
}

std::wstring PlayerHarness::answer_message_box(HWND box) {
    wchar_t text[1024] = L"";
    // A message box shows its text in the static control 0xFFFF.
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    eventually([&] { return !IsWindow(box); });
    return text;
}

scratch_current_folder::scratch_current_folder(const wchar_t *name) {
    GetCurrentDirectoryW(MAX_PATH, previous_);
    GetTempPathW(MAX_PATH, folder_);
    wcsncat(folder_, name, MAX_PATH - wcslen(folder_) - 1);
    CreateDirectoryW(folder_, nullptr);
    SetCurrentDirectoryW(folder_);
    empty();
}

scratch_current_folder::~scratch_current_folder() {
    empty();
    SetCurrentDirectoryW(previous_);
    RemoveDirectoryW(folder_);
}

// Only the folder's own files, wherever the current folder is by now.
void scratch_current_folder::empty() {
    const std::wstring folder = std::wstring(folder_) + L"\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(search, &found));
    FindClose(search);
}

int server_fixture_port(const char *state_variable, const std::string &name) {
    const char *state = std::getenv(state_variable);
    if (!state)
        return 0;
    // Wine shows the Unix root as drive Z:.
    std::string path = std::string("Z:") + state + "/ready.json";
    for (char &c : path)
        if (c == '/')
            c = '\\';
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string key = "\"" + name + "\": ";
    const size_t at = text.str().find(key);
    return at == std::string::npos ? 0 : std::atoi(text.str().c_str() + at + key.size());
}
