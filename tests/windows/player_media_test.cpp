// The player as the system and other programs see it: media keys (WM_APPCOMMAND while the
// window has the focus or not, the shell's hook for the others), the system's media
// controls being absent (as under Wine), and the taskbar's thumbnail buttons and progress.
#include "desktop/media_controls_abi.h"
#include "desktop/system_media_controls.h"
#include "fake_media_controls.h"
#include "playback/connection.h"
#include "playback/window_messages.h"
#include "player_playback_fixture.h"
#include "recording/recording.h"

#include <shobjidl.h>

#include <mutex>

namespace {

using namespace std::string_literals;

// A window of "another program" that has the focus while the player gets its commands.
class other_window {
  public:
    other_window() {
        window_ = CreateWindowExW(0, L"STATIC", L"other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window_);
        SetFocus(window_);
    }
    ~other_window() { DestroyWindow(window_); }
    HWND handle() const { return window_; }

  private:
    HWND window_;
};

LRESULT app_command(HWND target, int command) {
    return SendMessageW(target, WM_APPCOMMAND, 0, MAKELPARAM(0, command | FAPPCOMMAND_KEY));
}

class MediaKeys : public Recording {
  protected:
    void SetUp() override {
        Recording::SetUp();
        write_station_file(two_groups);
        prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
        prepare_stream("http://127.0.0.1:9/b1", 12).buffered = 80000;
        prepare_stream("http://127.0.0.1:9/c1", 13).buffered = 80000;
    }
    size_t connections_to(const char *station) {
        return count_calls("BASS_StreamCreateURL(http://127.0.0.1:9/"s + station + ",0x940000)");
    }
    // Waits for the count'th connection to a station of the list and for it to play.
    bool wait_for_connection(const char *station, size_t count) {
        const std::string call =
            "BASS_StreamCreateURL(http://127.0.0.1:9/"s + station + ",0x940000)";
        // a1, b1 and c1 open the streams 11, 12 and 13.
        const std::string play =
            "BASS_ChannelPlay(" + std::to_string(11 + station[0] - 'a') + ",0)";
        return wait_for_fake([&](fake_audio_state &state) {
            return std::count(state.calls.begin(), state.calls.end(), call) ==
                       static_cast<long>(count) &&
                   std::count(state.calls.begin(), state.calls.end(), play) ==
                       static_cast<long>(count);
        });
    }
};

// How a media key reaches the player: as WM_APPCOMMAND to its window (it has the focus, or
// the test sends it there while another window has it), or through the shell's hook with
// the commands that another window left unanswered.
struct delivery {
    const char *name;
    LRESULT (*send)(int command);
};

const delivery deliveries[] = {
    {"AppCommand", [](int command) { return app_command(main_window, command); }},
    {"ShellHook",
     [](int command) {
         return SendMessageW(main_window, RegisterWindowMessageW(L"SHELLHOOK"), HSHELL_APPCOMMAND,
                             MAKELPARAM(0, command | FAPPCOMMAND_KEY));
     }},
};

class MediaKeyDelivery : public MediaKeys, public ::testing::WithParamInterface<delivery> {};

TEST_P(MediaKeyDelivery, NextPreviousPlayPauseAndStopWhileAnotherWindowHasTheFocus) {
    ASSERT_TRUE(start_player());
    other_window other;
    const auto send = GetParam().send;

    // Nothing chosen yet: Next takes the first station row, skipping the group heading.
    EXPECT_EQ(send(APPCOMMAND_MEDIA_NEXTTRACK), TRUE);
    EXPECT_TRUE(checked_by_command(2001));
    EXPECT_TRUE(checked_at(0));
    ASSERT_TRUE(wait_for_connection("a1", 1));
    EXPECT_TRUE(station_running());

    send(APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_TRUE(checked_by_command(2003) && checked_at(1));
    EXPECT_FALSE(checked_by_command(2001) || checked_at(0));
    ASSERT_TRUE(wait_for_connection("b1", 1));
    send(APPCOMMAND_MEDIA_NEXTTRACK); // wraps to the first station
    ASSERT_TRUE(wait_for_connection("a1", 2));
    send(APPCOMMAND_MEDIA_PREVIOUSTRACK); // wraps to the last
    ASSERT_TRUE(wait_for_connection("b1", 2));
    EXPECT_TRUE(checked_by_command(2003) && checked_at(1));

    send(APPCOMMAND_MEDIA_PLAY_PAUSE); // playing: stops
    EXPECT_TRUE(fake_called("BASS_StreamFree(12)"));
    EXPECT_FALSE(station_running());
    send(APPCOMMAND_MEDIA_PLAY_PAUSE); // stopped: plays the same station again
    ASSERT_TRUE(wait_for_connection("b1", 3));
    send(APPCOMMAND_MEDIA_PLAY); // already playing: nothing
    send(APPCOMMAND_MEDIA_STOP);
    EXPECT_FALSE(station_running());
    send(APPCOMMAND_MEDIA_PLAY);
    ASSERT_TRUE(wait_for_connection("b1", 4));
    send(APPCOMMAND_MEDIA_PAUSE); // a radio stream cannot pause: it stops
    EXPECT_FALSE(station_running());
    EXPECT_EQ(connections_to("a1"), 2u);

    // Keys the player has no use for go on to the system; the focus never moved.
    EXPECT_EQ(send(APPCOMMAND_VOLUME_UP), FALSE);
    EXPECT_EQ(GetFocus(), other.handle());
    EXPECT_EQ(GetForegroundWindow(), other.handle());
}

INSTANTIATE_TEST_SUITE_P(Paths, MediaKeyDelivery, ::testing::ValuesIn(deliveries),
                         [](const auto &info) { return std::string(info.param.name); });

// The recording goes with its stream to be finished in the background; the next station
// connects meanwhile, and the file gets its name.
TEST_F(MediaKeys, NextWhileRecordingFinishesItAndNamesTheFile) {
    play_with_title("Artist - Song");
    press_record();
    make_file(L"rec.mp3");
    app_command(main_window, APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_FALSE(record_checked());
    ASSERT_TRUE(wait_for_connection("b1", 1));
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
    EXPECT_TRUE(fake_called("BASS_StreamFree(11)"));
    EXPECT_TRUE(fake_called("BASS_Encode_Stop(16384)"));
}

TEST_F(MediaKeys, EmptyListOrOnlyGroupsLeaveEveryKeyWithoutEffect) {
    write_station_file(
        "[stations]\r\nstation_count=1\r\nstation_name_1=G\r\nstation_url_1=null\r\n");
    ASSERT_TRUE(start_player());
    const size_t calls_before = fake_calls().size();
    for (int command : {APPCOMMAND_MEDIA_NEXTTRACK, APPCOMMAND_MEDIA_PREVIOUSTRACK,
                        APPCOMMAND_MEDIA_PLAY_PAUSE, APPCOMMAND_MEDIA_PLAY})
        EXPECT_EQ(app_command(main_window, command), TRUE) << command;
    EXPECT_EQ(fake_calls().size(), calls_before) << ::testing::PrintToString(fake_calls());
    EXPECT_FALSE(station_running());
}

// Wine has no system media controls: this is the path of every system without them. The
// player then takes the keys through the shell's hook and runs as before, also when a song
// title changes and playback starts and stops.
TEST_F(MediaKeys, WithoutTheSystemsMediaControlsThePlayerRunsAsBefore) {
    ASSERT_TRUE(start_player());
    EXPECT_FALSE(system_media_controls_attached());
    app_command(main_window, APPCOMMAND_MEDIA_NEXTTRACK);
    ASSERT_TRUE(wait_for_connection("a1", 1));
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags[BASS_TAG_META] = "StreamTitle='Next Song';";
    }
    fire_syncs(11, BASS_SYNC_META);
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "Next Song");
    // A forged button message names no command: nothing happens.
    SendMessageW(main_window, WM_SYSTEM_MEDIA_BUTTON, 99, 0);
    EXPECT_TRUE(station_running());
    SendMessageW(main_window, WM_SYSTEM_MEDIA_BUTTON, 2 /* stop */, 0);
    EXPECT_FALSE(station_running());
    close_player();
    EXPECT_EQ(exit_code, 0);
}

// The system's media controls, played by fake_media_controls.dll registered for the test as
// their Windows Runtime class.
class SystemMediaControls : public MediaKeys {
  protected:
    void SetUp() override {
        MediaKeys::SetUp();
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        wcscpy(wcsrchr(path, L'\\') + 1, L"fake_media_controls.dll");
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, class_key, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD in_process = 0;
        RegSetValueExW(key, L"ActivationType", 0, REG_DWORD,
                       reinterpret_cast<const BYTE *>(&in_process), sizeof in_process);
        RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE *>(path),
                       static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        fake_dll = LoadLibraryW(path);
        ASSERT_NE(fake_dll, nullptr);
        snapshot = reinterpret_cast<fake_media_controls_snapshot_function>(
            reinterpret_cast<void (*)()>(GetProcAddress(fake_dll, "snapshot")));
        ASSERT_NE(snapshot, nullptr);
    }
    void TearDown() override {
        MediaKeys::TearDown();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, class_key);
        if (fake_dll)
            FreeLibrary(fake_dll);
    }
    fake_media_controls_state shown() {
        fake_media_controls_state state;
        snapshot(&state);
        return state;
    }
    // Presses a button of the controls, from this thread as the system does from its own.
    void press(int button) {
        using namespace media_controls_abi;
        static int pressed;
        static const button_arguments_vtable methods = {{}, [](void *, int *button) -> HRESULT {
                                                            *button = pressed;
                                                            return S_OK;
                                                        }};
        runtime_object<button_arguments_vtable> arguments = {&methods};
        pressed = button;
        auto *handler =
            static_cast<runtime_object<button_handler_vtable> *>(shown().button_handler);
        ASSERT_NE(handler, nullptr);
        handler->methods->Invoke(handler, nullptr, &arguments);
    }
    static constexpr const wchar_t *class_key =
        L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\"
        L"Windows.Media.SystemMediaTransportControls";
    HMODULE fake_dll = nullptr;
    fake_media_controls_snapshot_function snapshot = nullptr;
};

enum { shown_stopped = 2, shown_playing = 3 };
enum { press_play, press_pause, press_stop, press_next = 6, press_previous = 7 };

TEST_F(SystemMediaControls, ShowStationSongAndStateAndAnswerTheirButtons) {
    write_station_file("[stations]\r\nstation_count=3\r\n"
                       "station_name_1=a1\r\nstation_url_1=http://127.0.0.1:9/a1\r\n"
                       "station_name_2=b1\r\nstation_url_2=http://127.0.0.1:9/b1\r\n"
                       "station_name_3=c1\r\nstation_url_3=http://127.0.0.1:9/c1\r\n");
    ASSERT_TRUE(start_player());
    ASSERT_TRUE(system_media_controls_attached());
    EXPECT_EQ(shown().window, main_window);
    EXPECT_TRUE(shown().enabled);
    EXPECT_EQ(shown().status, shown_stopped);

    choose(1);
    ASSERT_TRUE(wait_for_connection("b1", 1));
    EXPECT_TRUE(eventually(
        [&] { return shown().status == shown_playing && std::wstring(shown().artist) == L"b1"; }));
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[12].tags[BASS_TAG_META] = "StreamTitle='Song Two';";
    }
    fire_syncs(12, BASS_SYNC_META);
    EXPECT_TRUE(eventually([&] { return std::wstring(shown().title) == L"Song Two"; }));
    const int updates = shown().updates;

    press(press_next);
    ASSERT_TRUE(wait_for_connection("c1", 1));
    EXPECT_TRUE(eventually([&] { return std::wstring(shown().artist) == L"c1"; }));
    EXPECT_GT(shown().updates, updates);
    press(press_pause);
    EXPECT_TRUE(eventually([&] { return !station_running() && shown().status == shown_stopped; }));
    press(press_play);
    ASSERT_TRUE(wait_for_connection("c1", 2));
    press(press_stop);
    EXPECT_TRUE(eventually([&] { return !station_running(); }));
    press(press_previous);
    ASSERT_TRUE(wait_for_connection("b1", 2));
    EXPECT_EQ(connections_to("a1"), 0u);

    close_player();
    EXPECT_EQ(shown().button_handler, nullptr);
    EXPECT_FALSE(shown().enabled);
}

// A stand-in for the taskbar, registered on the player's thread in place of the system's:
// it keeps what the player last showed.
class fake_taskbar : public ITaskbarList3 {
  public:
    std::mutex lock;
    int initialised = 0;
    std::vector<std::wstring> tips; // of the thumbnail buttons, in order
    std::vector<UINT> ids;
    TBPFLAG progress_state = TBPF_NOPROGRESS;
    ULONGLONG progress = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **result) override {
        if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, IID_ITaskbarList) ||
            IsEqualGUID(id, IID_ITaskbarList2) || IsEqualGUID(id, IID_ITaskbarList3) ||
            IsEqualGUID(id, IID_IClassFactory)) {
            *result = this;
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE HrInit() override {
        std::lock_guard<std::mutex> guard(lock);
        ++initialised;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
        std::lock_guard<std::mutex> guard(lock);
        progress = total ? done * 100 / total : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND, TBPFLAG state) override {
        std::lock_guard<std::mutex> guard(lock);
        progress_state = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT count, LPTHUMBBUTTON buttons) override {
        return keep_buttons(count, buttons);
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT count,
                                                    LPTHUMBBUTTON buttons) override {
        return keep_buttons(count, buttons);
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT *) override { return S_OK; }

    std::vector<std::wstring> shown_tips() {
        std::lock_guard<std::mutex> guard(lock);
        return tips;
    }

  private:
    HRESULT keep_buttons(UINT count, LPTHUMBBUTTON buttons) {
        std::lock_guard<std::mutex> guard(lock);
        tips.clear();
        ids.clear();
        for (UINT i = 0; i < count; ++i) {
            EXPECT_NE(buttons[i].hIcon, nullptr);
            tips.push_back(buttons[i].szTip);
            ids.push_back(buttons[i].iId);
        }
        return S_OK;
    }
};

// Hands out the one fake_taskbar for CLSID_TaskbarList.
class taskbar_factory : public IClassFactory {
  public:
    explicit taskbar_factory(fake_taskbar &taskbar) : taskbar_(taskbar) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **result) override {
        *result =
            IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, IID_IClassFactory) ? this : nullptr;
        return *result ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *, REFIID id, void **result) override {
        return taskbar_.QueryInterface(id, result);
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

  private:
    fake_taskbar &taskbar_;
};

class Taskbar : public MediaKeys {
  protected:
    void SetUp() override {
        MediaKeys::SetUp();
        before_start = [this] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            DWORD cookie = 0;
            ASSERT_EQ(CoRegisterClassObject(CLSID_TaskbarList, &factory, CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie),
                      S_OK);
        };
    }
    // What the taskbar sends once the program's button exists.
    void announce_button() {
        SendMessageW(main_window, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    }
    void thumb_click(int id) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(id, THBN_CLICKED), 0);
    }
    fake_taskbar taskbar;
    taskbar_factory factory{taskbar};
};

TEST_F(Taskbar, ThumbnailButtonsPlayStopAndRecordAndShowTheirState) {
    ASSERT_TRUE(start_player());
    announce_button();
    {
        std::lock_guard<std::mutex> guard(taskbar.lock);
        EXPECT_EQ(taskbar.initialised, 1);
        EXPECT_EQ(taskbar.tips, (std::vector<std::wstring>{L"Play", L"Record"}));
        EXPECT_EQ(taskbar.ids, (std::vector<UINT>{IDC_THUMB_PLAY_STOP, IDC_THUMB_RECORD}));
    }

    choose(1);
    ASSERT_TRUE(wait_for_connection("a1", 1));
    EXPECT_TRUE(eventually([&] { return taskbar.shown_tips()[0] == L"Stop"; }));
    thumb_click(IDC_THUMB_RECORD);
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    EXPECT_TRUE(record_checked());
    EXPECT_EQ(taskbar.shown_tips()[1], L"Stop recording");
    make_file(L"rec.mp3");

    thumb_click(IDC_THUMB_PLAY_STOP); // stops, finishing the recording
    EXPECT_FALSE(station_running());
    EXPECT_FALSE(record_checked());
    EXPECT_TRUE(wait_for_recording(record_target)); // the song had no title: a UUID name
    EXPECT_TRUE(eventually([&] {
        return taskbar.shown_tips() == std::vector<std::wstring>{L"Play", L"Record"};
    }));
    thumb_click(IDC_THUMB_PLAY_STOP); // plays the station again
    ASSERT_TRUE(wait_for_connection("a1", 2));

    // A second announcement: the taskbar restarted and lost the buttons; they come back.
    {
        std::lock_guard<std::mutex> guard(taskbar.lock);
        taskbar.tips.clear();
    }
    announce_button();
    std::lock_guard<std::mutex> guard(taskbar.lock);
    EXPECT_EQ(taskbar.initialised, 2);
    EXPECT_EQ(taskbar.tips, (std::vector<std::wstring>{L"Stop", L"Record"}));
}

TEST_F(Taskbar, ProgressFollowsTheBufferingPercentageThenGoes) {
    prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 40000; // 50 %
    ASSERT_TRUE(start_player());
    announce_button();
    choose(1);
    ASSERT_TRUE(wait_for_text(IDC_STATION_LINE, "buffering... 50%"));
    EXPECT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> guard(taskbar.lock);
        return taskbar.progress_state == TBPF_NORMAL && taskbar.progress == 50u;
    }));
    set_stream(11, [](fake_stream &s) { s.buffered = 80000; });
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    EXPECT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> guard(taskbar.lock);
        return taskbar.progress_state == TBPF_NOPROGRESS;
    }));
}

} // namespace
