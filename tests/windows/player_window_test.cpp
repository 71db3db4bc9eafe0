// The main window: its layout and texts, set-up, volume, command dispatch, About, close and
// destroy, and the version check at start.
#include "player_playback_fixture.h"
#include "main_dialog.h"
#include "playback/player_state.h"
#include "playback/volume.h"
#include "player_ids.h"
#include "player_main.h"
#include "recording/recording.h"
#include "settings/startup_settings.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <future>

namespace {

using namespace std::string_literals;

RECT place_in_client(HWND control) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&place), 2);
    return place;
}

HWND child_with_text(HWND dialog, const char *text) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char child_text[64] = "";
        GetWindowTextA(child, child_text, sizeof child_text);
        if (std::strcmp(child_text, text) == 0)
            return child;
    }
    return nullptr;
}

LONG style_of(HWND window) {
    return GetWindowLongW(window, GWL_STYLE);
}

// What a user sees: a window called "Brevora" that keeps its size, its controls each
// showing its word (the mnemonic's mark is not drawn as text), all inside the window, the
// playback controls on one row inside "Playback", the three text lines inside "Now
// Playing", the rest on the row below, and no control covering another.
TEST_F(PlayerWindow, ControlsShowTheirWordsInTheirFramesWithoutCoveringEachOther) {
    ASSERT_TRUE(start_player());
    EXPECT_EQ(window_title(), "Brevora");
    const LONG frame = style_of(main_window);
    EXPECT_TRUE((frame & WS_MINIMIZEBOX) && !(frame & WS_MAXIMIZEBOX) && !(frame & WS_THICKFRAME));
    EXPECT_NE(GetClassLongPtrW(main_window, GCLP_HICON), 0u);

    auto shown_word = [](HWND control) {
        std::string text = std::string(64, '\0');
        text.resize(GetWindowTextA(control, text.data(), 64));
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        return text;
    };
    HWND playback_row[5] = {child_with_text(main_window, "Vol -"),
                            GetDlgItem(main_window, IDC_VOLUME_SLIDER),
                            child_with_text(main_window, "Vol +"),
                            GetDlgItem(main_window, IDC_PLAY), GetDlgItem(main_window, IDC_STOP)};
    const char *playback_words[5] = {"Vol -", "slider", "Vol +", "Play", "Stop"};
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(playback_row[i], nullptr) << i;
        if (i != 1) { // the slider shows no text
            EXPECT_EQ(shown_word(playback_row[i]), playback_words[i]);
        }
    }
    const char *bottom_words[4] = {"Record", "0 Kbps", "Stations", "?"};
    const int bottom_ids[4] = {IDC_RECORD, IDC_BITRATE_LABEL, IDC_STATIONS, IDC_ABOUT};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(shown_word(GetDlgItem(main_window, bottom_ids[i])), bottom_words[i]);

    RECT client;
    GetClientRect(main_window, &client);
    RECT playback = place_in_client(child_with_text(main_window, "Playback"));
    RECT now_playing = place_in_client(child_with_text(main_window, "Now Playing"));
    auto inside = [](const RECT &outer, const RECT &inner) {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
               inner.bottom <= outer.bottom;
    };
    EXPECT_TRUE(inside(client, playback) && inside(client, now_playing));
    EXPECT_LE(playback.bottom, now_playing.top);
    std::vector<RECT> shown;
    for (int i = 0; i < 5; ++i) {
        const RECT place = place_in_client(playback_row[i]);
        EXPECT_TRUE(inside(playback, place)) << playback_words[i];
        if (i > 0) { // left to right on one row
            EXPECT_GE(place.left, shown.back().right) << playback_words[i];
        }
        shown.push_back(place);
    }
    for (int id : {IDC_TITLE_LINE, IDC_STATION_LINE, IDC_INFO_LINE}) {
        const RECT place = place_in_client(GetDlgItem(main_window, id));
        EXPECT_TRUE(inside(now_playing, place)) << id;
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(main_window, id))) << id;
        shown.push_back(place);
    }
    for (int i = 0; i < 4; ++i) {
        const RECT place = place_in_client(GetDlgItem(main_window, bottom_ids[i]));
        EXPECT_TRUE(inside(client, place)) << bottom_words[i];
        EXPECT_GE(place.top, now_playing.bottom) << bottom_words[i];
        if (i > 0) {
            EXPECT_GE(place.left, shown.back().right) << bottom_words[i];
        }
        shown.push_back(place);
    }
    // The three text lines touch (their texts are centred within them); each starts below
    // the one before.
    EXPECT_TRUE(shown[5].top < shown[6].top && shown[6].top < shown[7].top);
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j) {
            if (i >= 5 && j <= 7)
                continue;
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &shown[i], &shown[j])) << i << " and " << j;
        }
}

// A static text wraps at a blank when its line is wider than the box: "Vol -" in a box too
// narrow shows as "Vol". Measured in the font the dialog gave its controls.
TEST_F(PlayerWindow, LabelsFitTheirTextOnOneLine) {
    ASSERT_TRUE(start_player());
    HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageW(main_window, WM_GETFONT, 0, 0));
    for (const char *label : {"Vol -", "Vol +", "0 Kbps"}) {
        SCOPED_TRACE(label);
        HWND control = child_with_text(main_window, label);
        ASSERT_NE(control, nullptr);
        HDC context = GetDC(control);
        HGDIOBJ previous = SelectObject(context, dialog_font);
        SIZE extent;
        ASSERT_TRUE(
            GetTextExtentPoint32A(context, label, static_cast<int>(strlen(label)), &extent));
        SelectObject(context, previous);
        ReleaseDC(control, context);
        RECT client;
        GetClientRect(control, &client);
        EXPECT_LE(extent.cx, client.right);
        EXPECT_GE(client.bottom, extent.cy);
    }
}

TEST_F(PlayerWindow, OpensAt150PixelsFromTheTopOfTheScreen) {
    ASSERT_TRUE(start_player());
    RECT frame;
    GetWindowRect(main_window, &frame);
    EXPECT_EQ(frame.top, 150);
    EXPECT_EQ(GetWindowLongW(main_window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

// What the user's settings do: the player starts at half volume, connects through the
// proxy of the station file and records with its encoder options.
TEST_F(Recording, StartsAtHalfVolumeAndUsesTheProxyAndEncoderOptionsOfTheStationFile) {
    write_station_file("[config]\r\nuse_proxy=on\r\nproxy=user:secret@proxy.lan:3128\r\n"
                       "lame_options=-V 2\r\n"s +
                       two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
    ASSERT_TRUE(start_player());
    HWND slider = GetDlgItem(main_window, IDC_VOLUME_SLIDER);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 5000u);
    EXPECT_STREQ(static_cast<const char *>(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY)),
                 "user:secret@proxy.lan:3128");
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    press_record();
    EXPECT_TRUE(fake_called("BASS_Encode_Start(11):lame.exe -V 2 - \"rec.mp3\""));
    press_record();
}

TEST_F(PlayerWindow, ProxyOnlyWhenUseProxyIsExactlyOn) {
    write_station_file("[config]\r\nuse_proxy=On\r\nproxy=proxy.lan:3128\r\n");
    ASSERT_TRUE(start_player());
    for (const std::string &call : fake_calls())
        EXPECT_EQ(call.find("SetConfigPtr"), std::string::npos) << call;
    EXPECT_STREQ(encoder_options, "-b 128");
}

TEST_F(PlayerWindow, OverlongSettingsAreCutAtTheirBuffers) {
    const std::string long_proxy(300, 'p');
    const std::string long_options(300, 'o');
    write_station_file("[config]\r\nuse_proxy=on\r\nproxy=" + long_proxy +
                       "\r\nlame_options=" + long_options + "\r\n");
    ASSERT_TRUE(start_player());
    // proxy_setting holds 200 bytes, encoder_options 128.
    EXPECT_EQ(std::string(proxy_setting), long_proxy.substr(0, 199));
    EXPECT_EQ(std::string(encoder_options), long_options.substr(0, 127));
}

TEST_F(PlayerWindow, VolumeSliderSetsTheStreamVolume) {
    ASSERT_TRUE(start_player());
    HWND slider = GetDlgItem(main_window, IDC_VOLUME_SLIDER);
    // 57 / 100.0 * 10000 is 5699.99...: truncated, not rounded.
    for (auto [position, volume] : {std::pair{0, 0u}, {50, 5000u}, {100, 10000u}, {57, 5699u}}) {
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(main_window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(slider));
        EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), volume) << position;
    }
    // A scroll message from anything else leaves the volume alone.
    SendMessageW(slider, TBM_SETPOS, TRUE, 20);
    SendMessageW(main_window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 20),
                 reinterpret_cast<LPARAM>(GetDlgItem(main_window, IDC_PLAY)));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 5699u);
}

TEST(VolumeMapping, TruncatesTowardZero) {
    // In floating point 57 and 69 give 5699.99... and 6899.99...: rounding would give whole
    // hundreds.
    const std::pair<int, DWORD> cases[] = {{0, 0},     {1, 100},   {50, 5000},
                                           {57, 5699}, {69, 6899}, {100, 10000}};
    for (auto [position, volume] : cases)
        EXPECT_EQ(volume_for_slider(position), volume) << position;
}

TEST_F(PlayerWindow, CommandsOutsideTheTableDoNothing) {
    write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=One\r\n"
                       "station_url_1=http://127.0.0.1:9/one\r\n");
    ASSERT_TRUE(start_player());
    const size_t calls_before = fake_calls().size();
    for (int id : {1999, 4048, 5000, 1006, 1014}) {
        EXPECT_EQ(player_dialog(main_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0), FALSE)
            << id;
    }
    // Notifications from the text lines carry their identifiers; they are ignored too.
    for (int id : {IDC_TITLE_LINE, IDC_STATION_LINE, IDC_INFO_LINE}) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(id, EN_SETFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(main_window, id)));
        EXPECT_EQ(player_dialog(main_window, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), 0), FALSE);
    }
    EXPECT_EQ(fake_calls().size(), calls_before);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "");
}

TEST_F(PlayerWindow, StationIdentifiersFrom2000To4047AreChoices) {
    write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=One\r\n"
                       "station_url_1=http://127.0.0.1:9/one\r\n");
    ASSERT_TRUE(start_player());
    // 4047 names no loaded row: it is a choice, but there is nothing to play.
    EXPECT_EQ(player_dialog(main_window, WM_COMMAND, MAKEWPARAM(4047, 0), 0), TRUE);
    EXPECT_FALSE(fake_called("BASS_StreamCreateURL(http://127.0.0.1:9/one,0x940000)"));

    // The notification code is not looked at: 2000 with any code is row 0.
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(2000, 1), 0);
    EXPECT_TRUE(wait_for_fake([](fake_audio_state &state) {
        return std::count(state.calls.begin(), state.calls.end(),
                          "BASS_StreamCreateURL(http://127.0.0.1:9/one,0x940000)") == 1;
    })) << ::testing::PrintToString(fake_calls());
    HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    answer_message_box(box);
}

TEST_F(PlayerWindow, AboutBoxNamesTheProgramAndItsFormats) {
    ASSERT_TRUE(start_player());
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), 0);
    HWND box = wait_for_message_box(L"About");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main_window);
    std::wstring text = answer_message_box(box);
    EXPECT_EQ(text.rfind(L"Brevora v2.4\n", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"\n\nSupports MP3, WMA, ASX, AAC, AAC+ & Ogg Vorbis Streams "
                        L"(SHOUTcast, Icecast etc...)\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"MinGW-w64"), std::wstring::npos);
    EXPECT_NE(text.find(L"\n\nVisit "), std::wstring::npos);
}

TEST_F(PlayerWindow, ButtonsTakeTheFocusBackToTheDialog) {
    ASSERT_TRUE(start_player());
    HWND stop = GetDlgItem(main_window, IDC_STOP);
    DWORD window_thread = GetWindowThreadProcessId(main_window, nullptr);
    AttachThreadInput(GetCurrentThreadId(), window_thread, TRUE);
    SetFocus(stop);
    ASSERT_EQ(GetFocus(), stop);
    click(IDC_STOP);
    // The dialog takes the focus; its default handling may pass it on to its first tab
    // stop, but never back to the pressed button.
    HWND focus = GetFocus();
    EXPECT_NE(focus, stop);
    EXPECT_TRUE(focus == main_window || IsChild(main_window, focus)) << focus;
    AttachThreadInput(GetCurrentThreadId(), window_thread, FALSE);
}

TEST_F(PlayerWindow, CloseFinishesTheRecordingThenDestroyReleasesTheLibrary) {
    scratch_current_folder scratch(L"brevora-close-test");
    ASSERT_TRUE(start_player());
    HANDLE working = CreateFileW(L"rec.mp3", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(working, INVALID_HANDLE_VALUE);
    CloseHandle(working);

    wcscpy(record_target, L"Artist - Song.mp3");
    encoder_handle = 0x4000;
    recording_started = true;
    fake.encoder_state = BASS_ACTIVE_PLAYING;
    SetWindowTextA(main_window, "Brevora  [REC]");

    close_player();
    EXPECT_EQ(exit_code, 0);
    const std::vector<std::string> calls = fake_calls();
    auto stop = std::find(calls.begin(), calls.end(), "BASS_Encode_Stop(16384)");
    auto release = std::find(calls.begin(), calls.end(), "BASS_Free");
    ASSERT_NE(stop, calls.end());
    ASSERT_NE(release, calls.end());
    EXPECT_LT(stop, release);
    EXPECT_NE(GetFileAttributesW(L"Artist - Song.mp3"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(L"rec.mp3"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(main_window != nullptr && IsWindow(main_window), false);
}

TEST_F(PlayerWindow, CloseWithoutRecordingTouchesNoFile) {
    ASSERT_TRUE(start_player());
    close_player();
    EXPECT_EQ(exit_code, 0);
    EXPECT_FALSE(fake_called("BASS_Encode_Stop(0)"));
    EXPECT_TRUE(fake_called("BASS_Free"));
}

TEST_F(PlayerWindow, ClosingWhileAWorkerIsConnectingEndsPromptly) {
    write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=Slow\r\n"
                       "station_url_1=http://192.0.2.1/slow\r\n");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections["http://192.0.2.1/slow"].wait_for_release = true;
    }
    ASSERT_TRUE(start_player());
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(2000, 0), 0);
    ASSERT_TRUE(wait_for_fake([](fake_audio_state &state) { return state.connecting == 1; }));
    EXPECT_EQ(control_text(IDC_STATION_LINE), "connecting...");

    // Releasing the library lets the worker finish; it then reports to a window that is
    // being destroyed, which must answer it rather than wait forever.
    close_player();
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(find_message_box(L"Error"), nullptr);
}

class PlayerStartUp : public PlayerWindow {};

TEST_F(PlayerStartUp, WrongLibraryVersionShowsTheMessageAndEnds) {
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.version = 0x02030000;
    }
    player_thread = std::thread([this] {
        exit_code = player_main();
        player_ended = true;
        SetEvent(ended_event);
    });
    HWND box = nullptr;
    ASSERT_TRUE(eventually([&] {
        box = find_message_box(nullptr);
        return box != nullptr;
    }));
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(answer_message_box(box), L"An incorrect version of BASS.DLL was loaded");
    ASSERT_EQ(WaitForSingleObject(ended_event, 5000), WAIT_OBJECT_0);
    player_thread.join();
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(main_window, nullptr);
    EXPECT_FALSE(fake_called("BASS_Init(-1,44100,0)"));
}

} // namespace
