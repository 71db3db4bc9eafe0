// Smoke test of the Windows build of the audio library: plays a local Icecast mount
// (started by the CTest fixture) through the default output, which under Wine without a
// sound server is the silent one, and reports what the stream says about itself.
#include "brevora_audio.h"
#include "output/mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The fixture writes the port to a file; Wine shows the Unix root as drive Z:.
int icecast_port() {
    const char *file = std::getenv("BREVORA_ICECAST_PORT_FILE");
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

std::vector<std::string> lines_of(const char *block) {
    std::vector<std::string> lines;
    for (const char *p = block; p && *p; p += std::strlen(p) + 1)
        lines.emplace_back(p);
    return lines;
}

std::mutex status_lock;
std::string status_line;
void CALLBACK keep_status(const void *buffer, DWORD length, void *) {
    std::lock_guard<std::mutex> guard(status_lock);
    if (length == 0 && status_line.empty())
        status_line = static_cast<const char *>(buffer);
}

TEST(AudioIcecastWindows, PlaysAnMp3MountAndReportsItsTags) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    std::mutex played_lock;
    std::vector<float> played;
    audio::library_mixer().set_capture([&](const float *samples, size_t frames) {
        std::lock_guard<std::mutex> guard(played_lock);
        for (size_t i = 0; i < frames; ++i)
            if (!played.empty() || samples[i * 2] != 0)
                played.push_back(samples[i * 2]);
    });

    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0,
                                     BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                     keep_status, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    {
        std::lock_guard<std::mutex> guard(status_lock);
        EXPECT_EQ(status_line, "HTTP/1.0 200 OK");
    }
    std::vector<std::string> http = lines_of(BASS_ChannelGetTags(s, BASS_TAG_HTTP));
    for (const auto &line : http)
        std::printf("HTTP tag: %s\n", line.c_str());
    EXPECT_NE(std::find(http.begin(), http.end(), "icy-name:Brevora Test tone.mp3"), http.end());
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
    QWORD size = BASS_StreamGetFilePosition(s, BASS_FILEPOS_END);
    std::printf("ctype 0x%lx, %lu Hz, %lu channels, buffer %llu bytes = %llu kbps\n",
                static_cast<unsigned long>(info.ctype), static_cast<unsigned long>(info.freq),
                static_cast<unsigned long>(info.chans), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(size * 8 / BASS_GetConfig(BASS_CONFIG_NET_BUFFER)));
    EXPECT_EQ(size, 80000u);

    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    // A second of sound; count its rising zero crossings.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    size_t count = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> guard(played_lock);
            count = played.size();
        }
        if (count >= 44100 + 4410)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    audio::library_mixer().set_capture(nullptr);
    ASSERT_GE(played.size(), 44100u + 4410u);
    int crossings = 0;
    for (size_t i = 4410; i < 4410 + 44100; ++i)
        if (played[i - 1] < 0 && played[i] >= 0)
            ++crossings;
    std::printf("played tone: %d Hz\n", crossings);
    EXPECT_NEAR(crossings, 1000, 10);
    EXPECT_TRUE(BASS_Free());
}

} // namespace
