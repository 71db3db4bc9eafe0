// The main window as a screen reader and a keyboard user meet it: every control's name and
// role through Microsoft Active Accessibility, the tab order, the mnemonics, and the event
// a new song title raises.
#include "player_playback_fixture.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>

namespace {

struct expected_accessible {
    int id;
    const wchar_t *name;
    long role;
};

// Top to bottom, left to right: also the tab order.
const expected_accessible controls_in_order[] = {
    {IDC_VOLUME_SLIDER, L"Volume", ROLE_SYSTEM_SLIDER},
    {IDC_PLAY, L"Play", ROLE_SYSTEM_PUSHBUTTON},
    {IDC_STOP, L"Stop", ROLE_SYSTEM_PUSHBUTTON},
    {IDC_TITLE_LINE, L"Song title", ROLE_SYSTEM_TEXT},
    {IDC_STATION_LINE, L"Station", ROLE_SYSTEM_TEXT},
    {IDC_INFO_LINE, L"Station details", ROLE_SYSTEM_TEXT},
    {IDC_RECORD, L"Record", ROLE_SYSTEM_CHECKBUTTON},
    {IDC_STATIONS, L"Stations", ROLE_SYSTEM_PUSHBUTTON},
    // Windows reads the name the player annotates, "About Brevora"; Wine's oleacc does not
    // apply annotations and reads the button's text.
    {IDC_ABOUT, L"?", ROLE_SYSTEM_PUSHBUTTON},
    {IDC_SONGS, L"Songs", ROLE_SYSTEM_CHECKBUTTON},
};
const int not_a_tab_stop = IDC_BITRATE_LABEL;

// IID_IAccessible, kept here: the system's accessibility and GUID libraries both define it.
const GUID accessible_interface = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The role a screen reader gives a control of a standard class, as Windows' accessibility
// proxies map them. Wine's oleacc answers ROLE_SYSTEM_CLIENT for every window, so the role
// is read from what decides it: the class and, for buttons, the button type.
long role_of_standard_control(HWND control) {
    wchar_t name[64] = L"";
    GetClassNameW(control, name, 64);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (lstrcmpiW(name, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            return ROLE_SYSTEM_PUSHBUTTON;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
            return ROLE_SYSTEM_CHECKBUTTON;
        return type == BS_GROUPBOX ? ROLE_SYSTEM_GROUPING : 0;
    }
    if (lstrcmpiW(name, TRACKBAR_CLASSW) == 0)
        return ROLE_SYSTEM_SLIDER;
    if (lstrcmpiW(name, L"Edit") == 0)
        return ROLE_SYSTEM_TEXT;
    if (lstrcmpiW(name, L"Static") == 0)
        return ROLE_SYSTEM_STATICTEXT;
    return 0;
}

// Name, role and keyboard shortcut of a control as a screen reader reads them.
struct accessible_reading {
    std::wstring name, shortcut;
    long role = 0;
};

accessible_reading read_out(HWND control) {
    accessible_reading reading;
    IAccessible *accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, accessible_interface,
                                          reinterpret_cast<void **>(&accessible))))
        return reading;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (accessible->get_accName(self, &text) == S_OK && text)
        reading.name = text;
    SysFreeString(text);
    text = nullptr;
    if (accessible->get_accKeyboardShortcut(self, &text) == S_OK && text)
        reading.shortcut = text;
    SysFreeString(text);
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(accessible->get_accRole(self, &role)) && role.vt == VT_I4)
        reading.role = role.lVal;
    if (reading.role == ROLE_SYSTEM_CLIENT)
        reading.role = role_of_standard_control(control);
    accessible->Release();
    return reading;
}

class Accessibility : public Playback {
  protected:
    void SetUp() override {
        Playback::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    void TearDown() override {
        Playback::TearDown();
        CoUninitialize();
    }
};

TEST_F(Accessibility, EveryControlReadsOutWithItsNameAndRoleAndTabGoesTopToBottom) {
    ASSERT_TRUE(start_player());
    for (const expected_accessible &expected : controls_in_order) {
        const accessible_reading reading = read_out(GetDlgItem(main_window, expected.id));
        EXPECT_EQ(reading.name, expected.name) << expected.id;
        EXPECT_EQ(reading.role, expected.role) << expected.id;
    }
    const accessible_reading bitrate = read_out(GetDlgItem(main_window, IDC_BITRATE_LABEL));
    EXPECT_EQ(bitrate.name, L"0 Kbps");
    EXPECT_EQ(bitrate.role, ROLE_SYSTEM_STATICTEXT);
    // The window itself reads as the program's name.
    EXPECT_EQ(read_out(main_window).name, L"Brevora");

    HWND control = GetDlgItem(main_window, controls_in_order[0].id);
    for (const expected_accessible &expected : controls_in_order) {
        EXPECT_EQ(GetDlgCtrlID(control), expected.id);
        control = GetNextDlgTabItem(main_window, control, FALSE);
    }
    EXPECT_EQ(GetDlgCtrlID(control), controls_in_order[0].id); // and round again
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(main_window, not_a_tab_stop), GWL_STYLE) & WS_TABSTOP);
}

// Alt and a letter press the button; the buttons still show their plain words.
TEST_F(Accessibility, MnemonicsPressStationsPlayStopAndRecord) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/b1", 12).buffered = 80000;
    ASSERT_TRUE(start_player());
    const struct {
        int id;
        const wchar_t *shortcut;
    } mnemonics[] = {{IDC_STATIONS, L"Alt+S"},
                     {IDC_PLAY, L"Alt+P"},
                     {IDC_STOP, L"Alt+t"},
                     {IDC_RECORD, L"Alt+R"},
                     {IDC_SONGS, L"Alt+o"}};
    for (const auto &mnemonic : mnemonics)
        EXPECT_EQ(read_out(GetDlgItem(main_window, mnemonic.id)).shortcut, mnemonic.shortcut);

    auto press_alt = [](wchar_t letter) {
        PostMessageW(main_window, WM_SYSCHAR, letter, 0x20000000); // bit 29: Alt is down
    };
    press_alt(L's'); // the Stations menu opens
    HWND menu = nullptr;
    ASSERT_TRUE(eventually([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr; }));
    PostMessageW(main_window, WM_CANCELMODE, 0, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindowVisible(menu); }));

    choose(3);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(12,0)"));
    press_alt(L't');
    ASSERT_TRUE(wait_for_call("BASS_StreamFree(12)"));
    press_alt(L'p');
    EXPECT_TRUE(wait_for_fake([](fake_audio_state &state) {
        return std::count(state.calls.begin(), state.calls.end(), "BASS_ChannelPlay(12,0)") == 2;
    }));
    press_alt(L'r');
    EXPECT_TRUE(eventually([&] { return window_title() == "Brevora  [REC]"; }));
    press_alt(L'r');
    EXPECT_TRUE(eventually([&] { return window_title() == "Brevora"; }));
}

// The History window as a keyboard and a screen-reader user meet it: named controls, and
// Tab going round them although the main window's dialog loop runs.
TEST_F(Accessibility, HistoryWindowNamesItsControlsAndTabGoesRound) {
    ASSERT_TRUE(start_player());
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_HISTORY, 1), 0);
    const HWND history = wait_for_message_box(L"History");
    ASSERT_NE(history, nullptr);
    const expected_accessible in_order[] = {
        {IDC_HISTORY_LIST, L"Songs heard", 0}, {IDC_HISTORY_COPY, L"Copy", 0},
        {IDC_HISTORY_SEARCH, L"Search", 0},    {IDC_HISTORY_EXPORT, L"Export...", 0},
        {IDC_HISTORY_CLEAR, L"Clear", 0},      {IDCANCEL, L"Close", 0},
    };
    for (const expected_accessible &expected : in_order)
        EXPECT_EQ(read_out(GetDlgItem(history, expected.id)).name, expected.name) << expected.id;
    EXPECT_EQ(read_out(history).name, L"History");

    const DWORD window_thread = GetWindowThreadProcessId(history, nullptr);
    AttachThreadInput(GetCurrentThreadId(), window_thread, TRUE);
    SetFocus(GetDlgItem(history, IDC_HISTORY_LIST));
    for (size_t step = 1; step <= std::size(in_order); ++step) {
        const int next = in_order[step % std::size(in_order)].id;
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        EXPECT_TRUE(eventually([&] { return GetFocus() == GetDlgItem(history, next); })) << next;
    }
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(eventually([&] { return !IsWindow(history); }));
    AttachThreadInput(GetCurrentThreadId(), window_thread, FALSE);
}

const DWORD live_region_changed_event = 0x8019; // EVENT_OBJECT_LIVEREGIONCHANGED

// Screen readers announce a live region's change: a new song title raises it.
class event_listener {
  public:
    explicit event_listener(DWORD event) {
        listener_ = this;
        hook_ = SetWinEventHook(event, event, nullptr, heard, GetCurrentProcessId(), 0,
                                WINEVENT_OUTOFCONTEXT);
    }
    ~event_listener() { UnhookWinEvent(hook_); }
    // Pumps this thread's messages (the hook's callbacks arrive through them) until a
    // control with this identifier raised the event, or timeout_ms pass.
    bool wait_for(int control_id, int timeout_ms = 15000) {
        const DWORD deadline = GetTickCount() + timeout_ms;
        while (heard_from_ != control_id) {
            const LONG left = static_cast<LONG>(deadline - GetTickCount());
            if (left <= 0)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
        return true;
    }

  private:
    static void CALLBACK heard(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
        if (object == OBJID_CLIENT && window)
            listener_->heard_from_ = GetDlgCtrlID(window);
    }
    static event_listener *listener_;
    HWINEVENTHOOK hook_;
    int heard_from_ = 0;
};
event_listener *event_listener::listener_;

TEST_F(Accessibility, ANewSongTitleIsAnnounced) {
    write_station_file(two_groups);
    fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
    stream.buffered = 80000;
    stream.tags[BASS_TAG_META] = "StreamTitle='First Song';";
    ASSERT_TRUE(start_player());
    event_listener listener(live_region_changed_event);
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    EXPECT_TRUE(listener.wait_for(IDC_TITLE_LINE));
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "First Song");
}

} // namespace
