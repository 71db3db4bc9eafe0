// The day on the air's probe (bench/day.py), run under the same Wine prefix as the player:
//   day_sampler PLAYER_EXE RECORDINGS_FOLDER MINUTES
// starts the real player with the recordings folder as its current one, chooses its first
// station, presses Record (Songs is on in its stations.ini), and once a minute prints one JSON
// line sampling the player's process from outside: private memory, open handles, threads,
// and the finished recordings in the folder. Samples are taken a few seconds after a song
// change, when one song's encoder runs and the previous one has finished, so that two
// samples compare the same moment of a song. After MINUTES it closes the window as the close
// box does and reports how the process ended. Every line is flushed as it is printed.
#include "player_ids.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD poll_ms = 200;
// A sample waits for a song to have been on this long: its file's predecessor is finished.
constexpr ULONGLONG settled_ms = 4000;

struct player_process {
    HANDLE process = nullptr;
    DWORD id = 0;
    HWND window = nullptr;
};

void print_error(const char *text) {
    std::printf("{\"error\": \"%s\"}\n", text);
    std::fflush(stdout);
}

struct window_search {
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK find_player_window(HWND window, LPARAM argument) {
    auto *search = reinterpret_cast<window_search *>(argument);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t class_name[16] = L"";
    GetClassNameW(window, class_name, 16);
    if (owner == search->process_id && IsWindowVisible(window) &&
        std::wcscmp(class_name, L"#32770") == 0 && GetDlgItem(window, IDC_RECORD)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits until `condition` holds, polling; false once `timeout_ms` pass or the player ends.
template <typename Condition>
bool wait_for(const player_process &player, Condition condition, ULONGLONG timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!condition()) {
        if (GetTickCount64() >= deadline || WaitForSingleObject(player.process, poll_ms) == 0)
            return false;
    }
    return true;
}

std::wstring control_text(HWND window, int control_id) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(window, control_id, text, 512);
    return text;
}

bool start_player(const wchar_t *executable, const wchar_t *folder, player_process &player) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::wstring command_line = L"\"" + std::wstring(executable) + L"\"";
    if (!CreateProcessW(executable, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    player.process = started.hProcess;
    player.id = started.dwProcessId;
    window_search search{player.id, nullptr};
    const bool shown = wait_for(
        player,
        [&] {
            EnumWindows(find_player_window, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        60000);
    player.window = search.found;
    return shown;
}

// Chooses the first station, waits for a song title, and starts recording as a click on
// Record does (the button checks itself and tells the window).
bool start_recording(const player_process &player) {
    HWND window = player.window;
    if (SendMessageW(GetDlgItem(window, IDC_SONGS), BM_GETCHECK, 0, 0) != BST_CHECKED) {
        print_error("Songs is not ticked: the station file did not turn it on");
        return false;
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION, 0), 0);
    if (!wait_for(
            player, [&] { return !control_text(window, IDC_TITLE_LINE).empty(); }, 60000)) {
        print_error("the station showed no song title within a minute");
        return false;
    }
    SendMessageW(GetDlgItem(window, IDC_RECORD), BM_CLICK, 0, 0);
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (!std::wcsstr(title, L"[REC]")) {
        print_error("Record did not start a recording");
        return false;
    }
    return true;
}

int thread_count(DWORD process_id) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int threads = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == process_id)
            ++threads;
    CloseHandle(snapshot);
    return threads;
}

// Finished recordings: every MP3 but the encoder's working file.
int finished_files(const wchar_t *folder) {
    const std::wstring pattern = std::wstring(folder) + L"\\*.mp3";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int files = 0;
    do
        if (_wcsicmp(found.cFileName, L"rec.mp3") != 0)
            ++files;
    while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

// A JSON string's contents: characters outside printable ASCII as \u escapes.
std::string json_text(const std::wstring &text) {
    std::string escaped;
    for (wchar_t unit : text) {
        char piece[8];
        if (unit >= 0x20 && unit < 0x7F && unit != L'"' && unit != L'\\')
            std::snprintf(piece, sizeof piece, "%c", static_cast<char>(unit));
        else
            std::snprintf(piece, sizeof piece, "\\u%04x", static_cast<unsigned>(unit));
        escaped += piece;
    }
    return escaped;
}

// The system's own count of the process's handles (what a task manager shows); -1 when
// unknown.
long system_handle_count(DWORD process_id) {
    std::vector<unsigned char> table(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, table.data(),
                                              static_cast<ULONG>(table.size()), &needed)) ==
               static_cast<NTSTATUS>(0xC0000004L) && // the table grew: a larger buffer
           table.size() < (64u << 20))
        table.resize(table.size() * 2);
    if (status != 0)
        return -1;
    for (size_t at = 0;;) {
        const auto *entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION *>(&table[at]);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == process_id)
            return static_cast<long>(entry->HandleCount);
        if (entry->NextEntryOffset == 0)
            return -1;
        at += entry->NextEntryOffset;
    }
}

// Each figure as the system call named gives it, -1 when the call fails: bench/day.py says
// which of them give nothing under Wine and picks what it judges.
void print_sample(const player_process &player, const wchar_t *folder, ULONGLONG since_ms) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    const bool memory_read = GetProcessMemoryInfo(
        player.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof memory);
    DWORD handles = 0;
    const bool handles_read = GetProcessHandleCount(player.process, &handles);
    std::printf("{\"seconds\": %.1f, \"private_usage\": %lld, \"pagefile_usage\": %lld, "
                "\"working_set\": %lld, \"handle_count\": %ld, \"system_handle_count\": %ld, "
                "\"toolhelp_threads\": %d, \"files\": %d, \"title\": \"%s\"}\n",
                since_ms / 1000.0, memory_read ? static_cast<long long>(memory.PrivateUsage) : -1,
                memory_read ? static_cast<long long>(memory.PagefileUsage) : -1,
                memory_read ? static_cast<long long>(memory.WorkingSetSize) : -1,
                handles_read ? static_cast<long>(handles) : -1L, system_handle_count(player.id),
                thread_count(player.id), finished_files(folder),
                json_text(control_text(player.window, IDC_TITLE_LINE)).c_str());
    std::fflush(stdout);
}

// Samples once a minute for `minutes`, each a few seconds after a song change; false when
// the player ended or its songs stopped changing.
bool sample_for(const player_process &player, const wchar_t *folder, int minutes) {
    const ULONGLONG started = GetTickCount64();
    std::wstring title = control_text(player.window, IDC_TITLE_LINE);
    ULONGLONG title_changed = 0; // none seen yet: the current song's age is unknown
    for (int minute = 0; minute <= minutes; ++minute) {
        const ULONGLONG due = started + minute * 60000ULL;
        const bool settled = wait_for(
            player,
            [&] {
                const ULONGLONG now = GetTickCount64();
                const std::wstring shown = control_text(player.window, IDC_TITLE_LINE);
                if (shown != title) {
                    title = shown;
                    title_changed = now;
                }
                return now >= due && title_changed && now - title_changed >= settled_ms &&
                       now - title_changed < settled_ms + 2000;
            },
            due > GetTickCount64() ? due - GetTickCount64() + 60000 : 60000);
        if (!settled) {
            print_error("the player ended or its song title stopped changing");
            return false;
        }
        print_sample(player, folder, GetTickCount64() - started);
    }
    return true;
}

// Closes the window as its close box does and waits for the process to end.
void close_player(const player_process &player) {
    PostMessageW(player.window, WM_CLOSE, 0, 0);
    const DWORD waited = WaitForSingleObject(player.process, 120000);
    DWORD exit_code = STILL_ACTIVE;
    GetExitCodeProcess(player.process, &exit_code);
    std::printf("{\"ended\": %s, \"exit_code\": %lu}\n", waited == WAIT_OBJECT_0 ? "true" : "false",
                exit_code);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc != 4) {
        print_error("usage: day_sampler PLAYER_EXE RECORDINGS_FOLDER MINUTES");
        return 2;
    }
    const int minutes = std::max(1, _wtoi(argv[3]));
    player_process player;
    if (!start_player(argv[1], argv[2], player)) {
        print_error("the player's window did not show");
        if (player.process)
            TerminateProcess(player.process, 1);
        return 1;
    }
    const bool sampled = start_recording(player) && sample_for(player, argv[2], minutes);
    close_player(player);
    CloseHandle(player.process);
    return sampled ? 0 : 1;
}
