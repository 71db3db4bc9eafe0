// The player with the real audio library on a Windows Media station and a FLAC station of the
// scripted test server (tests/servers/routes_formats.py, started by a CTest fixture): what
// the now-playing lines and the bitrate label show.
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"

namespace {

class PlayerFormats : public PlayerHarness {
  protected:
    // Starts the player with one station at `path` on the scripted server and chooses it.
    void choose_station(const std::string &path, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        int port = server_fixture_port("BREVORA_RADIO_SERVER_STATE");
        ASSERT_NE(port, 0) << "the scripted server is not running";
        write_station_file("[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                           "station_url_1=null\r\nstation_name_2=Test\r\nstation_url_2=http://"
                           "127.0.0.1:" +
                           std::to_string(port) + path + "\r\n");
        ASSERT_TRUE(start_player());
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    }
};

TEST_F(PlayerFormats, WmaStationShowsHeaderTagsScriptCommandsAndTheHeaderChange) {
    ASSERT_NO_FATAL_FAILURE(choose_station("/wmsp?live=1"));
    EXPECT_TRUE(eventually([&] { return control_text(IDC_BITRATE_LABEL) == "WMA"; }, 30000))
        << control_text(IDC_STATION_LINE) << " / " << control_text(IDC_BITRATE_LABEL);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "Brevora WMA");
    EXPECT_EQ(control_text(IDC_INFO_LINE), "Brevora Radio");
    // The program's script commands, then its successor's header, as they play.
    EXPECT_TRUE(
        eventually([&] { return control_text(IDC_TITLE_LINE) == "Artist - Second Song"; }, 20000))
        << control_text(IDC_TITLE_LINE);
    // The library's sync thread sets the two lines one after the other.
    EXPECT_TRUE(eventually(
        [&] {
            return control_text(IDC_STATION_LINE) == "Second Program" &&
                   control_text(IDC_INFO_LINE) == "Second Host";
        },
        20000))
        << control_text(IDC_STATION_LINE) << " / " << control_text(IDC_INFO_LINE);
    EXPECT_EQ(control_text(IDC_BITRATE_LABEL), "WMA");
    close_player();
    EXPECT_EQ(exit_code, 0);
}

TEST_F(PlayerFormats, FlacStationShowsAnUnknownTypeInItsLabel) {
    ASSERT_NO_FATAL_FAILURE(choose_station("/flac-icy"));
    EXPECT_TRUE(eventually(
        [&] {
            std::string label = control_text(IDC_BITRATE_LABEL);
            return label.size() > 2 && label.compare(label.size() - 2, 2, " ?") == 0;
        },
        30000))
        << control_text(IDC_BITRATE_LABEL);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "Flac Radio");
    EXPECT_TRUE(eventually([&] { return control_text(IDC_TITLE_LINE) == "Flac Song"; }, 15000))
        << control_text(IDC_TITLE_LINE);
    close_player();
    EXPECT_EQ(exit_code, 0);
}

} // namespace
