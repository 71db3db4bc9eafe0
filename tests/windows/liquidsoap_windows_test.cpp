// The Windows build of the audio library against Liquidsoap feeding a real Icecast an Opus
// mount (started by the CTest fixture): its chains end each link with an empty packet, which
// must not end the stream.
#include "audio_library_scope.h"
#include "brevora_audio.h"
#include "icecast_fixture_port.h"
#include "played_tone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The title of each new link, as the OGG_CHANGE syncs found it, and whether the stream ended.
struct link_log {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> titles;
    bool ended = false;
};

void CALLBACK record_link(HSYNC, DWORD channel, DWORD, void *user) {
    auto *log = static_cast<link_log *>(user);
    std::string title;
    for (const char *p = BASS_ChannelGetTags(channel, BASS_TAG_OGG); p && *p;
         p += std::strlen(p) + 1)
        if (std::strncmp(p, "title=", 6) == 0)
            title = p + 6;
    std::lock_guard<std::mutex> guard(log->lock);
    log->titles.push_back(title);
    log->changed.notify_all();
}

void CALLBACK record_end(HSYNC, DWORD, DWORD, void *user) {
    auto *log = static_cast<link_log *>(user);
    std::lock_guard<std::mutex> guard(log->lock);
    log->ended = true;
    log->changed.notify_all();
}

TEST(LiquidsoapWindows, OpusPlaysAcrossTrackChangesWithAnOggChangeAtEach) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no port from the Liquidsoap fixture";
    link_log log;
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    played_tone tone;
    audio_library_scope library;

    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/liquidsoap.opus";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_OPUS));
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, record_link, &log), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, record_end, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));

    // Tracks last three seconds: three changes come within ten; thirty is generous.
    {
        std::unique_lock<std::mutex> guard(log.lock);
        ASSERT_TRUE(log.changed.wait_for(guard, std::chrono::seconds(30),
                                         [&] { return log.titles.size() >= 3 || log.ended; }));
        EXPECT_FALSE(log.ended);
        ASSERT_GE(log.titles.size(), 3u);
        for (size_t i = 1; i < log.titles.size(); ++i) {
            EXPECT_EQ(log.titles[i].rfind("Track ", 0), 0u) << log.titles[i];
            EXPECT_NE(log.titles[i], log.titles[i - 1]);
        }
    }
    // The tone played on across the changes: six seconds of it, links included.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    EXPECT_NEAR(tone.pitch(played_tone::frames_per_second * 6, deadline), 1000, 10);
}

} // namespace
