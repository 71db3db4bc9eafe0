// The main window: its layout and texts, set-up, volume, command dispatch, About, close and
// destroy, and the version check at start.
#include "fake_player_window.h"
#include "main_dialog.h"
#include "player_ids.h"
#include "player_main.h"
#include "player_state.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <future>

namespace {

struct expected_control {
    int id;
    const char *class_name;
    const char *text;
    RECT place; // dialog units: x, y, width, height
};

const expected_control player_controls[] = {
    {IDC_VOLUME_SLIDER, TRACKBAR_CLASSA, "", {30, 19, 50, 12}},
    {IDC_PLAY, "Button", "Play", {110, 17, 28, 15}},
    {IDC_STOP, "Button", "Stop", {142, 17, 28, 15}},
    {IDC_TITLE_LINE, "Edit", "", {12, 55, 157, 20}},
    {IDC_STATION_LINE, "Edit", "", {12, 75, 157, 24}},
    {IDC_INFO_LINE, "Edit", "", {12, 98, 157, 12}},
    {IDC_RECORD, "Button", "Record", {6, 127, 45, 14}},
    {IDC_BITRATE_LABEL, "Static", "0 Kbps", {56, 129, 48, 10}},
    {IDC_STATIONS, "Button", "Stations", {109, 127, 47, 14}},
    {IDC_ABOUT, "Button", "?", {159, 127, 16, 14}},
};

// The controls without an identifier, found by their text.
const expected_control player_labels[] = {
    {-1, "Button", "Playback", {6, 3, 170, 39}},
    {-1, "Static", "Vol -", {11, 20, 16, 9}},
    {-1, "Static", "Vol +", {84, 20, 19, 9}},
    {-1, "Button", "Now Playing", {6, 44, 170, 78}},
};

RECT place_in_client(HWND control) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&place), 2);
    return place;
}

// The dialog manager converts position and size separately, each rounded on its own.
void expect_place(HWND dialog, HWND control, RECT dialog_units, const char *what,
                  const call_site &where = call_site::current()) {
    call_site_trace trace(where);
    MapDialogRect(dialog, &dialog_units);
    RECT actual = place_in_client(control);
    EXPECT_EQ(actual.left, dialog_units.left) << what;
    EXPECT_EQ(actual.top, dialog_units.top) << what;
    EXPECT_EQ(actual.right - actual.left, dialog_units.right) << what;
    EXPECT_EQ(actual.bottom - actual.top, dialog_units.bottom) << what;
}

std::string class_of(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
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

TEST_F(PlayerWindow, LayoutTextsAndStylesFollowTheTemplate) {
    ASSERT_TRUE(start_player());
    EXPECT_EQ(window_title(), "Brevora");

    const LONG frame = style_of(main_window);
    EXPECT_TRUE(frame & WS_CAPTION);
    EXPECT_TRUE(frame & WS_SYSMENU);
    EXPECT_TRUE(frame & WS_MINIMIZEBOX);
    EXPECT_FALSE(frame & WS_MAXIMIZEBOX);
    EXPECT_FALSE(frame & WS_THICKFRAME);

    RECT client;
    GetClientRect(main_window, &client);
    RECT size = {0, 0, 180, 145};
    MapDialogRect(main_window, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTA font;
    HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageW(main_window, WM_GETFONT, 0, 0));
    ASSERT_TRUE(GetObjectA(dialog_font, sizeof font, &font));
    EXPECT_STREQ(font.lfFaceName, "MS Shell Dlg");

    for (const expected_control &expected : player_controls) {
        SCOPED_TRACE(expected.id);
        HWND control = GetDlgItem(main_window, expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(class_of(control), expected.class_name);
        char text[64] = "";
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(text, expected.text);
        expect_place(main_window, control, expected.place, expected.text);
    }
    for (const expected_control &expected : player_labels) {
        SCOPED_TRACE(expected.text);
        HWND control = child_with_text(main_window, expected.text);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(class_of(control), expected.class_name);
        expect_place(main_window, control, expected.place, expected.text);
    }

    EXPECT_TRUE(style_of(GetDlgItem(main_window, IDC_VOLUME_SLIDER)) & TBS_NOTICKS);
    EXPECT_EQ(style_of(GetDlgItem(main_window, IDC_STOP)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(style_of(GetDlgItem(main_window, IDC_PLAY)) & BS_TYPEMASK, BS_PUSHBUTTON);
    const LONG record = style_of(GetDlgItem(main_window, IDC_RECORD));
    EXPECT_EQ(record & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_TRUE(record & BS_PUSHLIKE);
    for (int line : {IDC_TITLE_LINE, IDC_STATION_LINE, IDC_INFO_LINE}) {
        const LONG style = style_of(GetDlgItem(main_window, line));
        EXPECT_TRUE(style & ES_MULTILINE);
        EXPECT_TRUE(style & ES_CENTER);
        EXPECT_TRUE(style & ES_READONLY);
    }
    const LONG bitrate = style_of(GetDlgItem(main_window, IDC_BITRATE_LABEL));
    EXPECT_TRUE(bitrate & WS_DISABLED);
    EXPECT_EQ(bitrate & SS_TYPEMASK, SS_CENTER);

    EXPECT_NE(GetClassLongPtrW(main_window, GCLP_HICON), 0u);
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

TEST_F(PlayerWindow, SetUpStartsTheLibraryWithItsOptionsInOrder) {
    write_station_file("[config]\r\nuse_proxy=on\r\nproxy=user:secret@proxy.lan:3128\r\n"
                       "lame_options=-V 2\r\n");
    ASSERT_TRUE(start_player());
    const std::vector<std::string> expected = {
        "BASS_Init(-1,44100,0)",
        "BASS_SetConfig(5,5000)",
        "BASS_PluginLoad(bass_aac.dll)",
        "BASS_PluginLoad(bassflac.dll)",
        "BASS_PluginLoad(basswma.dll)",
        "BASS_SetConfig(21,1)",
        "BASS_SetConfig(15,0)",
        "BASS_SetConfig(11,10000)",
        "BASS_SetConfigPtr(17):user:secret@proxy.lan:3128",
    };
    EXPECT_EQ(fake_calls(), expected);
    EXPECT_EQ(fake.proxy, static_cast<const void *>(proxy_setting));
    EXPECT_STREQ(encoder_options, "-V 2");
    EXPECT_EQ(SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETRANGEMAX, 0, 0), 100);
    EXPECT_EQ(SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0), 50);
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
