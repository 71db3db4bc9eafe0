// The player with the real audio library on an HLS station (tests/servers/hls_test_server.py,
// started by the CTest fixture): the master playlist's 128k AAC variant plays, and the
// window shows its timed ID3 title and "128 Kbps AAC".
#include "player_harness.h"
#include "player_ids.h"
#include "player_state.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The fixture writes the server's port to a file; Wine shows the Unix root as drive Z:.
int hls_station_port() {
    const char *file = std::getenv("BREVORA_HLS_PORT_FILE");
    if (!file)
        return 0;
    std::string path = std::string("Z:") + file;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    std::ifstream in(path);
    int port = 0;
    in >> port;
    return port;
}

class PlayerHls : public PlayerHarness {};

TEST_F(PlayerHls, MasterPlaylistStationShowsTitleAndBitrate) {
    const int port = hls_station_port();
    ASSERT_NE(port, 0) << "no HLS server";
    write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=HLS\r\nstation_url_1="
                       "http://127.0.0.1:" +
                       std::to_string(port) + "/master.m3u8\r\n");
    ASSERT_TRUE(start_player());
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION, 0), 0);
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

} // namespace
