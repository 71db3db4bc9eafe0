// The Windows build of the audio library with a sound device: under Wine, ALSA's null
// device (set up by CTest) makes waveOut open, so the device output is what plays, not
// the silent one. The null device takes samples faster than real time, so only what is
// played, not when, is checked.
#include "brevora_audio.h"
#include "icecast_fixture_port.h"
#include "played_tone.h"
#include "api/library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

TEST(AudioDeviceWindows, PlaysThroughWaveOutAndClosesTheDeviceOnRelease) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(audio::output_name(), "waveOut");

    played_tone tone;
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_BLOCK, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    // Play once the buffer is three quarters full, as the player does.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER) * 4 <
               BASS_StreamGetFilePosition(s, BASS_FILEPOS_END) * 3 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));

    // Half a second of the tone, after a tenth for the decoder's start.
    const size_t skip = 4410, frames = 22050;
    ASSERT_GE(tone.wait_for(skip + frames, deadline), skip + frames);
    EXPECT_NEAR(tone.rising_crossings(skip, skip + frames), 500, 5);

    EXPECT_TRUE(BASS_Free());
    EXPECT_EQ(audio::output_name(), "");
    // The device can be opened again.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(audio::output_name(), "waveOut");
    EXPECT_TRUE(BASS_Free());
}

} // namespace
