// The decoded-sample queue between a decode thread and the output: every sample arrives once
// and in order while the producer waits for the queue to drain, and a cancel releases it.
#include "stream/pcm_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using audio::pcm_queue;

TEST(PcmQueue, EverySampleArrivesInOrderAcrossWaitsAndRingWraps) {
    pcm_queue queue(1000);
    constexpr size_t total = 50000;
    // Blocks of uneven sizes, some larger than the queue, so the producer waits with the
    // queue part full, and the ring wraps at different places.
    std::thread producer([&] {
        std::vector<float> block;
        for (size_t next = 0, size = 1; next < total; size = size * 7 % 1531 + 1) {
            block.clear();
            for (size_t i = 0; i < size && next < total; ++i)
                block.push_back(static_cast<float>(next++));
            EXPECT_TRUE(queue.push(block.data(), block.size()));
        }
    });
    std::vector<float> heard;
    std::vector<float> mix;
    while (heard.size() < total) {
        mix.assign(333, 0.0f);
        size_t got = queue.mix_into(mix.data(), mix.size(), 1.0f);
        heard.insert(heard.end(), mix.begin(), mix.begin() + static_cast<long>(got));
        if (got == 0)
            std::this_thread::yield();
    }
    producer.join();
    for (size_t i = 0; i < total; ++i)
        ASSERT_EQ(heard[i], static_cast<float>(i)) << "at sample " << i;
    EXPECT_EQ(queue.size(), 0u);
}

TEST(PcmQueue, CancelReleasesAProducerWaitingForRoom) {
    pcm_queue queue(100);
    std::vector<float> block(100, 0.5f);
    ASSERT_TRUE(queue.push(block.data(), block.size()));
    // Taking a little makes room, but not the half the producer waits for.
    std::vector<float> mix(10, 0.0f);
    EXPECT_EQ(queue.mix_into(mix.data(), mix.size(), 2.0f), 10u);
    EXPECT_FLOAT_EQ(mix[0], 1.0f);
    bool pushed = true;
    std::thread producer([&] { pushed = queue.push(block.data(), 20); });
    queue.cancel();
    producer.join();
    EXPECT_FALSE(pushed);
}
