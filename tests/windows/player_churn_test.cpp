// The player with the real audio library flicking through hostile local stations (the
// scripted radio server, started by a CTest fixture): a live one, a dead port, one that
// stalls after 200 bytes and one that turns from MP3 into AAC. A hundred rapid choices
// leave it alive, never showing more than one error box at a time, and it closes within
// 5 s from whatever phase the last choice left it in.
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"

#include <algorithm>
#include <string>

namespace {

BOOL CALLBACK count_own_box(HWND window, LPARAM boxes) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t class_name[16] = L"";
    GetClassNameW(window, class_name, 16);
    if (process == GetCurrentProcessId() && window != main_window && IsWindowVisible(window) &&
        wcscmp(class_name, L"#32770") == 0)
        ++*reinterpret_cast<int *>(boxes);
    return TRUE;
}

int visible_boxes() {
    int boxes = 0;
    EnumWindows(count_own_box, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

class PlayerChurn : public PlayerHarness {};

TEST_F(PlayerChurn, SurvivesAHundredRapidChoicesAndClosesWithinFiveSeconds) {
    const int http = server_fixture_port("BREVORA_RADIO_SERVER_STATE", "http"),
              dead = server_fixture_port("BREVORA_RADIO_SERVER_STATE", "dead");
    ASSERT_NE(http, 0) << "the radio server fixture is not running";
    const std::string origin = "http://127.0.0.1:" + std::to_string(http);
    write_station_file(
        "[stations]\r\nstation_count=5\r\nstation_name_1=Local\r\nstation_url_1=null\r\n"
        "station_name_2=Live\r\nstation_url_2=" +
        origin +
        "/live\r\n"
        "station_name_3=Dead\r\nstation_url_3=http://127.0.0.1:" +
        std::to_string(dead) +
        "/\r\n"
        "station_name_4=Stalling\r\nstation_url_4=" +
        origin +
        "/mp3-stall\r\n"
        "station_name_5=Changing\r\nstation_url_5=" +
        origin + "/mp3-then-aac\r\n");
    ASSERT_TRUE(start_player());

    int most_boxes = 0;
    for (int choice = 0; choice < 100; ++choice) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1 + choice % 4, 0), 0);
        // Now and then the user waits for the outcome: playing, or an error box.
        if (choice % 10 == 9)
            eventually([&] {
                return visible_boxes() > 0 ||
                       control_text(IDC_BITRATE_LABEL).find("Kbps") != std::string::npos;
            });
        most_boxes = std::max(most_boxes, visible_boxes());
        if (HWND box = find_message_box(L"Error"); box && choice % 20 == 19)
            answer_message_box(box);
    }
    EXPECT_LE(most_boxes, 1);
    EXPECT_FALSE(player_ended) << "the player ended during the choices";

    // The user closes the window, answering an error box that is in the way (an owned box
    // disables the window; one may appear just as the close is clicked).
    const DWORD closing = GetTickCount();
    PostMessageW(main_window, WM_CLOSE, 0, 0);
    const bool ended = eventually(
        [&] {
            if (HWND box = find_message_box(L"Error"))
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            return player_ended.load();
        },
        5000);
    EXPECT_TRUE(ended) << "the player had not ended 5 s after WM_CLOSE";
    EXPECT_LT(GetTickCount() - closing, 5000u);
    if (ended)
        player_thread.join();
    EXPECT_EQ(exit_code, 0);
}

} // namespace
