// FLAC and Windows Media stations end to end against the scripted server
// (tests/servers/routes_formats.py): native FLAC with ICY metadata, ASF over plain HTTP,
// Windows Media HTTP streaming with script commands and a header change, mms:// references.
#include "input_test_server.h"
#include "stream_test_support.h"

#include <algorithm>

using namespace stream_test;

namespace {

class ServerFormats : public ::testing::Test, protected callback_state {
  protected:
    static void SetUpTestSuite() { server = new input_test::radio_server(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server->ready()) << "the test server did not start";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
    }
    static std::string url(const std::string &path, const std::string &scheme = "http") {
        return scheme + "://127.0.0.1:" + std::to_string(server->info().ports.at("http")) + path;
    }
    // Plays the stream and checks the 1000 Hz tone of every test file.
    static void expect_tone(HSTREAM s, output_capture &capture) {
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(10), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
    }
    static DWORD ctype_of(HSTREAM s) {
        BASS_CHANNELINFO info{};
        return BASS_ChannelGetInfo(s, &info) ? info.ctype : 0;
    }
    static input_test::radio_server *server;
};
input_test::radio_server *ServerFormats::server = nullptr;

bool has_line(const char *block, const std::string &wanted) {
    std::vector<std::string> lines = lines_of(block);
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

TEST_F(ServerFormats, NativeFlacWithIcyMetadata) {
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL(url("/flac-icy").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_FLAC));
    EXPECT_TRUE(has_line(BASS_ChannelGetTags(s, BASS_TAG_ICY), "icy-name:Flac Radio"));
    EXPECT_TRUE(has_line(BASS_ChannelGetTags(s, BASS_TAG_OGG), "title=Native"));
    EXPECT_TRUE(eventually([&] {
        const char *meta = BASS_ChannelGetTags(s, BASS_TAG_META);
        return meta && std::string(meta) == "StreamTitle='Flac Song';";
    }));
    expect_tone(s, capture);
}

TEST_F(ServerFormats, AsfOverPlainHttp) {
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL(url("/asf").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
    const char *tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
    EXPECT_TRUE(has_line(tags, "title=Brevora WMA")) << ::testing::PrintToString(lines_of(tags));
    EXPECT_TRUE(has_line(tags, "author=Brevora Radio"));
    EXPECT_TRUE(has_line(tags, "copyright=Free"));
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_WMA_META), nullptr);
    QWORD fill = BASS_StreamGetFilePosition(s, BASS_FILEPOS_WMA_BUFFER);
    EXPECT_LE(fill, 100u);
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_START), 0u);
    expect_tone(s, capture);
}

// The session's script commands and its second header reach the tags and syncs in order.
TEST_F(ServerFormats, WindowsMediaSessionWithScriptCommandsAndAHeaderChange) {
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL(url("/wmsp").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
    const char *first_tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
    EXPECT_TRUE(has_line(first_tags, "title=Brevora WMA"));
    EXPECT_TRUE(has_line(first_tags, "author=Brevora Radio"));
    sync_counter &meta = kept<sync_counter>();
    sync_counter &change = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_WMA_META, 0, count_sync, &meta), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_WMA_CHANGE, 0, count_sync, &change), 0u);
    expect_tone(s, capture);
    ASSERT_TRUE(meta.wait_for(2, std::chrono::seconds(15)));
    ASSERT_TRUE(change.wait_for(1, std::chrono::seconds(15)));
    EXPECT_EQ(meta.count(), 2); // the URL command is not a title
    EXPECT_STREQ(BASS_ChannelGetTags(s, BASS_TAG_WMA_META), "Artist - Second Song");
    const char *second_tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
    EXPECT_TRUE(has_line(second_tags, "title=Second Program"));
    EXPECT_TRUE(has_line(second_tags, "author=Second Host"));
    EXPECT_TRUE(has_line(first_tags, "title=Brevora WMA")); // the old text stays readable
    // The second program plays too (after the join, which the decoder is ahead of).
    capture.clear_after_next_block();
    std::vector<float> later = capture.left_channel_of_sound(8820, std::chrono::seconds(10), 22050);
    ASSERT_EQ(later.size(), 8820u);
    EXPECT_NEAR(measured_frequency(later, 44100), 1000.0, 10.0);
}

TEST_F(ServerFormats, MmsUrlsDirectlyAndFromAnAsxAfterADeadEntry) {
    // The last: an ordinary web server's ASF file behind an mms:// URL.
    for (const std::string &address :
         {url("/wmsp", "mms"), url("/wmsp", "MMSH"), url("/asx-mms"), url("/asf", "mms")}) {
        SCOPED_TRACE(address);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL(address.c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
        expect_tone(s, capture);
        BASS_StreamFree(s);
    }
}

TEST_F(ServerFormats, ATruncatedHeaderChunkIsAnError) {
    EXPECT_EQ(BASS_StreamCreateURL(url("/wmsp-cut").c_str(), 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

} // namespace
