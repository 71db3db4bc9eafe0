// Against Liquidsoap itself feeding a real Icecast, as many stations are run: its Opus
// chains end each link with an empty packet, which must not end the stream.
#include "icecast_fixture.h"
#include "stream_test_support.h"

using namespace stream_test;

namespace {

class LiquidsoapStreams : public ::testing::Test, protected callback_state {
  protected:
    static void SetUpTestSuite() {
        server = new icecast_test::icecast_server("--mounts=liquidsoap.opus");
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(server->port(), 0) << "Icecast with Liquidsoap did not start";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }
    static icecast_test::icecast_server *server;
};
icecast_test::icecast_server *LiquidsoapStreams::server = nullptr;

// The titles the OGG_CHANGE syncs found, in order.
struct title_log {
    std::mutex lock;
    std::vector<std::string> titles;
};
void CALLBACK record_title(HSYNC, DWORD channel, DWORD, void *user) {
    auto *log = static_cast<title_log *>(user);
    std::string title;
    for (const std::string &line : lines_of(BASS_ChannelGetTags(channel, BASS_TAG_OGG)))
        if (line.rfind("title=", 0) == 0)
            title = line.substr(6);
    std::lock_guard<std::mutex> guard(log->lock);
    log->titles.push_back(title);
}

TEST_F(LiquidsoapStreams, OpusPlaysAcrossTrackChangesWithAnOggChangeAtEach) {
    output_capture capture;
    HSTREAM s =
        BASS_StreamCreateURL(server->url("liquidsoap.opus").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_OPUS));
    sync_counter &change = kept<sync_counter>();
    sync_counter &end = kept<sync_counter>();
    title_log &log = kept<title_log>();
    // The sync thread calls them in this order: once a change is counted, its title is in.
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, record_title, &log), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, count_sync, &change), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, count_sync, &end), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    // Tracks last three seconds: three changes come within ten; thirty is generous.
    ASSERT_TRUE(change.wait_for(3, std::chrono::seconds(30))) << "changes: " << change.count();
    EXPECT_EQ(end.count(), 0);
    {
        std::lock_guard<std::mutex> guard(log.lock);
        ASSERT_GE(log.titles.size(), 3u);
        // Each link brings the next track's title.
        for (size_t i = 1; i < log.titles.size(); ++i) {
            EXPECT_EQ(log.titles[i].rfind("Track ", 0), 0u) << log.titles[i];
            EXPECT_NE(log.titles[i], log.titles[i - 1]);
        }
    }
    // Still the tone after the changes.
    capture.clear_after_next_block();
    std::vector<float> played = capture.left_channel_of_sound(8820, std::chrono::seconds(10));
    ASSERT_EQ(played.size(), 8820u);
    EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
    BASS_StreamFree(s);
}

} // namespace
