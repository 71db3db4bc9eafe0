// The player with the real audio library, playing the local demo station (Icecast fed by
// ffmpeg, started by the test fixture): a choice from the menu ends with the station's
// name, address, song and bitrate on screen, and Record makes a real MP3 with lame.exe.
#include "id3v2_length.h"
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"
#include "recording/recording.h"
#include "loopback_listener.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

class PlayerEndToEnd : public PlayerHarness {
  protected:
    // Starts the player with the demo station as its one row and chooses it.
    void choose_demo_station(const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        write_station_file("[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                           "station_url_1=null\r\nstation_name_2=Demo\r\nstation_url_2=" +
                           std::string(BREVORA_TEST_STATION_URL) + "\r\n");
        ASSERT_TRUE(start_player());
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    }
};

TEST_F(PlayerEndToEnd, ChoosingTheDemoStationPlaysItAndShowsWhatPlays) {
    ASSERT_NO_FATAL_FAILURE(choose_demo_station());

    EXPECT_TRUE(
        eventually([&] { return control_text(IDC_BITRATE_LABEL) == "128 Kbps MP3"; }, 30000))
        << control_text(IDC_STATION_LINE) << " / " << control_text(IDC_BITRATE_LABEL);
    EXPECT_EQ(control_text(IDC_STATION_LINE), "Brevora Demo");
    // The title changes when its song plays, which may be a moment after playback starts.
    EXPECT_TRUE(eventually([&] {
        return control_text(IDC_TITLE_LINE) == "Brevora demo - A and E";
    })) << control_text(IDC_TITLE_LINE);
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

// Recordings land in the current directory: a folder of the test's own, emptied before and
// after. lame.exe is found beside the test program.
class PlayerRecordingEndToEnd : public PlayerEndToEnd {
  protected:
    void SetUp() override {
        PlayerEndToEnd::SetUp();
        scratch = std::make_unique<scratch_current_folder>(L"brevora-end-to-end-recording");
    }
    void TearDown() override {
        PlayerEndToEnd::TearDown();
        scratch.reset();
    }
    std::unique_ptr<scratch_current_folder> scratch;
};

// -1 when there is no such file.
long long file_size(const wchar_t *name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<unsigned char> file_bytes(const char *name) {
    std::vector<unsigned char> bytes;
    FILE *file = std::fopen(name, "rb");
    if (!file)
        return bytes;
    unsigned char block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

// The number of MPEG-1 Layer III frames at 44.1 kHz that make up the whole file (an ID3v2 tag
// may begin it, an ID3v1 tag end it), or -1 when anything else is found.
int count_mp3_frames(const std::vector<unsigned char> &bytes) {
    static const int kbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                 112, 128, 160, 192, 224, 256, 320, 0};
    int frames = 0;
    size_t at = id3v2_length(bytes.data(), bytes.size());
    while (at + 4 <= bytes.size()) {
        if (bytes.size() - at == 128 && bytes[at] == 'T' && bytes[at + 1] == 'A' &&
            bytes[at + 2] == 'G')
            return frames;
        // Sync, MPEG-1, Layer III; then the bitrate and 44.1 kHz.
        if (bytes[at] != 0xFF || (bytes[at + 1] & 0xFE) != 0xFA)
            return -1;
        const int bitrate = kbps[bytes[at + 2] >> 4];
        if (bitrate == 0 || ((bytes[at + 2] >> 2) & 3) != 0)
            return -1;
        at += 144 * bitrate * 1000 / 44100 + ((bytes[at + 2] >> 1) & 1);
        ++frames;
    }
    return at == bytes.size() ? frames : -1;
}

// The demo station's title never changes: its song began, for the player, when it tuned in,
// and a recording keeps it from there.
TEST_F(PlayerRecordingEndToEnd, RecordingTheDemoStationGivesAnMp3NamedAfterTheSong) {
    ASSERT_NO_FATAL_FAILURE(choose_demo_station());
    ASSERT_TRUE(
        eventually([&] { return control_text(IDC_TITLE_LINE) == "Brevora demo - A and E"; }, 30000))
        << control_text(IDC_STATION_LINE);
    const DWORD started = GetTickCount(); // the title shows as playback starts
    click(IDC_RECORD);
    EXPECT_EQ(window_title(), "Brevora  [REC]");
    EXPECT_EQ(BASS_Encode_IsActive(encoder_handle), DWORD{BASS_ACTIVE_PLAYING});
    // Record until lame.exe has written three seconds of 128 kbps MP3 (it writes as it
    // encodes); the file's size is all it tells the world.
    constexpr long long three_seconds = 3 * 128000 / 8;
    EXPECT_TRUE(eventually([] { return file_size(L"rec.mp3") >= three_seconds; }, 30000))
        << file_size(L"rec.mp3") << " bytes of rec.mp3";
    click(IDC_RECORD);
    const double seconds = (GetTickCount() - started) / 1000.0;
    EXPECT_EQ(window_title(), "Brevora");
    // The file is finished and named on a thread of its own.
    EXPECT_TRUE(eventually([] {
        return GetFileAttributesW(L"rec.mp3") == INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW(L"Brevora demo - A and E.mp3") != INVALID_FILE_ATTRIBUTES;
    }));
    EXPECT_EQ(BASS_Encode_IsActive(encoder_handle), DWORD{BASS_ACTIVE_STOPPED});

    std::vector<unsigned char> recording = file_bytes("Brevora demo - A and E.mp3");
    ASSERT_FALSE(recording.empty()) << "rec.mp3 was not moved to the song's name";
    const int frames = count_mp3_frames(recording);
    ASSERT_GT(frames, 0) << "not a whole MP3 of 44.1 kHz frames";
    const double recorded = frames * 1152 / 44100.0;
    EXPECT_GT(recorded, seconds - 1.0);
    EXPECT_LT(recorded, seconds + 0.5);
    // 128 kbps, as lame_options defaults to "-b 128".
    EXPECT_NEAR(recording.size(), recorded * 128000 / 8, 4000);

    close_player();
    EXPECT_EQ(exit_code, 0);
}

// The computer sleeps while the demo station plays and records, and wakes: the recording is
// finished and named (on a thread of its own, the system kept awake meanwhile), and the
// station plays again on waking, on a new connection.
TEST_F(PlayerRecordingEndToEnd, SleepFinishesTheRecordingAndWakingPlaysTheStationAgain) {
    ASSERT_NO_FATAL_FAILURE(choose_demo_station());
    ASSERT_TRUE(
        eventually([&] { return control_text(IDC_TITLE_LINE) == "Brevora demo - A and E"; }, 30000))
        << control_text(IDC_STATION_LINE);
    click(IDC_RECORD);
    ASSERT_TRUE(eventually([] { return file_size(L"rec.mp3") > 0; }, 30000));
    const HSTREAM before_sleep = current_stream.load();

    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_TRUE(eventually([] {
        return GetFileAttributesW(L"rec.mp3") == INVALID_FILE_ATTRIBUTES &&
               file_size(L"Brevora demo - A and E.mp3") > 0;
    }));
    BASS_CHANNELINFO info;
    EXPECT_FALSE(BASS_ChannelGetInfo(before_sleep, &info));

    SendMessageW(main_window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(eventually([&] {
        return current_stream.load() != before_sleep &&
               BASS_ChannelGetInfo(current_stream.load(), &info) &&
               control_text(IDC_TITLE_LINE) == "Brevora demo - A and E";
    })) << control_text(IDC_STATION_LINE);
    close_player();
}

// A server that accepts connections and never answers: connecting to it blocks until the
// library's time-out (10 s in the player) unless something interrupts it.
class SilentServer {
  public:
    // Waits until a client has connected and takes it in; false after timeout_ms.
    bool wait_for_client(int timeout_ms) {
        client = listener.accept_client(timeout_ms);
        return client != INVALID_SOCKET;
    }
    ~SilentServer() {
        if (client != INVALID_SOCKET)
            closesocket(client);
    }
    int port() const { return listener.port(); }

  private:
    loopback_listener listener;
    SOCKET client = INVALID_SOCKET;
};

TEST_F(PlayerEndToEnd, ClosingWhileTheLibraryIsStillConnectingEndsPromptly) {
    SilentServer server;
    write_station_file("[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                       "station_url_1=null\r\nstation_name_2=Silent\r\n"
                       "station_url_2=http://127.0.0.1:" +
                       std::to_string(server.port()) + "/silent\r\n");
    ASSERT_TRUE(start_player());
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    // Once the server holds the connection, the worker is inside the library, waiting.
    ASSERT_TRUE(server.wait_for_client(15000));
    EXPECT_EQ(control_text(IDC_STATION_LINE), "connecting...");

    const DWORD closing_started = GetTickCount();
    close_player();
    EXPECT_EQ(exit_code, 0);
    // Well short of the 10 s the connection would otherwise wait for.
    EXPECT_LT(GetTickCount() - closing_started, 8000u);
}

} // namespace
