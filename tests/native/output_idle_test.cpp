// An idle player costs nothing: the output renders no block while no stream plays (before
// the first play and after a free), and the next play is heard at once.
#include "stream_test_support.h"

using namespace stream_test;

namespace {

TEST(OutputIdle, RendersNothingWhileNoStreamPlaysAndWakesOnPlay) {
    script plan;
    plan.bytes = encode_tone("idle.mp3", 1000, 4, "-c:a libmp3lame -b:a 128k");
    ASSERT_FALSE(plan.bytes.empty()) << "ffmpeg could not make the test file";
    plan.stay_open = true;
    scripted_network network(plan);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    output_capture capture;
    // A running output renders a 40 ms block (1764 frames) every 40 ms, a dozen in the half
    // second given here. At most the block under way when the stream was freed may follow.
    const size_t two_blocks = 2 * 1764;
    const auto half_a_second = std::chrono::milliseconds(500);
    EXPECT_FALSE(capture.wait_for_rendered(1, half_a_second)) << "rendered before any play";
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/idle", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        EXPECT_FALSE(capture.left_channel_of_sound(4410).empty()) << "the play was not heard";
        ASSERT_TRUE(BASS_StreamFree(s));
        EXPECT_FALSE(capture.wait_for_rendered(two_blocks, half_a_second))
            << "still rendering after the free";
    }
    BASS_Free();
}

} // namespace
