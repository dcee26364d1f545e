#include "write_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace qzr::emulator {
namespace {

std::vector<WriteQueue::ForSample> Drain(WriteQueue& queue, int samples) {
    std::vector<WriteQueue::ForSample> taken;
    for (int i = 0; i < samples; ++i) taken.push_back(queue.TakeForSample());
    return taken;
}

std::vector<RegisterWrite> WritesOf(const std::vector<WriteQueue::ForSample>& taken) {
    std::vector<RegisterWrite> writes;
    for (const auto& sample : taken) {
        if (sample.write) writes.push_back(*sample.write);
    }
    return writes;
}

TEST(WriteQueue, GivesOneWritePerSampleInArrivalOrderAcrossGrowth) {
    WriteQueue queue;
    std::vector<RegisterWrite> pushed;
    // Far past the initial ring, with the head moved first, so growing must unwrap the ring.
    for (int i = 0; i < 100; ++i) queue.Push({1, static_cast<std::uint8_t>(i)});
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(queue.TakeForSample().write.has_value());
    for (int i = 0; i < 20'000; ++i) {
        pushed.push_back({static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
        queue.Push(pushed.back());
    }
    const auto taken = Drain(queue, 20'001);
    for (const auto& sample : taken) EXPECT_FALSE(sample.reset);
    EXPECT_FALSE(taken.back().write.has_value());
    EXPECT_EQ(WritesOf(taken), pushed);
}

TEST(WriteQueue, ResetDropsEarlierWritesAndPrecedesLaterOnes) {
    WriteQueue queue;
    queue.Push({0x28, 1});
    queue.Push({0x29, 2});
    queue.DiscardAndRequestReset();
    queue.Push({0x2A, 3});
    const auto taken = Drain(queue, 3);
    EXPECT_TRUE(taken[0].reset);
    EXPECT_FALSE(taken[1].reset);
    EXPECT_EQ(WritesOf(taken), (std::vector<RegisterWrite>{{0x2A, 3}}));
    // The reset and the first later write share a sample: the write lands on the fresh chip.
    EXPECT_TRUE(taken[0].write.has_value());
}

TEST(WriteQueue, ClearForgetsWritesAndAPendingReset) {
    WriteQueue queue;
    queue.Push({8, 0x78});
    queue.DiscardAndRequestReset();
    queue.Clear();
    const auto next = queue.TakeForSample();
    EXPECT_FALSE(next.reset);
    EXPECT_FALSE(next.write.has_value());
}

}  // namespace
}  // namespace qzr::emulator
