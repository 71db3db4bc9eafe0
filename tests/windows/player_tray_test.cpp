// The player beside the notification area: its icon as a stand-in shell receives it (add,
// tip, balloon, delete), the icon's menu, the tray options in the system menu and
// brevora.ini, the sleep timer, and sleep and wake of the computer.
#include "playback/connection.h"
#include "playback/sleep_timer.h"
#include "desktop/notification_icon.h"
#include "desktop/power_events.h"
#include "playback/window_messages.h"
#include "player_playback_fixture.h"
#include "settings/player_settings.h"

#include <condition_variable>
#include <mutex>

namespace {

using namespace std::string_literals;

// What the player handed the shell, in order. Written on the window's thread.
struct shell_request {
    DWORD message;
    UINT flags;
    UINT callback_message;
    bool has_icon;
    std::wstring tip, balloon_text, balloon_title;
};

struct stand_in_system {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<shell_request> requests;
    std::vector<EXECUTION_STATE> execution_states;
} stand_in;

BOOL WINAPI stand_in_shell(DWORD message, NOTIFYICONDATAW *data) {
    std::lock_guard<std::mutex> guard(stand_in.lock);
    stand_in.requests.push_back({message, data->uFlags, data->uCallbackMessage,
                                 data->hIcon != nullptr, data->szTip, data->szInfo,
                                 data->szInfoTitle});
    stand_in.changed.notify_all();
    return TRUE;
}

EXECUTION_STATE WINAPI stand_in_execution_state(EXECUTION_STATE state) {
    std::lock_guard<std::mutex> guard(stand_in.lock);
    stand_in.execution_states.push_back(state);
    stand_in.changed.notify_all();
    return ES_CONTINUOUS;
}

class Tray : public Recording {
  protected:
    void SetUp() override {
        Recording::SetUp();
        {
            std::lock_guard<std::mutex> guard(stand_in.lock);
            stand_in.requests.clear();
            stand_in.execution_states.clear();
        }
        set_notify_icon_call(stand_in_shell);
        set_execution_state_call(stand_in_execution_state);
    }
    void TearDown() override {
        Recording::TearDown();
        set_notify_icon_call(nullptr);
        set_execution_state_call(nullptr);
        set_sleep_clock(nullptr);
    }

    // Station a1 playing the title (none when empty) on "Jazz FM".
    void play_jazz(const std::string &title = "Artist - Song",
                   const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        write_station_file(two_groups);
        fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
        stream.buffered = 80000;
        stream.tags[BASS_TAG_ICY] = "icy-name:Jazz FM\0"s;
        if (!title.empty())
            stream.tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        if (!player_thread.joinable()) {
            ASSERT_TRUE(start_player());
        }
        choose(1);
        ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    }
    void change_title(const std::string &title) {
        {
            std::lock_guard<std::mutex> guard(fake.lock);
            fake.streams[11].tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        }
        fire_syncs(11, BASS_SYNC_META);
    }

    std::vector<shell_request> requests() {
        std::lock_guard<std::mutex> guard(stand_in.lock);
        return stand_in.requests;
    }
    // Waits until the shell was last handed this tip.
    bool wait_for_tip(const std::wstring &tip) {
        std::unique_lock<std::mutex> guard(stand_in.lock);
        return stand_in.changed.wait_for(guard, std::chrono::seconds(15), [&] {
            for (auto it = stand_in.requests.rbegin(); it != stand_in.requests.rend(); ++it)
                if (it->flags & NIF_TIP)
                    return it->tip == tip;
            return false;
        });
    }
    std::vector<shell_request> balloons() {
        std::vector<shell_request> made = requests();
        made.erase(std::remove_if(made.begin(), made.end(),
                                  [](const shell_request &r) { return !(r.flags & NIF_INFO); }),
                   made.end());
        return made;
    }
    // Balloons are the only sign that a title was handled: each is a barrier for the titles
    // before it.
    bool wait_for_balloons(size_t count) {
        std::unique_lock<std::mutex> guard(stand_in.lock);
        return stand_in.changed.wait_for(guard, std::chrono::seconds(15), [&] {
            return std::count_if(stand_in.requests.begin(), stand_in.requests.end(),
                                 [](const shell_request &r) { return r.flags & NIF_INFO; }) ==
                   static_cast<long>(count);
        });
    }
    void set_connection(const std::string &url, HSTREAM handle) {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections[url].handle = handle;
    }
    bool wait_for_plays(long count) {
        return wait_for_fake([&](fake_audio_state &state) {
            return std::count(state.calls.begin(), state.calls.end(), "BASS_ChannelPlay(11,0)") ==
                   count;
        });
    }
    std::vector<EXECUTION_STATE> execution_states() {
        std::lock_guard<std::mutex> guard(stand_in.lock);
        return stand_in.execution_states;
    }

    void system_command(int command_id) { SendMessageW(main_window, WM_SYSCOMMAND, command_id, 0); }
    void menu_command(int command_id) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(command_id, 0), 0);
    }
    bool checked_in_system_menu(int command_id) {
        return GetMenuState(GetSystemMenu(main_window, FALSE), command_id, MF_BYCOMMAND) &
               MF_CHECKED;
    }
    void icon_click(UINT mouse_message) {
        PostMessageW(main_window, WM_NOTIFICATION_ICON, 1, mouse_message);
    }
    bool in_front() { return IsWindowVisible(main_window) && GetForegroundWindow() == main_window; }
    std::string settings_file() {
        std::string text(4096, '\0');
        FILE *file = _wfopen(player_settings_path().c_str(), L"rb");
        if (!file)
            return "";
        text.resize(std::fread(text.data(), 1, text.size(), file));
        std::fclose(file);
        return text;
    }
};

TEST_F(Tray, IconFromStartToExitWithTheTipOfWhatPlays) {
    write_station_file(two_groups);
    ASSERT_TRUE(start_player());
    std::vector<shell_request> made = requests();
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(made[0].callback_message, static_cast<UINT>(WM_NOTIFICATION_ICON));
    EXPECT_TRUE(made[0].has_icon);
    EXPECT_EQ(made[0].tip, L"Brevora");

    play_jazz();
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM"));
    // Explorer restarted: the icon comes back with the tip it had.
    SendMessageW(main_window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    made = requests();
    const auto added_again = std::find_if(
        made.rbegin(), made.rend(), [](const shell_request &r) { return r.message == NIM_ADD; });
    ASSERT_NE(added_again, made.rend() - 1);
    EXPECT_EQ(added_again->tip, L"Artist - Song\nJazz FM");

    // A title longer than the tip holds is cut to the room the station leaves, before a
    // character of two UTF-16 units that would not fit whole.
    change_title(std::string(117, 'x') + "\xF0\x9F\x8E\xB5 and more");
    ASSERT_TRUE(wait_for_tip(std::wstring(117, L'x') + L"\u2026\nJazz FM"));

    click(IDC_STOP);
    ASSERT_TRUE(wait_for_tip(L"Brevora"));
    close_player();
    made = requests();
    EXPECT_EQ(made.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(balloons().empty()); // notifications are off by default
}

TEST_F(Tray, BalloonOncePerSongAndOnlyWhileTheWindowIsBehind) {
    play_jazz("");
    system_command(IDM_NOTIFY_SONGS);
    system_command(SC_MINIMIZE); // out of the way, whichever window has the focus
    change_title("Next Song");
    ASSERT_TRUE(wait_for_balloons(1));
    EXPECT_EQ(balloons()[0].balloon_text, L"Next Song");
    EXPECT_EQ(balloons()[0].balloon_title, L"Jazz FM");

    // A reconnect brings the same title back: no balloon for it, one for the next song.
    choose(1);
    ASSERT_TRUE(wait_for_plays(2));
    change_title("Third Song");
    ASSERT_TRUE(wait_for_balloons(2));
    EXPECT_EQ(balloons()[1].balloon_text, L"Third Song");

    // In front: no balloon; behind again: the next song has one.
    icon_click(WM_LBUTTONUP);
    ASSERT_TRUE(eventually([&] { return in_front() && !IsIconic(main_window); }));
    change_title("Fourth Song");
    ASSERT_TRUE(wait_for_tip(L"Fourth Song\nJazz FM")); // nothing else refreshes it now
    system_command(SC_MINIMIZE);
    change_title("Fifth Song");
    ASSERT_TRUE(wait_for_balloons(3));
    EXPECT_EQ(balloons()[2].balloon_text, L"Fifth Song");
}

TEST_F(Tray, LeftClickHidesTheWindowInFrontAndBringsItBack) {
    ASSERT_TRUE(start_player());
    SetForegroundWindow(main_window);
    ASSERT_TRUE(eventually([&] { return in_front(); }));
    icon_click(WM_LBUTTONUP);
    ASSERT_TRUE(eventually([] { return !IsWindowVisible(main_window); }));
    icon_click(WM_LBUTTONUP);
    EXPECT_TRUE(eventually([&] { return in_front(); }));
    // A double click on the icon of a window in front leaves it shown, as it does when hidden.
    for (const bool hidden_first : {false, true}) {
        if (hidden_first) {
            icon_click(WM_LBUTTONUP);
            ASSERT_TRUE(eventually([] { return !IsWindowVisible(main_window); }));
        }
        // Sent, not posted: each click is handled before the next, and all before the check.
        for (const UINT click : {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            SendMessageW(main_window, WM_NOTIFICATION_ICON, 1, click);
        EXPECT_TRUE(eventually([&] { return in_front(); })) << hidden_first;
    }
}

struct menu_item {
    std::wstring text;
    UINT id;
    bool checked;
    HMENU sub_menu;
};

// A pop-up menu this process shows (other test programs may show theirs), or null.
HWND own_popup_menu() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM result) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t class_name[16] = L"";
            GetClassNameW(window, class_name, 16);
            if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
                wcscmp(class_name, L"#32768") != 0)
                return TRUE;
            *reinterpret_cast<HWND *>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The tray menu the right click opened: its items as shown, then it is closed.
std::vector<menu_item> read_tray_menu() {
    HWND menu_window = nullptr;
    eventually([&] { return (menu_window = own_popup_menu()) != nullptr; });
    std::vector<menu_item> items;
    if (!menu_window)
        return items;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        if (text[0])
            items.push_back({text, GetMenuItemID(menu, i),
                             (GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) != 0,
                             GetSubMenu(menu, i)});
    }
    PostMessageW(menu_window, WM_KEYDOWN, VK_ESCAPE, 0);
    eventually([] { return own_popup_menu() == nullptr; });
    return items;
}

UINT item_id(const std::vector<menu_item> &items, const wchar_t *text) {
    for (const menu_item &item : items)
        if (item.text == text)
            return item.id;
    return 0;
}

TEST_F(Tray, MenuItemsDoWhatTheirButtonsDo) {
    write_station_file(two_groups);
    ASSERT_TRUE(start_player());
    icon_click(WM_RBUTTONUP);
    std::vector<menu_item> items = read_tray_menu();
    std::vector<std::wstring> texts;
    for (const menu_item &item : items)
        texts.push_back(item.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Stations", L"Play", L"Stop", L"Record", L"Songs",
                                                L"Sleep timer", L"Copy song title", L"History...",
                                                L"Exit"}));
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0].sub_menu, station_menus[0]); // the Stations button's own menu
    EXPECT_NE(items[5].sub_menu, nullptr);
    EXPECT_FALSE(items[3].checked || items[4].checked);
    EXPECT_EQ(GetMenuItemCount(station_menus[0]), 2); // lent, taken back whole

    play_jazz(); // chooses a1 with the command of its item in the Stations sub-menu
    menu_command(item_id(items, L"Record"));
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    EXPECT_TRUE(record_checked());
    make_file(L"rec.mp3");
    menu_command(item_id(items, L"Songs"));
    EXPECT_EQ(IsDlgButtonChecked(main_window, IDC_SONGS), BST_CHECKED);
    icon_click(WM_RBUTTONUP);
    items = read_tray_menu();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_TRUE(items[3].checked && items[4].checked);

    menu_command(item_id(items, L"Copy song title"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE copied = GetClipboardData(CF_UNICODETEXT);
    EXPECT_STREQ(copied ? static_cast<const wchar_t *>(GlobalLock(copied)) : L"", L"Artist - Song");
    if (copied)
        GlobalUnlock(copied);
    CloseClipboard();

    menu_command(item_id(items, L"Stop"));
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
    EXPECT_TRUE(fake_called("BASS_StreamFree(11)"));
    EXPECT_EQ(window_title(), "Brevora");
    menu_command(item_id(items, L"Play"));
    ASSERT_TRUE(wait_for_plays(2));
    menu_command(item_id(items, L"History..."));
    EXPECT_TRUE(eventually([] {
        const HWND history = FindWindowW(nullptr, L"History");
        return history && GetWindow(history, GW_OWNER) == main_window;
    }));
    menu_command(item_id(items, L"Exit"));
    EXPECT_EQ(WaitForSingleObject(ended_event, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(Tray, OptionsAreRememberedAndADamagedFileGivesTheDefaults) {
    write_player_settings("\xFF\xFE[player\0]\x01minimize_to_tray=maybe\n"s +
                          std::string(5000, '=') + "\nclose_to_tray");
    ASSERT_TRUE(start_player());
    EXPECT_EQ(find_message_box(nullptr), nullptr);
    for (int id : {IDM_MINIMIZE_TO_TRAY, IDM_CLOSE_TO_TRAY, IDM_NOTIFY_SONGS}) {
        EXPECT_FALSE(checked_in_system_menu(id)) << id;
        system_command(id);
        EXPECT_TRUE(checked_in_system_menu(id)) << id;
    }
    EXPECT_NE(settings_file().find("minimize_to_tray=on\r\nclose_to_tray=on\r\nnotify_songs=on"),
              std::string::npos);
    close_player();

    ASSERT_TRUE(start_player());
    for (int id : {IDM_MINIMIZE_TO_TRAY, IDM_CLOSE_TO_TRAY, IDM_NOTIFY_SONGS})
        EXPECT_TRUE(checked_in_system_menu(id)) << id;
    // Minimising and the close box hide the window and its taskbar button; the icon brings
    // it back; only Exit ends the player.
    system_command(SC_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(main_window));
    icon_click(WM_LBUTTONUP);
    ASSERT_TRUE(eventually([&] { return in_front() && !IsIconic(main_window); }));
    system_command(SC_CLOSE);
    EXPECT_FALSE(IsWindowVisible(main_window));
    EXPECT_EQ(WaitForSingleObject(ended_event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    menu_command(IDM_EXIT);
    EXPECT_EQ(WaitForSingleObject(ended_event, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(Tray, SleepChoicesReplaceEachOtherAndOffCancels) {
    write_player_settings("[player]\r\nsleep_choices=90,1,15\r\n");
    play_jazz();
    const int fifteen = IDM_FIRST_SLEEP_CHOICE + 16, ninety = IDM_FIRST_SLEEP_CHOICE + 32;
    EXPECT_TRUE(checked_in_system_menu(IDM_SLEEP_OFF));
    system_command(fifteen);
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM\nSleep in 15 min"));
    system_command(ninety);
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM\nSleep in 90 min"));
    EXPECT_TRUE(checked_in_system_menu(ninety));
    EXPECT_FALSE(checked_in_system_menu(fifteen) || checked_in_system_menu(IDM_SLEEP_OFF));
    choose(1); // a station choice leaves the timer running
    ASSERT_TRUE(wait_for_plays(2));
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM\nSleep in 90 min"));
    system_command(IDM_SLEEP_OFF);
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM"));
    EXPECT_TRUE(checked_in_system_menu(IDM_SLEEP_OFF));
    EXPECT_FALSE(checked_in_system_menu(ninety));
}

// A clock four times as fast as the real one: the minute passes in 15 s, its fade in 7.5 s.
ULONGLONG WINAPI fast_clock() {
    static const ULONGLONG started = GetTickCount64();
    return started + (GetTickCount64() - started) * 4;
}

TEST_F(Tray, OneMinuteSleepFadesOutStopsAndFinishesTheRecording) {
    set_sleep_clock(fast_clock);
    write_player_settings("[player]\r\nsleep_choices=1\r\n");
    play_jazz();
    press_record();
    make_file(L"rec.mp3");
    menu_command(IDM_FIRST_SLEEP_CHOICE); // from the tray menu's Sleep timer
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM\nSleep in 1 min"));
    ASSERT_TRUE(wait_for_fake(
        [](fake_audio_state &state) {
            return std::find(state.calls.begin(), state.calls.end(), "BASS_StreamFree(11)") !=
                   state.calls.end();
        },
        90000));
    ASSERT_TRUE(wait_for_tip(L"Brevora"));

    // The volume went down step by step to silence, then the slider's volume came back; the
    // stream went silent with its recording, which was finished on a thread of its own.
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
    auto recording_began = [](const std::vector<std::string> &calls) {
        return std::find_if(calls.begin(), calls.end(), [](const std::string &made) {
            return made.rfind("BASS_Encode_Start(11)", 0) == 0;
        });
    };
    ASSERT_TRUE(wait_for_fake([&](fake_audio_state &state) {
        return std::find(recording_began(state.calls), state.calls.cend(),
                         "BASS_SetConfig(5,5000)") != state.calls.cend();
    }));
    const std::vector<std::string> calls = fake_calls();
    auto call = recording_began(calls);
    std::vector<int> volumes;
    for (; call != calls.end() && *call != "BASS_SetConfig(5,5000)"; ++call)
        if (call->rfind("BASS_SetConfig(5,", 0) == 0)
            volumes.push_back(std::stoi(call->substr(17)));
    ASSERT_NE(call, calls.end());
    ASSERT_GE(volumes.size(), 20u);
    EXPECT_TRUE(std::is_sorted(volumes.rbegin(), volumes.rend()));
    EXPECT_LT(volumes.front(), 5000);
    EXPECT_EQ(volumes.back(), 0);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "BASS_StreamFree(11)"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "BASS_Encode_Stop(16384)"), calls.end());
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_TRUE(checked_in_system_menu(IDM_SLEEP_OFF));
}

TEST_F(Tray, SleepFinishesTheRecordingAndWakeReconnectsTheStation) {
    play_jazz();
    EXPECT_TRUE(execution_states().empty()); // playing alone keeps nothing awake
    press_record();
    make_file(L"rec.mp3");
    EXPECT_EQ(execution_states(),
              (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED}));

    EXPECT_EQ(SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0), TRUE);
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
    EXPECT_TRUE(fake_called("BASS_StreamFree(11)"));
    EXPECT_EQ(window_title(), "Brevora");
    // The system may sleep once the file is complete (the window learns it by a message).
    EXPECT_TRUE(eventually(
        [&] { return execution_states().back() == static_cast<EXECUTION_STATE>(ES_CONTINUOUS); }));

    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(wait_for_plays(2));
    EXPECT_EQ(count_calls("BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)"), 2u);
    ASSERT_TRUE(wait_for_tip(L"Artist - Song\nJazz FM"));

    // Stopped before the sleep: nothing is played on waking.
    click(IDC_STOP);
    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_FALSE(station_running());
}

TEST_F(Tray, WakeWaitsForTheNetworkWithoutAnErrorBox) {
    play_jazz();
    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    set_connection("http://127.0.0.1:9/a1", 0); // the network is not back yet
    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    ASSERT_TRUE(wait_for_text(IDC_STATION_LINE, "waiting for the network..."));
    EXPECT_TRUE(station_running());
    set_connection("http://127.0.0.1:9/a1", 11);
    ASSERT_TRUE(wait_for_plays(2));
    EXPECT_GE(count_calls("BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)"), 3u);
    EXPECT_EQ(find_message_box(L"Error"), nullptr);

    // Once a connection worked, a failure shows its box again.
    set_connection("http://127.0.0.1:9/a1", 0);
    choose(1);
    HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    answer_message_box(box);
}

} // namespace
