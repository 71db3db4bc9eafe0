// From a station choice to a playing stream: the Stations menu and its check marks, the
// connection worker, buffering, the now-playing texts, the end of a stream, and recording.
#include "player_playback_fixture.h"
#include "playback/station_menu.h"
#include "recording/recording.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

TEST_F(Playback, GroupRowsBecomeSubMenusAndChoicesMoveTheCheckMarks) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11);
    prepare_stream("http://127.0.0.1:9/b1", 12);
    ASSERT_TRUE(start_player());
    ASSERT_EQ(GetMenuItemCount(station_menus[0]), 2);
    EXPECT_EQ(menu_text_at(station_menus[0], 0), "A");
    EXPECT_EQ(menu_text_at(station_menus[0], 1), "B");
    HMENU group_b = GetSubMenu(station_menus[0], 1);
    ASSERT_NE(group_b, nullptr);
    EXPECT_EQ(menu_text_at(group_b, 0), "b1");
    EXPECT_EQ(GetMenuItemID(group_b, 0), 2003u);

    choose(3);
    EXPECT_TRUE(checked_by_command(2003));
    EXPECT_TRUE(checked_at(1));
    EXPECT_FALSE(checked_at(0));
    EXPECT_TRUE(wait_for_call("BASS_StreamCreateURL(http://127.0.0.1:9/b1,0x940000)"));

    choose(1);
    EXPECT_FALSE(checked_by_command(2003));
    EXPECT_FALSE(checked_at(1));
    EXPECT_TRUE(checked_by_command(2001));
    EXPECT_TRUE(checked_at(0));
    EXPECT_TRUE(wait_for_call("BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)"));
}

TEST_F(Playback, StationRowsBeforeAnyGroupStayInTheMainMenu) {
    write_station_file("[stations]\r\nstation_count=2\r\n"
                       "station_name_1=One\r\nstation_url_1=http://127.0.0.1:9/1\r\n"
                       "station_name_2=Two\r\nstation_url_2=http://127.0.0.1:9/2\r\n");
    ASSERT_TRUE(start_player());
    ASSERT_EQ(GetMenuItemCount(station_menus[0]), 2);
    choose(1);
    EXPECT_TRUE(checked_by_command(2001));
    EXPECT_TRUE(checked_at(0)); // the group ordinal of a list without groups is 0
    HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    answer_message_box(box);
}

TEST_F(Playback, TablesAreNeverOverrun) {
    // Every missing row reads as a group row: only 63 sub-menus fit.
    write_station_file("[stations]\r\nstation_count=2000000000\r\n");
    ASSERT_TRUE(start_player());
    EXPECT_EQ(menu_count, 64);
    EXPECT_EQ(station_total, 63);
    EXPECT_EQ(GetMenuItemCount(station_menus[0]), 63);
    close_player();
    EXPECT_EQ(exit_code, 0);
}

TEST_F(Playback, PlayReconnectsOnlyOnceARowOtherThanTheFirstWasChosen) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11);
    ASSERT_TRUE(start_player());
    click(IDC_PLAY);
    EXPECT_EQ(count_calls("BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)"), 0u);
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)"));
    click(IDC_PLAY);
    EXPECT_TRUE(wait_for_fake([](fake_audio_state &state) {
        return std::count(state.calls.begin(), state.calls.end(),
                          "BASS_StreamCreateURL(http://127.0.0.1:9/a1,0x940000)") == 2;
    }));
    // The new connection frees the stream the first one opened.
    EXPECT_TRUE(wait_for_call("BASS_StreamFree(11)"));
}

TEST_F(Playback, UnreachableStationShowsNotPlayingAndOneErrorBox) {
    write_station_file(two_groups);
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections["http://127.0.0.1:9/a1"].error_code = BASS_ERROR_TIMEOUT;
    }
    ASSERT_TRUE(start_player());
    choose(1);
    HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main_window);
    EXPECT_EQ(answer_message_box(box), L"Can't play the stream\n(Error Code: 40)");
    EXPECT_EQ(control_text(IDC_STATION_LINE), "not playing");
    EXPECT_EQ(find_message_box(L"Error"), nullptr);
}

TEST_F(Playback, BuffersPastThreeQuartersThenShowsWhatPlays) {
    write_station_file(two_groups);
    fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
    stream.buffered = 60000; // exactly 75 % of 80000
    stream.tags[BASS_TAG_ICY] = "icy-notice1:x\0icy-name: Jazz FM\0ICY-URL:http://jazz.example/\0"s;
    stream.tags[BASS_TAG_HTTP] = "icy-name:should not be used\0"s;
    stream.tags[BASS_TAG_META] = "StreamTitle='Artist - Song';StreamUrl='';";
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections["http://127.0.0.1:9/a1"].status_text = "ICY 200 OK";
    }
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_text(IDC_STATION_LINE, "buffering... 75%"));
    EXPECT_EQ(control_text(IDC_INFO_LINE), "ICY 200 OK");
    EXPECT_TRUE(fake_called("BASS_ChannelFlags(11,0x80000,0x80000)"));
    EXPECT_FALSE(fake_called("BASS_ChannelPlay(11,0)"));

    set_stream(11, [](fake_stream &s) { s.buffered = 60800; }); // 76 %
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    EXPECT_EQ(control_text(IDC_STATION_LINE), " Jazz FM");
    EXPECT_EQ(control_text(IDC_INFO_LINE), "http://jazz.example/");
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "Artist - Song");
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "128 Kbps MP3");

    // Metadata syncs first, then the end sync, then playback.
    std::vector<std::string> calls = fake_calls();
    auto meta = std::find(calls.begin(), calls.end(), "BASS_ChannelSetSync(11,0x4)");
    auto ogg = std::find(calls.begin(), calls.end(), "BASS_ChannelSetSync(11,0xc)");
    auto end = std::find(calls.begin(), calls.end(), "BASS_ChannelSetSync(11,0x2)");
    auto play = std::find(calls.begin(), calls.end(), "BASS_ChannelPlay(11,0)");
    EXPECT_TRUE(meta < ogg && ogg < end && end < play);
}

TEST_F(Playback, DisconnectedDownloadStartsAtOnceAndTheEndResetsTheTexts) {
    write_station_file(two_groups);
    fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
    stream.buffered = 1000;
    stream.connected = 0;
    stream.ctype = 0x10300; // a type the label does not know
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    // Neither ICY nor HTTP headers: the station line is emptied.
    EXPECT_EQ(control_text(IDC_STATION_LINE), "");
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "128 Kbps ?");

    fire_syncs(11, BASS_SYNC_END);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "not playing");
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "");
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "128 Kbps ?");
}

TEST_F(Playback, TitlesFollowMetadataAndOggComments) {
    write_station_file(two_groups);
    fake_stream &stream = prepare_stream("http://127.0.0.1:9/a1", 11);
    stream.buffered = 80000;
    stream.ctype = BASS_CTYPE_STREAM_OGG;
    stream.tags[BASS_TAG_OGG] = "ARTIST=a\0Title=t\0"s;
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "a - t");
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "128 Kbps Ogg");

    struct change {
        std::string comments;
        const char *expected_title;
    };
    const change changes[] = {
        {"title=first\0title=second\0"s, "second"},
        {"artist=only\0"s, "second"}, // no title: nothing changes
        {"artist="s + std::string(100, 'x') + "\0title="s + std::string(50, 'y') + "\0"s, nullptr},
    };
    for (const change &next : changes) {
        {
            std::lock_guard<std::mutex> guard(fake.lock);
            fake.streams[11].tags[BASS_TAG_OGG] = next.comments;
        }
        fire_syncs(11, BASS_SYNC_OGG_CHANGE);
        if (next.expected_title)
            EXPECT_EQ(control_text(IDC_TITLE_LINE), next.expected_title);
        else
            EXPECT_EQ(control_text(IDC_TITLE_LINE), std::string(99, 'x')); // cut at 99 bytes
    }

    // Once the stream has a metadata string, the Ogg comments are no longer read.
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags[BASS_TAG_META] = "StreamTitle=';x'; trailing';";
    }
    fire_syncs(11, BASS_SYNC_META);
    EXPECT_EQ(control_text(IDC_TITLE_LINE), ";x");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags[BASS_TAG_META] = "StreamUrl='http://x';";
    }
    fire_syncs(11, BASS_SYNC_META);
    EXPECT_EQ(control_text(IDC_TITLE_LINE), ";x");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags[BASS_TAG_META] = "StreamTitle='Caf\xc3\xa9 \xe2\x99\xab';";
    }
    fire_syncs(11, BASS_SYNC_META);
    EXPECT_EQ(control_wide_text(IDC_TITLE_LINE), L"Caf\u00e9 \u266b");
}

TEST_F(Playback, NewestRequestWinsAndTheOlderStreamIsFreedSilently) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11);
    prepare_stream("http://127.0.0.1:9/b1", 12).buffered = 80000;
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections["http://127.0.0.1:9/a1"].wait_for_release = true;
        fake.connections["http://127.0.0.1:9/a1"].status_text = "HTTP/1.0 200 OK (old)";
        fake.connections["http://127.0.0.1:9/b1"].status_text = "HTTP/1.0 200 OK (new)";
    }
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_fake([](fake_audio_state &state) { return state.connecting == 1; }));
    choose(3);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(12,0)"));

    release_connections();
    ASSERT_TRUE(wait_for_call("BASS_StreamFree(11)"));
    EXPECT_EQ(current_stream.load(), 12u);
    EXPECT_EQ(control_text(IDC_INFO_LINE), "HTTP/1.0 200 OK (new)");
    EXPECT_FALSE(fake_called("BASS_ChannelPlay(11,0)"));
}

TEST_F(Playback, StopDuringConnectingDoesNotCancelTheRequest) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.connections["http://127.0.0.1:9/a1"].wait_for_release = true;
    }
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_fake([](fake_audio_state &state) { return state.connecting == 1; }));
    click(IDC_STOP);
    release_connections();
    EXPECT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
}

TEST_F(Playback, StreamFreedWhileBufferingShowsNotPlaying) {
    write_station_file(two_groups);
    prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 100;
    ASSERT_TRUE(start_player());
    choose(1);
    ASSERT_TRUE(wait_for_text(IDC_STATION_LINE, "buffering... 0%"));
    set_stream(11, [](fake_stream &s) { s.freed = true; }); // freed at its end by the library
    EXPECT_TRUE(wait_for_text(IDC_STATION_LINE, "not playing"));
}

// A UUID's text form as the player writes it, then ".mp3": 32 lower-case hexadecimal digits
// in groups of 8, 4, 4, 4 and 12, joined by hyphens.
::testing::AssertionResult is_uuid_recording_name(const std::wstring &name) {
    bool matches = name.size() == 36 + 4 && name.substr(36) == L".mp3";
    for (size_t i = 0; matches && i < 36; ++i)
        matches = (i == 8 || i == 13 || i == 18 || i == 23)
                      ? name[i] == L'-'
                      : name[i] != L'\0' && std::wcschr(L"0123456789abcdef", name[i]);
    if (matches)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << '"' << std::string(name.begin(), name.end()) << "\" is no UUID name";
}

TEST_F(Recording, WithoutAStreamTheButtonSpringsBack) {
    ASSERT_TRUE(start_player());
    press_record();
    EXPECT_FALSE(record_checked());
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_FALSE(fake_called("BASS_Encode_Start(0)"));
}

TEST_F(Recording, SecondPressRenamesTheFileAfterTheSong) {
    play_with_title("Artist - Song");
    press_record();
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    EXPECT_TRUE(record_checked());
    EXPECT_TRUE(fake_called("BASS_Encode_Start(11):lame.exe -b 128 - \"rec.mp3\""));
    make_file(L"rec.mp3");

    // A new title during the recording does not change the name taken at its start.
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.streams[11].tags[BASS_TAG_META] = "StreamTitle='Next Song';";
    }
    fire_syncs(11, BASS_SYNC_META);
    press_record();
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_FALSE(record_checked());
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
    EXPECT_TRUE(fake_called("BASS_Encode_Stop(16384)"));
}

TEST_F(Recording, TitlesAreCleanedAndTakenNamesNumbered) {
    play_with_title("AC/DC: Live");
    press_record();
    make_file(L"rec.mp3");
    click(IDC_STOP); // the full form: stops, renames, releases the button
    EXPECT_FALSE(record_checked());
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_EQ(std::wstring(record_target), L"AC-DC- Live.mp3");
    EXPECT_TRUE(wait_for_recording(L"AC-DC- Live.mp3"));

    // Stop silences the stream at once: it is freed first, and its encoder finishes the file
    // before the file is named.
    std::vector<std::string> calls = fake_calls();
    auto stop = std::find(calls.begin(), calls.end(), "BASS_Encode_Stop(16384)");
    auto free_stream = std::find(calls.begin(), calls.end(), "BASS_StreamFree(11)");
    EXPECT_TRUE(free_stream < stop);
    EXPECT_NE(stop, calls.end());

    // The same song again: its cleaned name is taken now.
    choose(1);
    ASSERT_TRUE(wait_for_fake([](fake_audio_state &state) {
        return std::count(state.calls.begin(), state.calls.end(), "BASS_ChannelPlay(11,0)") == 2;
    }));
    press_record();
    EXPECT_EQ(std::wstring(record_target), L"AC-DC- Live (2).mp3");
}

TEST_F(Recording, EmptyTitleGivesAUuidNameAndATakenNameANumber) {
    prepare_stream("http://127.0.0.1:9/b1", 12).buffered = 80000; // plays without a title
    play_with_title("Taken");
    make_file(L"Taken.mp3");
    make_file(L"Taken (2).mp3");
    press_record();
    EXPECT_EQ(std::wstring(record_target), L"Taken (3).mp3");

    choose(3); // finishes that recording
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(12,0)"));
    ASSERT_EQ(control_text(IDC_TITLE_LINE), "");
    press_record();
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    EXPECT_TRUE(is_uuid_recording_name(record_target));
}

TEST_F(Recording, AnEarlierUnrenamedRecordingIsKept) {
    play_with_title("Song");
    make_file(L"rec.mp3"); // left by a recording whose encoder ended by itself
    press_record();
    EXPECT_FALSE(exists(L"rec.mp3"));
    std::vector<std::wstring> kept;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"*.mp3", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do
        kept.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(is_uuid_recording_name(kept[0]));
}

TEST_F(Recording, EncoderThatCannotStartIsNotShownAsRecording) {
    play_with_title("Song");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.next_encoder = 0;
    }
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_RECORD, BN_CLICKED), 0);
    HWND box = wait_for_message_box(L"Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(answer_message_box(box), L"Can't start recording\n(Error Code: 2)");
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_FALSE(record_checked());
}

TEST_F(Recording, ChoosingAnotherStationFinishesTheRecordingFirst) {
    play_with_title("Artist - Song");
    press_record();
    make_file(L"rec.mp3");
    choose(3);
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_FALSE(record_checked());
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3"));
}

// The encoder program ends by itself mid-recording (it crashed, the disk filled up): the
// next action the user takes still names the file after the song chosen at the start, and
// the window stops claiming "[REC]".
class EncoderEndedByItself;
struct next_action {
    const char *name;
    void (*take)(EncoderEndedByItself &);
};

class EncoderEndedByItself : public Recording, public ::testing::WithParamInterface<next_action> {
  public: // for the table's actions
    using Recording::choose;
    using Recording::click;
    using Recording::close_player;
    using Recording::press_record;
};

TEST_P(EncoderEndedByItself, NextActionNamesTheFileAndRestoresTheTitle) {
    play_with_title("Artist - Song");
    press_record();
    ASSERT_EQ(window_title(), "Brevora  [REC]");
    make_file(L"rec.mp3");
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        fake.encoder_state = BASS_ACTIVE_STOPPED;
    }
    GetParam().take(*this);
    EXPECT_TRUE(wait_for_recording(L"Artist - Song.mp3")) << GetParam().name;
    if (!player_ended) {
        EXPECT_EQ(window_title(), "Brevora") << GetParam().name;
        EXPECT_FALSE(record_checked()) << GetParam().name;
    }
}

const next_action next_actions[] = {
    {"Record", [](EncoderEndedByItself &test) { test.press_record(); }},
    {"Stop", [](EncoderEndedByItself &test) { test.click(IDC_STOP); }},
    {"Play", [](EncoderEndedByItself &test) { test.click(IDC_PLAY); }},
    {"StationChoice", [](EncoderEndedByItself &test) { test.choose(3); }},
    {"Close", [](EncoderEndedByItself &test) { test.close_player(); }},
};

INSTANTIATE_TEST_SUITE_P(Actions, EncoderEndedByItself, ::testing::ValuesIn(next_actions),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
