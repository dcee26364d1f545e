#include "tick_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "qzr/emulator_engine/engine.h"

namespace qzr::emulator {
namespace {

std::vector<std::uint64_t> Positions(std::uint64_t periodMs, int count) {
    TickSchedule schedule(kChipClockHz, periodMs);
    std::vector<std::uint64_t> positions;
    for (int k = 0; k < count; ++k) {
        positions.push_back(schedule.NextTickSample());
        schedule.Advance();
    }
    return positions;
}

TEST(TickSchedule, EveryTickSitsAtTheFlooredExactPosition) {
    // Compared with the closed form over a long run, so a rounding drift cannot hide.
    for (const std::uint64_t periodMs : {1u, 5u, 7u, 16u, 1000u}) {
        SCOPED_TRACE(periodMs);
        const auto positions = Positions(periodMs, 200'000);
        std::vector<std::uint64_t> expected;
        for (std::uint64_t k = 1; k <= positions.size(); ++k) {
            expected.push_back(k * kChipClockHz * periodMs / 64'000);
        }
        EXPECT_EQ(positions, expected);
    }
}

TEST(TickSchedule, TenSecondsAtFiveMillisecondsHoldExactly2000Ticks) {
    const auto positions = Positions(5, 2001);
    EXPECT_EQ(positions.front(), 263u);    // 16,893,205 / 64,000
    EXPECT_EQ(positions[1999], 527'912u);  // the last tick below sample 527,913
    EXPECT_EQ(positions[2000], 528'176u);
}

}  // namespace
}  // namespace qzr::emulator
