// The player with the real audio library, playing the local demo station (Icecast fed by
// ffmpeg, started by the test fixture): a choice from the menu ends with the station's
// name, address, song and bitrate on screen.
#include "player_harness.h"
#include "player_ids.h"
#include "player_state.h"

#include <winsock2.h>

namespace {

class PlayerEndToEnd : public PlayerHarness {};

TEST_F(PlayerEndToEnd, ChoosingTheDemoStationPlaysItAndShowsWhatPlays) {
    write_station_file("[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                       "station_url_1=null\r\nstation_name_2=Demo\r\nstation_url_2=" +
                       std::string(BREVORA_TEST_STATION_URL) + "\r\n");
    ASSERT_TRUE(start_player());
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);

    EXPECT_TRUE(
        eventually([&] { return control_text(IDC_BITRATE_LABEL) == "128 Kbps MP3"; }, 30000))
        << control_text(IDC_STATION_LINE) << " / " << control_text(IDC_BITRATE_LABEL);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "Brevora Demo");
    EXPECT_EQ(control_text(IDC_TITLE_LINE), "Brevora demo - A and E");
    EXPECT_EQ(control_text(IDC_INFO_LINE), BREVORA_TEST_STATION_ADDRESS);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(current_stream.load(), &info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);

    click(IDC_STOP);
    EXPECT_FALSE(BASS_ChannelGetInfo(current_stream.load(), &info));
    close_player();
    EXPECT_EQ(exit_code, 0);
}

// A server that accepts connections and never answers: connecting to it blocks until the
// library's time-out (10 s in the player) unless something interrupts it.
class SilentServer {
  public:
    SilentServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        listen(listener, 4);
        int length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~SilentServer() {
        closesocket(listener);
        WSACleanup();
    }
    SOCKET listener;
    int port;
};

TEST_F(PlayerEndToEnd, ClosingWhileTheLibraryIsStillConnectingEndsPromptly) {
    SilentServer server;
    write_station_file("[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                       "station_url_1=null\r\nstation_name_2=Silent\r\n"
                       "station_url_2=http://127.0.0.1:" +
                       std::to_string(server.port) + "/silent\r\n");
    ASSERT_TRUE(start_player());
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    ASSERT_TRUE(eventually([&] { return control_text(IDC_STATION_LINE) == "connecting..."; }));
    Sleep(300); // the worker is now inside the library, waiting for the server

    const DWORD closing_started = GetTickCount();
    close_player();
    EXPECT_EQ(exit_code, 0);
    // Well short of the 10 s the connection would otherwise wait for.
    EXPECT_LT(GetTickCount() - closing_started, 8000u);
}

} // namespace
