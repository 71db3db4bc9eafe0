// The Windows build of the audio library with a sound device: under Wine, ALSA's null
// device (set up by CTest) makes waveOut open, so the device output is what plays, not
// the silent one. The null device takes samples faster than real time, so only what is
// played, not when, is checked.
#include "audio_library_scope.h"
#include "brevora_audio.h"
#include "icecast_fixture_port.h"
#include "played_tone.h"
#include "api/library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

// Counts the blocks handed to a stream's download procedure, so that a test can wait for the
// next one instead of guessing how long the download takes.
class download_blocks {
  public:
    static void CALLBACK count(const void *, DWORD length, void *user) {
        if (length == 0)
            return;
        auto *self = static_cast<download_blocks *>(user);
        {
            std::lock_guard<std::mutex> guard(self->lock_);
            ++self->count_;
        }
        self->arrived_.notify_all();
    }
    // Waits until more than `seen` blocks have arrived (then updates it); false at the deadline.
    bool wait_past(unsigned long &seen, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> guard(lock_);
        if (!arrived_.wait_until(guard, deadline, [&] { return count_ > seen; }))
            return false;
        seen = count_;
        return true;
    }

  private:
    std::mutex lock_; // guards count_
    std::condition_variable arrived_;
    unsigned long count_ = 0;
};

TEST(AudioDeviceWindows, PlaysThroughWaveOutAndClosesTheDeviceOnRelease) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(audio::output_name(), "waveOut");

    played_tone tone;
    download_blocks downloaded;
    audio_library_scope library; // the download procedure has &downloaded until the library ends
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_BLOCK, download_blocks::count,
                                     &downloaded);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    // Play once the buffer is three quarters full, as the player does; it fills as blocks come.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    unsigned long seen = 0;
    while (BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER) * 4 <
           BASS_StreamGetFilePosition(s, BASS_FILEPOS_END) * 3)
        ASSERT_TRUE(downloaded.wait_past(seen, deadline)) << "the buffer never filled";
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));

    // Half a second of the tone.
    EXPECT_NEAR(tone.pitch(played_tone::frames_per_second / 2, deadline), 1000, 10);

    EXPECT_TRUE(BASS_Free());
    EXPECT_EQ(audio::output_name(), "");
    // The device can be opened again.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(audio::output_name(), "waveOut");
    EXPECT_TRUE(BASS_Free());
}

// An idle player costs nothing: the device is fed only while a stream plays.
TEST(AudioDeviceWindows, TheDeviceIsFedOnlyWhileAStreamPlays) {
    int port = icecast_port();
    ASSERT_NE(port, 0) << "no Icecast port from the fixture";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    audio_library_scope library;
    ASSERT_EQ(audio::output_name(), "waveOut");
    played_tone played;
    // The null device takes a 20 ms buffer as fast as it is given: a fed device would see
    // hundreds in half a second. After the free, at most the buffer under way may follow.
    const auto half_a_second = std::chrono::milliseconds(500);
    EXPECT_FALSE(played.renders_past(0, half_a_second)) << "fed before any play";
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
    HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    EXPECT_TRUE(played.renders_past(0, std::chrono::seconds(10))) << "not fed while playing";
    ASSERT_TRUE(BASS_StreamFree(s));
    EXPECT_FALSE(played.renders_past(played.rendered() + 882, half_a_second))
        << "still fed after the free";
}

} // namespace
