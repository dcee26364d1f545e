#include "frame_pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace qzr::emulator {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Chunks taken when the pacer is polled at each of `times` (ms), as the silent clock polls it:
// every due chunk at once, then a wait.
std::vector<int> ChunksAt(FramePacer& pacer, const std::vector<int>& times) {
    std::vector<int> counts;
    for (const int t : times) {
        int n = 0;
        while (pacer.TakeDueChunk(milliseconds(t))) ++n;
        counts.push_back(n);
    }
    return counts;
}

TEST(FramePacer, TakesChunksAtTheOutputRate) {
    // 100 frames at 10 kHz: one chunk per 10 ms, the first at once.
    FramePacer pacer(10'000, 100, milliseconds(200));
    pacer.Begin(milliseconds(1000));
    EXPECT_EQ(ChunksAt(pacer, {1000, 1005, 1010, 1019, 1020, 1055}),
              (std::vector<int>{1, 0, 1, 0, 1, 3}));
    EXPECT_EQ(pacer.NextDue(), milliseconds(1060));
    EXPECT_EQ(pacer.FramesTaken(), 600u);
}

TEST(FramePacer, AThousandSecondsAtAnOddRateTakeTheirExactFrames) {
    FramePacer pacer(44'100, 220, milliseconds(200));
    pacer.Begin(nanoseconds(0));
    std::uint64_t chunks = 0;
    while (pacer.NextDue() <= std::chrono::seconds(1000)) {
        ASSERT_TRUE(pacer.TakeDueChunk(pacer.NextDue()));
        ++chunks;
    }
    // Chunks due at 0 s up to 1000 s inclusive: floor(44,100,000 / 220) + 1.
    EXPECT_EQ(chunks, 200'455u);
}

TEST(FramePacer, AStallLongerThanTheLagLimitResumesWithoutABurst) {
    FramePacer pacer(10'000, 100, milliseconds(200));
    pacer.Begin(milliseconds(0));
    // 150 ms late is caught up (16 chunks due by then); 5 s late is not.
    EXPECT_EQ(ChunksAt(pacer, {0, 150, 5150}), (std::vector<int>{1, 15, 1}));
    EXPECT_EQ(pacer.NextDue(), milliseconds(5160));
}

}  // namespace
}  // namespace qzr::emulator
