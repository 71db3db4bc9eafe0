// Shared by the tests that play stations against the fake library: a list of two groups,
// helpers to script its streams, and fixtures that choose stations and record.
#pragma once

#include "fake_player_window.h"
#include "player_ids.h"
#include "playback/player_state.h"

#include <algorithm>
#include <memory>
#include <string>

inline const char two_groups[] = "[stations]\r\nstation_count=4\r\n"
                                 "station_name_1=A\r\nstation_url_1=null\r\n"
                                 "station_name_2=a1\r\nstation_url_2=http://127.0.0.1:9/a1\r\n"
                                 "station_name_3=B\r\nstation_url_3=null\r\n"
                                 "station_name_4=b1\r\nstation_url_4=http://127.0.0.1:9/b1\r\n";

inline bool checked_by_command(int command_id) {
    return GetMenuState(station_menus[0], command_id, MF_BYCOMMAND) & MF_CHECKED;
}
inline bool checked_at(int position) {
    return GetMenuState(station_menus[0], position, MF_BYPOSITION) & MF_CHECKED;
}
inline std::string menu_text_at(HMENU menu, int position) {
    char text[64] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

// The stream a connection to url will open, with its state set up front.
inline fake_stream &prepare_stream(const std::string &url, HSTREAM handle) {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.connections[url].handle = handle;
    return fake.streams[handle];
}

inline void set_stream(HSTREAM handle, void (*change)(fake_stream &)) {
    std::lock_guard<std::mutex> guard(fake.lock);
    change(fake.streams[handle]);
}

inline size_t count_calls(const std::string &call) {
    std::vector<std::string> calls = fake_calls();
    return std::count(calls.begin(), calls.end(), call);
}

class Playback : public PlayerWindow {
  protected:
    void choose(int row) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + row, 0), 0);
    }
    bool wait_for_text(int control_id, const std::string &text) {
        return eventually([&] { return control_text(control_id) == text; });
    }
    bool wait_for_call(const std::string &call) {
        return wait_for_fake([&](fake_audio_state &state) {
            return std::find(state.calls.begin(), state.calls.end(), call) != state.calls.end();
        });
    }
};

class Recording : public Playback {
  protected:
    void SetUp() override {
        Playback::SetUp();
        scratch = std::make_unique<scratch_current_folder>(L"brevora-recording-test");
    }
    void TearDown() override {
        Playback::TearDown();
        scratch.reset();
    }
    void make_file(const wchar_t *name, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    bool exists(const wchar_t *name) { return GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES; }
    // A finished recording is named on a thread of its own: waits until the working file
    // has become `name`.
    bool wait_for_recording(const wchar_t *name) {
        return eventually([&] { return exists(name) && !exists(L"rec.mp3"); });
    }
    // Starts playing a stream whose title is title; the encoder "writes" rec.mp3.
    void play_with_title(const char *title, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        write_station_file(two_groups);
        fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
        stream.buffered = 80000;
        stream.tags[BASS_TAG_META] = std::string("StreamTitle='") + title + "';";
        ASSERT_TRUE(start_player());
        choose(1);
        ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    }
    void press_record() {
        // The button checks itself before its command arrives, as a click does.
        SendDlgItemMessageW(main_window, IDC_RECORD, BM_SETCHECK,
                            SendDlgItemMessageW(main_window, IDC_RECORD, BM_GETCHECK, 0, 0) ==
                                    BST_CHECKED
                                ? BST_UNCHECKED
                                : BST_CHECKED,
                            0);
        click(IDC_RECORD);
    }
    bool record_checked() {
        return SendDlgItemMessageW(main_window, IDC_RECORD, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    std::unique_ptr<scratch_current_folder> scratch;
};
