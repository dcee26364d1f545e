#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "qzr/emulator_engine/engine.h"
#include "recording_chip.h"
#include "ticks_below.h"

namespace qzr::emulator {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Virtual time: a sleep jumps straight to its deadline, unless the deadline lies past `limit`;
// then the sleeper parks until it is stopped. So the silent clock renders exactly what is due
// by `limit`, as fast as the machine allows, and the test sees where it stopped. The first sleep
// to a deadline from `stallAt` on wakes `stall` late, as a thread kept from running would.
class VirtualClock final : public PacingClock {
public:
    explicit VirtualClock(nanoseconds limit, nanoseconds stallAt = {}, nanoseconds stall = {})
        : limit_(limit), stallAt_(stallAt), stall_(stall) {}

    nanoseconds Now() override { return nanoseconds(now_.load()); }

    bool SleepUntil(nanoseconds deadline, StopSignal& stop) override {
        if (stall_.count() > 0 && deadline >= stallAt_) {
            deadline += stall_;
            stall_ = {};
        }
        if (deadline <= limit_) {
            now_.store(std::max(now_.load(), deadline.count()));
            return true;
        }
        {
            const std::lock_guard lock(mutex_);
            parked_ = true;
        }
        parkedChanged_.notify_all();
        stop.Wait();
        return false;
    }

    void WaitUntilParked() {
        std::unique_lock lock(mutex_);
        parkedChanged_.wait(lock, [this] { return parked_; });
    }

private:
    nanoseconds limit_;
    nanoseconds stallAt_;
    nanoseconds stall_;
    std::atomic<std::int64_t> now_{0};
    std::mutex mutex_;
    std::condition_variable parkedChanged_;
    bool parked_ = false;
};

std::atomic<int> gTicks{0};
void CountTick() { gTicks.fetch_add(1); }

StartOptions Silent(PacingClock* clock) {
    StartOptions options;
    options.output = Output::SilentClock;
    options.clock = clock;
    return options;
}

TEST(SilentClock, KeepsTheOutputRateOnAnInjectedClock) {
    VirtualClock clock(std::chrono::seconds(10));
    Engine engine(std::make_unique<test::RecordingChip>());
    gTicks = 0;
    engine.SetTickProcedure(&CountTick);
    ASSERT_EQ(engine.Start(Silent(&clock)), StartResult::Started);
    EXPECT_EQ(engine.Active(), ActiveOutput::SilentClock);
    clock.WaitUntilParked();
    // 20 ms chunks of 882 frames, due from 0 s to 10 s inclusive: 501 of them, 441,882 frames,
    // which the resampler turns into 528,968 native samples plus its look-ahead (under 20 ms).
    const std::uint64_t position = engine.NativeSamplePosition();
    engine.Stop();
    EXPECT_GE(position, 528'968u);
    EXPECT_LT(position, 528'968u + 1'056u);
    EXPECT_EQ(static_cast<std::size_t>(gTicks.load()), test::TicksBelow(position));
    EXPECT_NEAR(gTicks.load(), 2000, 8);
    const OutputLoad load = engine.Load();
    EXPECT_EQ(load.chunks, 501u);
    EXPECT_EQ(load.lateChunks, 0u);
    EXPECT_GT(load.averageShare, 0.0);
    EXPECT_GE(load.busiestShare, load.averageShare);
}

// A stall of the rendering thread makes the chunks due meanwhile late, those more than a chunk
// (20 ms) late counting as underruns; past the 200 ms a device would have run dry for, the
// schedule starts again and only the chunk that restarts it is late.
TEST(SilentClock, CountsTheChunksAStallMakesLate) {
    struct Case {
        milliseconds stall;
        std::uint64_t late;
    };
    const Case cases[] = {{milliseconds(15), 0}, {milliseconds(100), 4}, {milliseconds(1000), 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stall.count());
        VirtualClock clock(std::chrono::seconds(2), std::chrono::seconds(1), c.stall);
        Engine engine(std::make_unique<test::RecordingChip>());
        ASSERT_EQ(engine.Start(Silent(&clock)), StartResult::Started);
        clock.WaitUntilParked();
        const OutputLoad load = engine.Load();
        engine.Stop();
        EXPECT_EQ(load.lateChunks, c.late);
    }
}

TEST(SilentClock, KeepsRealTimeLoosely) {
    Engine engine(std::make_unique<test::RecordingChip>());
    gTicks = 0;
    engine.SetTickProcedure(&CountTick);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(engine.Start(Silent(nullptr)), StartResult::Started);
    std::this_thread::sleep_for(milliseconds(1000));
    const int ticks = gTicks.load();
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    engine.Stop();
    const double expected = std::chrono::duration<double>(elapsed).count() * 200.0;
    EXPECT_NEAR(ticks, expected, expected * 0.10);
}

TEST(SilentClock, WritesFromTwoThreadsArriveWholeAndInEachThreadsOrderWhileTicksRun) {
    auto chip = std::make_unique<test::RecordingChip>();
    const test::RecordingChip& recorded = *chip;
    Engine engine(std::move(chip));
    static Engine* tickEngine = nullptr;
    tickEngine = &engine;
    gTicks = 0;
    // The tick writes too, as the player's tick does, while the host threads write.
    engine.SetTickProcedure([] {
        gTicks.fetch_add(1);
        tickEngine->Write(0x08, 0x00);
    });
    ASSERT_EQ(engine.Start(Silent(nullptr)), StartResult::Started);
    constexpr int kWrites = 2000;
    auto writer = [&engine](std::uint8_t reg) {
        for (int i = 0; i < kWrites; ++i) {
            engine.Write(reg, static_cast<std::uint8_t>(i));
            if (i % 100 == 0) std::this_thread::yield();
        }
    };
    std::thread first(writer, std::uint8_t{0x40});
    std::thread second(writer, std::uint8_t{0x60});
    first.join();
    second.join();
    // Let the queue drain: 4,000 writes take about 76 ms of native samples.
    std::this_thread::sleep_for(milliseconds(300));
    engine.Stop();

    std::vector<int> first40;
    std::vector<int> first60;
    for (const auto& event : recorded.Events()) {
        if (event.reg == 0x40) first40.push_back(event.value);
        if (event.reg == 0x60) first60.push_back(event.value);
    }
    std::vector<int> expected;
    for (int i = 0; i < kWrites; ++i) expected.push_back(i & 0xFF);
    EXPECT_EQ(first40, expected);
    EXPECT_EQ(first60, expected);
    EXPECT_FALSE(recorded.SawTwoWritesInOneSample());
    EXPECT_GT(gTicks.load(), 0);
}

}  // namespace
}  // namespace qzr::emulator
