// End to end against a real Icecast 2 fed by ffmpeg: the network input, format
// identification, decoding, tags, syncs and the end of a stream whose source goes away.
#include "icecast_fixture.h"
#include "stream_test_support.h"

#include <atomic>
#include <memory>

using namespace stream_test;

namespace {

class IcecastStreams : public ::testing::Test, protected callback_state {
  protected:
    static void SetUpTestSuite() {
        server = new icecast_test::icecast_server(
            "--also=he-aac-v1.aac,he-aac-v2.aac,he-aac-v2-48k.aac");
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(server->port(), 0) << "Icecast did not start";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
    }
    static icecast_test::icecast_server *server;
};
icecast_test::icecast_server *IcecastStreams::server = nullptr;

struct status_log {
    std::mutex lock;
    std::vector<std::string> first_status;
    int status_calls = 0;
    bool data_before_status = false;
    size_t data_bytes = 0;
};
void CALLBACK record_status(const void *buffer, DWORD length, void *user) {
    auto *log = static_cast<status_log *>(user);
    std::lock_guard<std::mutex> guard(log->lock);
    if (length == 0) {
        if (log->status_calls++ == 0)
            log->first_status = lines_of(static_cast<const char *>(buffer));
    } else {
        if (log->status_calls == 0)
            log->data_before_status = true;
        log->data_bytes += length;
    }
}

bool has_line_starting(const std::vector<std::string> &lines, const std::string &start) {
    for (const auto &line : lines)
        if (line.size() >= start.size() &&
            strncasecmp(line.c_str(), start.c_str(), start.size()) == 0)
            return true;
    return false;
}

TEST_F(IcecastStreams, Mp3MountAsThePlayerOpensIt) {
    status_log &log = kept<status_log>();
    HSTREAM s = BASS_StreamCreateURL(server->url("tone.mp3").c_str(), 0,
                                     BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                     record_status, &log);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    {
        std::lock_guard<std::mutex> guard(log.lock);
        EXPECT_EQ(log.status_calls, 1);
        EXPECT_FALSE(log.data_before_status);
        ASSERT_FALSE(log.first_status.empty());
        EXPECT_EQ(log.first_status.front(), "HTTP/1.0 200 OK");
    }
    std::vector<std::string> http = lines_of(BASS_ChannelGetTags(s, BASS_TAG_HTTP));
    EXPECT_TRUE(has_line_starting(http, "icy-name:Brevora Test tone.mp3"));
    EXPECT_TRUE(has_line_starting(http, "Content-Type: audio/mpeg"));
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_ICY), nullptr);

    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END), 80000u);
    EXPECT_EQ(BASS_ChannelFlags(s, BASS_STREAM_RESTRATE, BASS_STREAM_RESTRATE) &
                  BASS_STREAM_RESTRATE,
              static_cast<DWORD>(BASS_STREAM_RESTRATE));
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_CONNECTED), 1u);

    // Titles set through the admin interface arrive as metadata strings.
    sync_counter &meta = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_META, 0, count_sync, &meta), 0u);
    output_capture capture;
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(server->set_title("tone.mp3", "Yazoo%20-%20Don%27t%20Go"));
    // Icecast first sends the empty title it has, then the new one.
    ASSERT_TRUE(eventually(
        [&] {
            const char *title = BASS_ChannelGetTags(s, BASS_TAG_META);
            return title && std::string(title) == "StreamTitle='Yazoo - Don't Go';";
        },
        std::chrono::seconds(20)));
    // The tag is published before its sync runs, on another thread.
    EXPECT_TRUE(meta.wait_for(1));
    std::vector<float> played = capture.left_channel_of_sound(8820, std::chrono::seconds(15), 4410);
    ASSERT_EQ(played.size(), 8820u);
    EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
}

TEST_F(IcecastStreams, EachFormatMountIsRecognisedAndPlays) {
    struct {
        const char *mount;
        DWORD ctype;
        DWORD freq;
        double tone_hz;
    } cases[] = {{"tone.aac", BASS_CTYPE_STREAM_AAC, 44100, 1000},
                 {"tone.mp2", BASS_CTYPE_STREAM_MP2, 44100, 1000},
                 {"tone.ogg", BASS_CTYPE_STREAM_OGG, 44100, 1000},
                 // HE-AAC: the ADTS headers give only the AAC core's half rate (and for v2 one
                 // channel); played from them alone, the tone sounds an octave low, or mono.
                 {"he-aac-v1.aac", BASS_CTYPE_STREAM_AAC, 44100, 880},
                 {"he-aac-v2.aac", BASS_CTYPE_STREAM_AAC, 44100, 660},
                 {"he-aac-v2-48k.aac", BASS_CTYPE_STREAM_AAC, 48000, 740}};
    for (const auto &each : cases) {
        SCOPED_TRACE(each.mount);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL(server->url(each.mount).c_str(), 0, BASS_STREAM_BLOCK,
                                         nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        EXPECT_EQ(info.chans, 2u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(15), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), each.tone_hz, 10.0);
        BASS_StreamFree(s);
    }
}

TEST_F(IcecastStreams, OggTitleChangeStartsANewBitstream) {
    HSTREAM s = BASS_StreamCreateURL(server->url("tone.ogg").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    ASSERT_NE(BASS_ChannelGetTags(s, BASS_TAG_OGG), nullptr);
    sync_counter &change = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, count_sync, &change), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(server->set_title("tone.ogg", "Second%20Title"));
    ASSERT_TRUE(change.wait_for(1));
    std::vector<std::string> comments = lines_of(BASS_ChannelGetTags(s, BASS_TAG_OGG));
    EXPECT_TRUE(has_line_starting(comments, "title=Second Title"))
        << ::testing::PrintToString(comments);
}

// Opus and FLAC in Ogg as Icecast relays them; restarting the encoder starts a new link.
TEST_F(IcecastStreams, ChainedOpusAndOggFlacMountsPlayAndChangeTitle) {
    struct {
        const char *mount;
        DWORD ctype;
        DWORD freq;
    } cases[] = {{"tone.opus", BASS_CTYPE_STREAM_OPUS, 48000},
                 {"tone.oga", BASS_CTYPE_STREAM_OGG_FLAC, 44100}};
    auto title_of = [](HSTREAM s) {
        for (const std::string &line : lines_of(BASS_ChannelGetTags(s, BASS_TAG_OGG)))
            if (line.rfind("title=", 0) == 0)
                return line.substr(6);
        return std::string();
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.mount);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL(server->url(each.mount).c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        std::string first_title = title_of(s);
        EXPECT_EQ(first_title.rfind("Link ", 0), 0u) << first_title;
        sync_counter &change = kept<sync_counter>();
        ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, count_sync, &change), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(15), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
        ASSERT_TRUE(server->start_next_link(each.mount));
        ASSERT_TRUE(change.wait_for(1, std::chrono::seconds(30)));
        std::string second_title = title_of(s);
        EXPECT_EQ(second_title.rfind("Link ", 0), 0u) << second_title;
        EXPECT_NE(second_title, first_title);
        BASS_StreamFree(s);
    }
}

TEST_F(IcecastStreams, EndsWhenTheSourceGoesAwayAndReconnectingFails) {
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1000);
    HSTREAM s = BASS_StreamCreateURL(server->url("ending.mp3").c_str(), 0, BASS_STREAM_AUTOFREE,
                                     nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    sync_counter &end = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, count_sync, &end), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(server->kill_source("ending.mp3"));
    ASSERT_TRUE(end.wait_for(1, std::chrono::seconds(20)));
    EXPECT_EQ(end.count(), 1);
    // AUTOFREE: the handle is gone once the stream ended.
    ASSERT_TRUE(eventually([&] { return !BASS_StreamFree(s); }));
}

} // namespace
