// A SHOUTcast-style station that sends its titles in Windows-1252: the window shows the
// letters meant, also for titles that end in a cut multi-byte sequence, and a recording
// under such a title is named with them.
#include "fake_player_window.h"
#include "player_ids.h"
#include "playback/player_state.h"
#include "recording/recording.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

const char one_station[] = "[stations]\r\nstation_count=1\r\n"
                           "station_name_1=Latin\r\nstation_url_1=http://127.0.0.1:9/latin\r\n";

class Windows1252Titles : public PlayerWindow {
  protected:
    // Plays the station, whose headers and first title are given.
    void play(const std::string &headers, const std::string &title) {
        write_station_file(one_station);
        {
            std::lock_guard<std::mutex> guard(fake.lock);
            fake.connections["http://127.0.0.1:9/latin"].handle = 11;
            fake_stream &stream = fake.streams[11];
            stream.buffered = 80000;
            stream.tags[BASS_TAG_ICY] = headers;
            stream.tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        }
        ASSERT_TRUE(start_player());
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION, 0), 0);
        ASSERT_TRUE(wait_for_fake([](fake_audio_state &state) {
            return std::find(state.calls.begin(), state.calls.end(), "BASS_ChannelPlay(11,0)") !=
                   state.calls.end();
        }));
    }
    void announce(const std::string &title) {
        {
            std::lock_guard<std::mutex> guard(fake.lock);
            fake.streams[11].tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        }
        fire_syncs(11, BASS_SYNC_META);
    }
};

TEST_F(Windows1252Titles, ShowTheLettersMeant) {
    play("icy-name:Radio Caf\xe9\0icy-url:http://caf\xe9.example/\0"s, "Caf\xe9 del Mar");
    EXPECT_EQ(control_wide_text(IDC_STATION_LINE), L"Radio Caf\u00e9");
    EXPECT_EQ(control_wide_text(IDC_INFO_LINE), L"http://caf\u00e9.example/");
    EXPECT_EQ(control_wide_text(IDC_TITLE_LINE), L"Caf\u00e9 del Mar");

    struct shown {
        std::string title;
        std::wstring expected;
    };
    const shown titles[] = {
        {"d\xe9j\xe0", L"d\u00e9j\u00e0"}, // a cut three-byte sequence before the end
        {"caf\xe9", L"caf\u00e9"},
        {"x\xc3", L"x\u00c3"},
        {"\x93Quoted\x94 \x96 \x80 5", L"\u201cQuoted\u201d \u2013 \u20ac 5"},
        {"Beyonc\xc3\xa9 \xe2\x99\xab", L"Beyonc\u00e9 \u266b"}, // UTF-8 stays UTF-8
    };
    // Repeated, as the text that follows an unended copy changes from one allocation to the next.
    for (int round = 0; round < 5; ++round)
        for (const shown &next : titles) {
            announce(next.title);
            EXPECT_EQ(control_wide_text(IDC_TITLE_LINE), next.expected) << next.title;
        }
}

TEST_F(Windows1252Titles, OggTitleCutToFitKeepsWholeCharacters) {
    // "artist - title" is cut at 99 bytes; here the cut splits the two-byte "\xc3\xa9".
    play("icy-name:x\0"s, "");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags.erase(BASS_TAG_META);
        fake.streams[11].tags[BASS_TAG_OGG] =
            "artist="s + std::string(95, 'x') + "\0title=\xc3\xa9t\xc3\xa9\0"s;
    }
    fire_syncs(11, BASS_SYNC_OGG_CHANGE);
    EXPECT_EQ(control_wide_text(IDC_TITLE_LINE), std::wstring(95, L'x') + L" - ");
}

TEST_F(Windows1252Titles, RecordingIsNamedWithTheLettersMeant) {
    scratch_current_folder scratch(L"brevora-latin-recording-test");
    play("icy-name:x\0"s, "Beyonc\xe9 - D\xe9j\xe0 Vu");
    SendDlgItemMessageW(main_window, IDC_RECORD, BM_SETCHECK, BST_CHECKED, 0);
    click(IDC_RECORD);
    HANDLE file = CreateFileW(L"rec.mp3", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    click(IDC_STOP);
    EXPECT_EQ(std::wstring(record_target), L"Beyonc\u00e9 - D\u00e9j\u00e0 Vu.mp3");
    // Named on the thread that finishes the recording.
    EXPECT_TRUE(eventually([] {
        return GetFileAttributesW(L"Beyonc\u00e9 - D\u00e9j\u00e0 Vu.mp3") !=
               INVALID_FILE_ATTRIBUTES;
    }));
}

} // namespace
