// The player with the real audio library on the stations of tests/servers/hls_test_server.py
// (started by the CTest fixture): an HLS master playlist whose 128k AAC variant shows its
// timed ID3 title and "128 Kbps AAC", and a SHOUTcast-style station whose name and title
// come in Windows-1252 and read right, also in a recording's file name.
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"

#include <string>

namespace {

class PlayerStations : public PlayerHarness {
  protected:
    // Starts the player with the server's station at path as its one row and chooses it.
    void choose_station(const std::string &path, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        const int port = server_fixture_port("BREVORA_HLS_STATE", "port");
        ASSERT_NE(port, 0) << "no station server";
        write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=Test\r\n"
                           "station_url_1=http://127.0.0.1:" +
                           std::to_string(port) + path + "\r\n");
        ASSERT_TRUE(start_player());
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION, 0), 0);
    }
};

TEST_F(PlayerStations, HlsMasterPlaylistShowsTitleAndBitrate) {
    ASSERT_NO_FATAL_FAILURE(choose_station("/master.m3u8"));
    EXPECT_TRUE(
        eventually([&] { return control_text(IDC_BITRATE_LABEL) == "128 Kbps AAC"; }, 30000))
        << control_text(IDC_STATION_LINE) << " / " << control_text(IDC_BITRATE_LABEL);
    // Titles change every 4 s ("Artist - Song N"); the first one may precede the sync.
    EXPECT_TRUE(eventually(
        [&] { return control_text(IDC_TITLE_LINE).rfind("Artist - Song ", 0) == 0; }, 15000))
        << control_text(IDC_TITLE_LINE);
    click(IDC_STOP);
    close_player();
    EXPECT_EQ(exit_code, 0);
}

long long file_size(const wchar_t *name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST_F(PlayerStations, Windows1252TitlesReadRightAndNameTheRecording) {
    scratch_current_folder scratch(L"brevora-windows-1252-recording");
    ASSERT_NO_FATAL_FAILURE(choose_station("/shoutcast"));
    const std::wstring title = L"Caf\u00e9 del Mar - D\u00e9j\u00e0 vu";
    EXPECT_TRUE(eventually([&] { return control_wide_text(IDC_TITLE_LINE) == title; }, 30000))
        << control_text(IDC_TITLE_LINE);
    EXPECT_EQ(control_wide_text(IDC_STATION_LINE), L"Radio Caf\u00e9");
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "128 Kbps MP3");

    click(IDC_RECORD);
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    // lame.exe writes as it encodes: a second of 128 kbps MP3 is there soon.
    EXPECT_TRUE(eventually([] { return file_size(L"rec.mp3") >= 16000; }, 30000));
    click(IDC_RECORD);
    // The file is finished and named on a thread of its own.
    EXPECT_TRUE(eventually([&] {
        return file_size(L"rec.mp3") == -1 && file_size((title + L".mp3").c_str()) > 16000;
    }));
    close_player();
    EXPECT_EQ(exit_code, 0);
}

} // namespace
