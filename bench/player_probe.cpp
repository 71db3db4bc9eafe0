// The player's benchmark client, run under Wine by bench/player.py:
//   player_probe URL IDLE_SECONDS PLAY_SECONDS
// runs the player's real window and audio library in this process with URL as its one
// station, and prints one line of JSON: CPU over IDLE_SECONDS before any choice, the time
// from the station choice to the first sample at the output, CPU over PLAY_SECONDS of
// playing, CPU over IDLE_SECONDS after Stop, and the peak private memory. stations.ini is
// the one beside this program, as for the player itself.
//   player_probe --stations ROWS
// times the player's start-up, until its window shows, with a list of ROWS rows (a group
// heading every 32 rows), and the opening of its Stations menu, for bench/station_list.py.
#include "output/mixer.h"
#include "player_ids.h"
#include "player_main.h"
#include "playback/player_state.h"
#include "station_file.h"
#include "station_list_file.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// User and kernel time of every thread of this process so far.
double cpu_seconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME time) {
        return ((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

// CPU seconds per minute spent while this thread waits `seconds`.
double cpu_per_minute_over(int seconds) {
    const double before = cpu_seconds();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return (cpu_seconds() - before) * 60 / seconds;
}

void write_file(const char *path, const std::string &content) {
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path);
        std::exit(1);
    }
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// Polls a condition another thread's window work makes true; false after 30 s.
template <typename Condition> bool wait_until(Condition condition) {
    for (int waited = 0; waited < 30000; waited += 5) {
        if (condition())
            return true;
        Sleep(5);
    }
    return false;
}

int measure_player(const char *url, int idle_seconds, int play_seconds) {
    locate_station_file();
    write_file(ini_path, std::string("[stations]\r\nstation_count=2\r\nstation_name_1=Bench\r\n"
                                     "station_url_1=null\r\nstation_name_2=Station\r\n"
                                     "station_url_2=") +
                             url + "\r\n");
    std::thread player([] { player_main(); });
    if (!wait_until([] { return main_window && IsWindowVisible(main_window); })) {
        std::printf("{\"error\": \"the window did not open\"}\n");
        std::exit(1);
    }
    Sleep(2000); // the start-up's own work (fonts, the first paint) is not idling
    const double idle_before = cpu_per_minute_over(idle_seconds);

    HANDLE heard = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    audio::library_mixer().set_capture([heard](const float *samples, size_t frames) {
        for (size_t i = 0; i < frames * 2; ++i)
            if (samples[i] != 0) {
                SetEvent(heard);
                return;
            }
    });
    const auto chosen = clock_type::now();
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    const bool played = WaitForSingleObject(heard, 30000) == WAIT_OBJECT_0;
    const double first_audio_ms = ms_since(chosen);
    audio::library_mixer().set_capture(nullptr);
    CloseHandle(heard);

    const double playing = cpu_per_minute_over(play_seconds);
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
    wait_until([] {
        BASS_CHANNELINFO info;
        return !BASS_ChannelGetInfo(current_stream.load(), &info);
    });
    const double idle_after = cpu_per_minute_over(idle_seconds);

    PROCESS_MEMORY_COUNTERS_EX memory = {};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                         sizeof memory);
    PostMessageW(main_window, WM_CLOSE, 0, 0);
    player.join();
    DeleteFileA(ini_path);
    if (!played) {
        std::printf("{\"error\": \"no audio within 30 s\"}\n");
        return 1;
    }
    std::printf("{\"first_audio_ms\": %.1f, \"idle_before_cpu_s_per_min\": %.3f, "
                "\"playing_cpu_s_per_min\": %.3f, \"idle_after_stop_cpu_s_per_min\": %.3f, "
                "\"peak_private_mib\": %.1f, \"peak_working_set_mib\": %.1f}\n",
                first_audio_ms, idle_before, playing, idle_after,
                memory.PeakPagefileUsage / 1048576.0, memory.PeakWorkingSetSize / 1048576.0);
    return 0;
}

// Polls for what another thread's window work makes true, every millisecond; false after
// 60 s. The figures it times are tens of milliseconds and more.
template <typename Condition> bool wait_closely(Condition condition) {
    for (int waited = 0; waited < 60000; ++waited) {
        if (condition())
            return true;
        Sleep(1);
    }
    return false;
}

HWND shown_menu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

int measure_station_list(int rows) {
    locate_station_file();
    write_file(ini_path, station_list_file(rows));
    auto started = clock_type::now();
    std::thread player([] { player_main(); });
    const bool opened = wait_closely([] { return main_window && IsWindowVisible(main_window); });
    const double start_up_ms = ms_since(started);
    bool menu_shown = false;
    double menu_ms = 0;
    if (opened) {
        Sleep(500); // the first paint is not the menu's
        started = clock_type::now();
        PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_STATIONS, BN_CLICKED), 0);
        menu_shown = wait_closely([] { return shown_menu() != nullptr; });
        menu_ms = ms_since(started);
        if (menu_shown)
            PostMessageW(shown_menu(), WM_KEYDOWN, VK_ESCAPE, 0);
        wait_closely([] { return shown_menu() == nullptr; });
        PostMessageW(main_window, WM_CLOSE, 0, 0);
    }
    player.join();
    DeleteFileA(ini_path);
    if (!menu_shown) {
        std::printf("{\"error\": \"the window or its Stations menu did not open\"}\n");
        return 1;
    }
    std::printf("{\"rows\": %d, \"start_up_ms\": %.1f, \"stations_menu_ms\": %.1f}\n", rows,
                start_up_ms, menu_ms);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--stations")
        return measure_station_list(std::atoi(argv[2]));
    if (argc != 4) {
        std::fprintf(stderr, "usage: player_probe URL IDLE_SECONDS PLAY_SECONDS\n"
                             "       player_probe --stations ROWS\n");
        return 2;
    }
    return measure_player(argv[1], std::atoi(argv[2]), std::atoi(argv[3]));
}
