// How the player starts: resuming the last station at the last volume (or not), a station link
// on the command line played outside the list, and a second start handing its link to the
// player already running.
#include "player_playback_fixture.h"

#include "playback/connection.h"
#include "playback/window_messages.h"
#include "settings/player_settings.h"
#include "settings/whole_file.h"

#include <commctrl.h>

namespace {

using namespace std::string_literals;

// The list's rows in another order, as the editor may leave them: a1 is now row 3.
const char two_groups_reordered[] = "[stations]\r\nstation_count=4\r\n"
                                    "station_name_1=B\r\nstation_url_1=null\r\n"
                                    "station_name_2=b1\r\nstation_url_2=http://127.0.0.1:9/b1\r\n"
                                    "station_name_3=A\r\nstation_url_3=null\r\n"
                                    "station_name_4=a1\r\nstation_url_4=http://127.0.0.1:9/a1\r\n";

class PlayerStart : public Playback {
  protected:
    void restart() {
        close_player();
        reset_fake_audio();
        prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
        ASSERT_TRUE(start_player());
    }
    void set_volume(int position) {
        const HWND slider = GetDlgItem(main_window, IDC_VOLUME_SLIDER);
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(main_window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                     reinterpret_cast<LPARAM>(slider));
    }
    int volume() {
        return static_cast<int>(
            SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0));
    }
    bool resume_checked() {
        return GetMenuState(GetSystemMenu(main_window, FALSE), IDM_SYSTEM_RESUME, MF_BYCOMMAND) &
               MF_CHECKED;
    }
    // Any station's item or group heading of the Stations menu.
    bool any_station_checked() {
        const auto checked = [](UINT item, UINT by) {
            const UINT state = GetMenuState(station_menus[0], item, by);
            return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
        };
        for (int row = 0; row < station_total; ++row)
            if (checked(IDM_FIRST_STATION + row, MF_BYCOMMAND))
                return true;
        for (int position = 0; position < GetMenuItemCount(station_menus[0]); ++position)
            if (checked(position, MF_BYPOSITION))
                return true;
        return false;
    }
};

TEST_F(PlayerStart, ResumePlaysTheLastStationAtTheLastVolumeOnlyWhenOn) {
    for (const bool resume : {false, true}) {
        SCOPED_TRACE(resume ? "resume on" : "resume off");
        write_station_file(two_groups);
        prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
        ASSERT_TRUE(start_player());
        EXPECT_FALSE(resume_checked());
        if (resume)
            SendMessageW(main_window, WM_SYSCOMMAND, IDM_SYSTEM_RESUME, 0);
        EXPECT_EQ(resume_checked(), resume);
        choose(1);
        ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
        set_volume(30);

        write_station_file(two_groups_reordered);
        ASSERT_NO_FATAL_FAILURE(restart());
        EXPECT_EQ(resume_checked(), resume);
        if (resume) {
            EXPECT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
            EXPECT_EQ(volume(), 30);
            EXPECT_TRUE(wait_for_call("BASS_SetConfig(5,3000)"));
            EXPECT_TRUE(checked_by_command(IDM_FIRST_STATION + 3));
        } else {
            // Posted messages come in turn: once the About box shows, start-up is done.
            PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), 0);
            const HWND about = wait_for_message_box(L"About");
            ASSERT_NE(about, nullptr);
            answer_message_box(about);
            EXPECT_FALSE(station_running());
            EXPECT_FALSE(any_station_checked());
            EXPECT_EQ(volume(), 50);
        }
        close_player();
        const player_settings saved = load_player_settings(player_settings_path());
        EXPECT_EQ(saved.resume, resume);
        EXPECT_EQ(saved.last_station_url, resume ? "http://127.0.0.1:9/a1" : "");
        EXPECT_EQ(saved.last_station_name, resume ? "a1" : "");
        DeleteFileW(player_settings_path().c_str());
        reset_fake_audio();
    }
}

TEST_F(PlayerStart, AStationLinkPlaysOutsideTheList) {
    const std::wstring playlist = path_beside_program(L"link-test.pls");
    ASSERT_TRUE(write_whole_file(playlist, "[playlist]\r\nFile1=http://127.0.0.1:9/listed\r\n"));
    const struct {
        std::wstring argument;
        std::string played;
    } links[] = {{L"http://127.0.0.1:9/link", "http://127.0.0.1:9/link"},
                 {playlist, "http://127.0.0.1:9/listed"}};
    for (const auto &link : links) {
        SCOPED_TRACE(link.played);
        write_station_file(two_groups);
        fake_stream &stream = prepare_stream(link.played, 21);
        stream.buffered = 80000;
        stream.tags[BASS_TAG_ICY] = "icy-name:Link Radio\0"s;
        stream.tags[BASS_TAG_META] = "StreamTitle='Linked Song';";
        start_argument = link.argument;
        ASSERT_TRUE(start_player());
        ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(21,0)"));
        EXPECT_TRUE(wait_for_text(IDC_STATION_LINE, "Link Radio"));
        EXPECT_FALSE(any_station_checked());
        // The history names the station by the stream's own name.
        SendMessageW(main_window, WM_NOW_PLAYING_CHANGED, 0, 0);
        std::string history;
        read_whole_file(path_beside_program(L"history.csv"), 1 << 16, history);
        EXPECT_NE(history.find(",Link Radio,Linked Song\r\n"), std::string::npos) << history;
        // Play plays the link again, not a station of the list.
        click(IDC_PLAY);
        EXPECT_TRUE(wait_for_fake([](fake_audio_state &state) {
            return std::count(state.calls.begin(), state.calls.end(), "BASS_ChannelPlay(21,0)") ==
                   2;
        }));
        close_player();
        reset_fake_audio();
    }
    DeleteFileW(playlist.c_str());
}

TEST_F(PlayerStart, ALinkThatDoesNotPlayShowsTheConnectionError) {
    write_station_file(two_groups);
    start_argument = L"http://127.0.0.1:9/dead";
    ASSERT_TRUE(start_player());
    const HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(answer_message_box(box), L"Can't play the stream\n(Error Code: 2)");
    EXPECT_TRUE(wait_for_text(IDC_STATION_LINE, "not playing"));
}

TEST_F(PlayerStart, ASecondStartHandsItsLinkToTheFirst) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/second", 22).buffered = 80000;
    ASSERT_TRUE(start_player());
    ShowWindow(main_window, SW_MINIMIZE);
    ASSERT_TRUE(eventually([] { return IsIconic(main_window) != FALSE; }));

    wchar_t command_line[] = L"\"" BREVORA_PLAYER_EXE L"\" http://127.0.0.1:9/second";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &second));
    const bool ended = WaitForSingleObject(second.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(second.hProcess, 1);
    DWORD exit_code = 1;
    GetExitCodeProcess(second.hProcess, &exit_code);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    EXPECT_TRUE(ended) << "the second start did not end";
    EXPECT_EQ(exit_code, 0u);
    EXPECT_TRUE(wait_for_call("BASS_ChannelPlay(22,0)"));
    EXPECT_TRUE(eventually([] { return !IsIconic(main_window); }));

    // Another program's data, or a malformed hand-over, is left alone.
    wchar_t link[] = L"http://127.0.0.1:9/other";
    const ULONG_PTR hand_over_tag = 0x42524556;
    const COPYDATASTRUCT refused[] = {{1, sizeof link, link},
                                      {hand_over_tag, 3, link},
                                      {hand_over_tag, 1 << 20, link},
                                      {hand_over_tag, 8, nullptr}};
    for (const COPYDATASTRUCT &data : refused)
        EXPECT_EQ(SendMessageW(main_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0)
            << data.dwData << " " << data.cbData;
}

} // namespace
