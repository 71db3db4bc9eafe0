// HLS stations end to end against tests/servers/hls_test_server.py (ffmpeg's HLS output
// served live and as VOD): each segment format plays its tone, titles arrive as META syncs,
// the variant choice (past variants that are dead or that the decoder cannot play) shows in
// the tone and the buffer size, and every fault ends in a reconnect, the stream's end or an
// error code.
#include "python_server.h"
#include "stream_test_support.h"

#include "core/debug_log.h"

#include <algorithm>
#include <cstring>

using namespace stream_test;

namespace {

class HlsStreams : public ::testing::Test, protected callback_state {
  protected:
    static void SetUpTestSuite() {
        server = new test_support::python_server(BREVORA_TEST_SERVERS_DIR "/hls_test_server.py");
        const char *at = std::strstr(server->first_line().c_str(), "\"port\": ");
        port = at ? std::atoi(at + 8) : 0;
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(port, 0) << "the HLS server did not start";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
        audio::set_debug_log_sink(nullptr);
    }
    static std::string url(const std::string &path) {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + path;
    }
    // Opens path, plays it and checks that the tone at frequency comes out.
    HSTREAM play(const std::string &path, double frequency, output_capture &capture) {
        HSTREAM stream = BASS_StreamCreateURL(url(path).c_str(), 0, 0, nullptr, nullptr);
        EXPECT_NE(stream, 0u) << path << ": error " << BASS_ErrorGetCode();
        if (!stream)
            return 0;
        EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(15), 4410);
        EXPECT_EQ(played.size(), 8820u) << path;
        EXPECT_NEAR(measured_frequency(played, 44100), frequency, frequency / 100) << path;
        return stream;
    }
    static test_support::python_server *server;
    static int port;
};
test_support::python_server *HlsStreams::server = nullptr;
int HlsStreams::port = 0;

TEST_F(HlsStreams, EachSegmentFormatPlaysItsToneAndTitles) {
    struct station {
        const char *path;
        DWORD ctype;
        int title_syncs; // at least; the title changes every second segment (4 s)
    } stations[] = {
        {"ts128/live.m3u8", BASS_CTYPE_STREAM_AAC, 2},
        {"adts/live.m3u8", BASS_CTYPE_STREAM_AAC, 2},
        // AAC in fragmented MP4 is AAC to the player's label, as in the other containers.
        {"fmp4/live.m3u8", BASS_CTYPE_STREAM_AAC, 0},
        {"aes/live.m3u8", BASS_CTYPE_STREAM_AAC, 0},
        {"ts128/vod.m3u8", BASS_CTYPE_STREAM_AAC, 1},
        {"mp3/live.m3u8", BASS_CTYPE_STREAM_MP3, 2},
        // Redirected: the segments are found from where the playlist was.
        {"moved/adts/vod.m3u8", BASS_CTYPE_STREAM_AAC, 1},
    };
    const DWORD buffer_ms = BASS_GetConfig(BASS_CONFIG_NET_BUFFER);
    for (const station &each : stations) {
        SCOPED_TRACE(each.path);
        output_capture capture;
        sync_counter &meta = kept<sync_counter>();
        // A VOD playlist's one title change comes 4 s in: with a 2 s buffer it is fetched
        // only once playing, after the sync is set; with more it may beat the sync.
        const bool vod = std::strstr(each.path, "vod.m3u8") != nullptr;
        BASS_SetConfig(BASS_CONFIG_NET_BUFFER, vod ? 2000 : buffer_ms);
        HSTREAM stream = BASS_StreamCreateURL(url(each.path).c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
        ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, count_sync, &meta), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(15), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 880.0, 8.8);
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        if (each.title_syncs) {
            // The first title may come before the sync is set.
            EXPECT_TRUE(meta.wait_for(each.title_syncs));
            const char *tag = BASS_ChannelGetTags(stream, BASS_TAG_META);
            ASSERT_NE(tag, nullptr);
            const std::string text = tag;
            EXPECT_EQ(text.rfind("StreamTitle='Artist - Song ", 0), 0u) << text;
            EXPECT_TRUE(text.size() > 2 && text.compare(text.size() - 2, 2, "';") == 0) << text;
        } else {
            EXPECT_EQ(meta.count(), 0);
        }
        BASS_StreamFree(stream);
    }
    BASS_SetConfig(BASS_CONFIG_NET_BUFFER, buffer_ms);
}

TEST_F(HlsStreams, MasterPlaylistPlaysTheBestAudioVariantOrFallsBack) {
    const DWORD buffer_ms = BASS_GetConfig(BASS_CONFIG_NET_BUFFER);
    struct master {
        const char *path;
        double frequency;
        QWORD kbps;
    } masters[] = {
        {"master.m3u8", 880, 128},
        {"master-dead.m3u8", 440, 64},
        // The best variant is one the decoder cannot play: declared so, or found so.
        {"master-ec3.m3u8", 880, 128},
        {"master-noise.m3u8", 880, 128},
    };
    for (const master &each : masters) {
        SCOPED_TRACE(each.path);
        output_capture capture;
        HSTREAM stream = play(each.path, each.frequency, capture);
        ASSERT_NE(stream, 0u);
        // The player's bitrate label is the buffer size over the buffer's duration.
        EXPECT_EQ(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END), each.kbps * buffer_ms / 8);
        std::vector<std::string> http = lines_of(BASS_ChannelGetTags(stream, BASS_TAG_HTTP));
        ASSERT_FALSE(http.empty());
        EXPECT_EQ(http.front(), "HTTP/1.0 200 OK");
        EXPECT_NE(std::find(http.begin(), http.end(), "X-Brevora-Playlist: media"), http.end());
        BASS_StreamFree(stream);
    }
}

std::mutex log_lock;
std::vector<std::string> log_lines;
void keep_log_line(const std::string &line) {
    std::lock_guard<std::mutex> guard(log_lock);
    log_lines.push_back(line);
}
bool logged(const std::string &part) {
    std::lock_guard<std::mutex> guard(log_lock);
    for (const std::string &line : log_lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

TEST_F(HlsStreams, LivePlaylistThatLeavesSegmentsBehindIsFollowedAcrossTheGap) {
    audio::set_debug_log_sink(keep_log_line);
    output_capture capture;
    HSTREAM stream = play("gap.m3u8", 880, capture);
    ASSERT_NE(stream, 0u);
    EXPECT_TRUE(eventually([] { return logged("skipping segments"); }, std::chrono::seconds(15)));
    capture.clear_after_next_block();
    std::vector<float> played = capture.left_channel_of_sound(8820, std::chrono::seconds(15));
    ASSERT_EQ(played.size(), 8820u);
    EXPECT_NEAR(measured_frequency(played, 44100), 880.0, 8.8);
}

TEST_F(HlsStreams, FaultsEndInAReconnectTheEndOrAnError) {
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1500);
    audio::set_debug_log_sink(keep_log_line);
    struct fault {
        const char *path;
        const char *logged; // a line that shows how the input dealt with it
    } faults[] = {
        // Stops advancing: what the window held plays, then a reconnect, then the end.
        {"frozen.m3u8", "reconnecting"},
        {"vod-404.m3u8", "404"},       // the segment is skipped
        {"vod-stall.m3u8", "stalled"}, // the segment is skipped after the time-out
        // Never a stall, but slower than the media plays: the segment is skipped after the
        // time-out and its duration; the reloads fail likewise, then the window has played.
        {"vod-trickle.m3u8", "1.ts: HTTP/1.0 200 OK: timed out reading a body slower"},
        {"live-trickle.m3u8", "trickle.m3u8: HTTP/1.0 200 OK: timed out reading a body slower"},
        {"ts128/vod.m3u8", nullptr}, // the end of a VOD playlist
    };
    for (const fault &each : faults) {
        SCOPED_TRACE(each.path);
        output_capture capture;
        sync_counter &end = kept<sync_counter>();
        HSTREAM stream = play(each.path, 880, capture);
        ASSERT_NE(stream, 0u);
        ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, count_sync, &end), 0u);
        // At most 8 s of audio, twice the time-out and a target duration, and a stalled
        // segment's time-out.
        EXPECT_TRUE(end.wait_for(1, std::chrono::seconds(25)));
        if (each.logged) {
            EXPECT_TRUE(logged(each.logged));
        }
        BASS_StreamFree(stream);
    }
    // Nothing that plays: an error code, not a stream.
    EXPECT_EQ(BASS_StreamCreateURL(url("dead/live.m3u8").c_str(), 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

} // namespace
