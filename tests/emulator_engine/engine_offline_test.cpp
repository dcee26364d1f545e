#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "qzr/emulator_engine/engine.h"
#include "qzr/test_support/tone_analysis.h"
#include "recording_chip.h"
#include "ticks_below.h"

namespace qzr::emulator {
namespace {

using test::ChipEvent;
using test::RecordingChip;
using test::TicksBelow;

// Tick procedures are plain functions, so what they see goes through this one record. Each
// test starts from Clear().
struct TickLog {
    Engine* engine = nullptr;
    std::vector<std::uint64_t> positions;  // NativeSamplePosition() seen by each tick
    int writesPerTick = 0;

    void Clear(Engine* e, int writes) {
        engine = e;
        positions.clear();
        positions.reserve(4096);
        writesPerTick = writes;
    }
};
TickLog gTicks;

void RecordTick() {
    gTicks.positions.push_back(gTicks.engine->NativeSamplePosition());
    const auto tick = static_cast<std::uint8_t>(gTicks.positions.size());
    for (int i = 0; i < gTicks.writesPerTick; ++i) {
        gTicks.engine->Write(static_cast<std::uint8_t>(0x28 + i % 8), tick);
    }
}

StartOptions Offline(int rate = 44'100) {
    StartOptions options;
    options.sampleRate = rate;
    options.output = Output::Offline;
    return options;
}

std::vector<std::int16_t> RenderSeconds(Engine& engine, double seconds, int rate = 44'100) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * rate) * 2);
    EXPECT_EQ(engine.Render(out), out.size() / 2);
    return out;
}

TEST(EngineOffline, TenSecondsAtFiveMillisecondsRun2000TicksEachJustBeforeItsSample) {
    Engine engine(std::make_unique<RecordingChip>());
    gTicks.Clear(&engine, 0);
    ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
    engine.SetTickProcedure(&RecordTick);
    // Ten seconds of native samples: 10 x 3,378,641 / 64 rounded up.
    std::vector<StereoSample> frames(527'913);
    EXPECT_EQ(engine.RenderNative(frames), frames.size());
    std::vector<std::uint64_t> expected;
    for (std::uint64_t k = 1; k <= 2000; ++k) expected.push_back(k * 3'378'641 * 5 / 64'000);
    EXPECT_EQ(gTicks.positions, expected);
    engine.Stop();
}

// Another clock moves the ticks with it; a tick before every sample sees every sample; clocks
// and periods outside the range are refused before anything starts.
TEST(EngineOffline, TheClockAndTheTickEverySample) {
    struct Case {
        const char* name;
        std::uint64_t clockHz;
        bool everySample;
        std::size_t samples;
        std::vector<std::uint64_t> positions;
    };
    std::vector<std::uint64_t> first300(300);
    for (std::size_t n = 0; n < first300.size(); ++n) first300[n] = n;
    std::vector<std::uint64_t> at4MHz;
    for (std::uint64_t k = 1; k * 4'000'000 * 5 / 64'000 < 3200; ++k) {
        at4MHz.push_back(k * 4'000'000 * 5 / 64'000);
    }
    const std::vector<Case> cases = {
        {"4 MHz, every 5 ms", 4'000'000, false, 3200, at4MHz},
        {"every sample", 3'579'545, true, 300, first300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Engine engine(std::make_unique<RecordingChip>());
        gTicks.Clear(&engine, 0);
        StartOptions options = Offline();
        options.clockHz = c.clockHz;
        options.tickEverySample = c.everySample;
        ASSERT_EQ(engine.Start(options), StartResult::Started);
        engine.SetTickProcedure(&RecordTick);
        std::vector<StereoSample> frames(c.samples);
        EXPECT_EQ(engine.RenderNative(frames), frames.size());
        EXPECT_EQ(gTicks.positions, c.positions);
        engine.Stop();
    }
    for (const std::uint64_t clock : {kMinClockHz - 1, kMaxClockHz + 1}) {
        SCOPED_TRACE(clock);
        Engine engine(std::make_unique<RecordingChip>());
        StartOptions options = Offline();
        options.clockHz = clock;
        EXPECT_EQ(engine.Start(options), StartResult::ClockOutOfRange);
        EXPECT_EQ(engine.Active(), ActiveOutput::None);
    }
}

TEST(EngineOffline, ResampledTenSecondsRunThe2000TicksToo) {
    Engine engine(std::make_unique<RecordingChip>());
    gTicks.Clear(&engine, 0);
    ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
    engine.SetTickProcedure(&RecordTick);
    RenderSeconds(engine, 10.0);
    // The resampler reads ahead of the sound it has given out, by a few milliseconds; the ticks
    // are those before the native samples it read, so they stay in step with the sound.
    const std::uint64_t position = engine.NativeSamplePosition();
    EXPECT_GE(position, 527'913u);
    EXPECT_LT(position, 527'913u + 1'056u);  // 20 ms
    EXPECT_EQ(gTicks.positions.size(), TicksBelow(position));
}

TEST(EngineOffline, ATicksWritesReachTheChipOnePerSampleInOrder) {
    auto chip = std::make_unique<RecordingChip>();
    const RecordingChip& recorded = *chip;
    Engine engine(std::move(chip));
    gTicks.Clear(&engine, 24);
    ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
    engine.SetTickProcedure(&RecordTick);
    std::vector<StereoSample> frames(52'792);  // tick 200 comes before sample 52,791
    engine.RenderNative(frames);
    ASSERT_EQ(gTicks.positions.size(), 200u);

    std::vector<ChipEvent> expected{{0, true, 0, 0}};  // the reset made by Start
    for (std::size_t k = 0; k < gTicks.positions.size(); ++k) {
        for (int i = 0; i < 24; ++i) {
            const std::uint64_t sample = gTicks.positions[k] + static_cast<std::uint64_t>(i);
            // The last tick's writes run on past the samples rendered.
            if (sample >= frames.size()) break;
            expected.push_back({sample, false, static_cast<std::uint8_t>(0x28 + i % 8),
                                static_cast<std::uint8_t>(k + 1)});
        }
    }
    EXPECT_EQ(recorded.Events(), expected);
    EXPECT_FALSE(recorded.SawTwoWritesInOneSample());
}

TEST(EngineOffline, HostWritesQueueBehindEachOtherAndResetDropsThoseNotYetMade) {
    auto chip = std::make_unique<RecordingChip>();
    const RecordingChip& recorded = *chip;
    Engine engine(std::move(chip));
    engine.Write(0x20, 0xFF);  // before Start: dropped
    ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
    gTicks.Clear(&engine, 2);
    engine.SetTickProcedure(&RecordTick);
    for (std::uint8_t v = 1; v <= 3; ++v) engine.Write(0x40, v);
    std::vector<StereoSample> frames(2);
    engine.RenderNative(frames);  // samples 0, 1 take writes 1, 2
    engine.Write(0x60, 9);
    engine.Reset();  // drops write 3 and 0x60
    engine.Write(0x80, 7);
    frames.resize(300);
    engine.RenderNative(frames);  // samples 2 ... 301, with tick 1 before sample 263

    const std::vector<ChipEvent> expected{
        {0, true, 0, 0},     {0, false, 0x40, 1},   {1, false, 0x40, 2},  {2, true, 0, 0},
        {2, false, 0x80, 7}, {263, false, 0x28, 1}, {264, false, 0x29, 1}};
    EXPECT_EQ(recorded.Events(), expected);
    EXPECT_EQ(gTicks.positions.size(), 1u);  // the reset kept the tick procedure
}

// A tick that plays our chip: a voice on four channels at the first tick (a run of writes that
// spans many samples), then each channel keyed on and off at its own pace, with new pitches.
void PlayingTick() {
    Engine& engine = *gTicks.engine;
    const auto tick = static_cast<std::uint8_t>(gTicks.positions.size());
    gTicks.positions.push_back(engine.NativeSamplePosition());
    for (std::uint8_t c = 0; c < 4; ++c) {
        if (tick == 0) {
            engine.Write(static_cast<std::uint8_t>(0x20 + c), 0xC7);  // both sides, all carriers
            for (std::uint8_t op = 0; op < 4; ++op) {
                const auto slot = static_cast<std::uint8_t>(c + 8 * op);
                engine.Write(static_cast<std::uint8_t>(0x60 + slot), 8);     // loud
                engine.Write(static_cast<std::uint8_t>(0x80 + slot), 31);    // fast attack
                engine.Write(static_cast<std::uint8_t>(0xE0 + slot), 0x3F);  // quick release
            }
        }
        if (tick % (3 + c) == 0) {
            engine.Write(static_cast<std::uint8_t>(0x28 + c),
                         static_cast<std::uint8_t>(0x30 + (tick * 5 + c * 7) % 0x4F));
            engine.Write(0x08, static_cast<std::uint8_t>((tick / (3 + c)) % 2 ? c : 0x78 | c));
        }
    }
}

// Samples are made in blocks between the ticks; one sample a call must give the same samples,
// meters, oscilloscope samples and stems.
TEST(EngineOffline, BlocksBetweenTicksGiveWhatOneSampleACallGives) {
    struct Made {
        std::vector<StereoSample> frames;
        Engine::ChannelPeaks peaks{};
        std::vector<ChannelSamples> recent = std::vector<ChannelSamples>(1024);
        std::size_t recentCopied = 0;
        std::vector<std::int16_t> mix;
        std::vector<std::int16_t> stems;
    };
    const auto start = [](Engine& engine, bool meters, bool stems) {
        gTicks.Clear(&engine, 0);
        StartOptions options = Offline();
        options.channelMeters = meters;
        options.channelStems = stems;
        EXPECT_EQ(engine.Start(options), StartResult::Started);
        engine.SetTickProcedure(&PlayingTick);
    };
    const auto make = [&](bool meters, std::size_t perCall) {
        Made made;
        Engine engine;
        start(engine, meters, false);
        made.frames.resize(40'000);
        for (std::size_t at = 0; at < made.frames.size(); at += perCall) {
            const std::size_t count = std::min(perCall, made.frames.size() - at);
            EXPECT_EQ(engine.RenderNative(std::span(made.frames).subspan(at, count)), count);
        }
        made.peaks = engine.TakeChannelPeaks();
        made.recentCopied = engine.CopyChannelSamples(made.recent);
        return made;
    };
    const Made whole = make(false, 40'000);
    EXPECT_TRUE(std::any_of(whole.frames.begin(), whole.frames.end(),
                            [](StereoSample f) { return std::abs(f.left) > 1000; }));
    for (const bool meters : {false, true}) {
        SCOPED_TRACE(meters ? "with meters" : "without");
        const Made blocks = make(meters, 40'000);
        const Made single = make(meters, 1);
        EXPECT_TRUE(blocks.frames == whole.frames);
        EXPECT_TRUE(single.frames == whole.frames);
        EXPECT_EQ(blocks.peaks, single.peaks);
        EXPECT_TRUE(blocks.recent == single.recent);
        EXPECT_EQ(blocks.recentCopied, meters ? 1024u : 0u);
        if (meters) {
            EXPECT_GT(*std::min_element(blocks.peaks.begin(), blocks.peaks.begin() + 4), 0);
            // The oscilloscopes' samples: the four playing channels move, the rest are still.
            for (std::size_t c = 0; c < 8; ++c) {
                const bool moves = std::any_of(blocks.recent.begin(), blocks.recent.end(),
                                               [c](const ChannelSamples& s) { return s[c] != 0; });
                EXPECT_EQ(moves, c < 4) << "channel " << c;
            }
        }
    }

    // The stems' mix is the mix made without them.
    const auto withStems = [&](bool stems) {
        Made made;
        Engine engine;
        start(engine, false, stems);
        made.mix.resize(2 * 20'000);
        made.stems.resize(kStemValuesPerFrame * 20'000);
        EXPECT_EQ(stems ? engine.RenderWithStems(made.mix, made.stems) : engine.Render(made.mix),
                  20'000u);
        return made;
    };
    const Made stems = withStems(true);
    EXPECT_EQ(stems.mix, withStems(false).mix);
    EXPECT_GT(qzr::test::Peak(qzr::test::Channel(stems.mix, 0)), 1000.0);
}

// What a tick saw when it called the lifecycle operations on its own engine.
struct Reentry {
    StartResult start = StartResult::Started;
    std::size_t rendered = 1;
    ActiveOutput active = ActiveOutput::None;
};
Reentry gReentry;

void ReenteringTick() {
    Engine& engine = *gTicks.engine;
    gReentry.start = engine.Start(StartOptions{});
    engine.Stop();
    std::array<std::int16_t, 8> frames{};
    gReentry.rendered = engine.Render(frames);
    gReentry.active = engine.Active();
}

TEST(EngineOffline, ATickCallingStartStopOrRenderNeitherDeadlocksNorStopsItself) {
    Engine engine(std::make_unique<RecordingChip>());
    gTicks.Clear(&engine, 0);
    ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
    engine.SetTickProcedure(&ReenteringTick);
    std::vector<StereoSample> frames(1000);
    EXPECT_EQ(engine.RenderNative(frames), frames.size());
    EXPECT_EQ(gReentry.start, StartResult::AlreadyRunning);
    EXPECT_EQ(gReentry.rendered, 0u);
    EXPECT_EQ(gReentry.active, ActiveOutput::Offline);
    EXPECT_EQ(engine.Active(), ActiveOutput::Offline);
}

TEST(EngineOffline, StartChecksItsArgumentsAndRunsOnlyOnce) {
    struct Case {
        int rate;
        int periodMs;
        StartResult result;
    };
    const Case cases[] = {
        {7'999, 5, StartResult::RateOutOfRange},  {8'000, 5, StartResult::Started},
        {192'000, 1, StartResult::Started},       {192'001, 5, StartResult::RateOutOfRange},
        {44'100, 0, StartResult::PeriodTooShort}, {44'100, -5, StartResult::PeriodTooShort},
    };
    Engine engine(std::make_unique<RecordingChip>());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.periodMs << " ms");
        StartOptions options = Offline(c.rate);
        options.tickPeriodMs = c.periodMs;
        EXPECT_EQ(engine.Start(options), c.result);
        if (c.result == StartResult::Started) {
            EXPECT_EQ(engine.Start(options), StartResult::AlreadyRunning);
            EXPECT_EQ(engine.Active(), ActiveOutput::Offline);
        }
        engine.Stop();
        engine.Stop();
        EXPECT_EQ(engine.Active(), ActiveOutput::None);
    }
    std::vector<std::int16_t> out(64);
    EXPECT_EQ(engine.Render(out), 0u);  // not running
}

TEST(EngineOffline, TotalVolumeScalesTheLevelAndLoudOutputSaturatesWithoutWrapping) {
    struct Case {
        int volume;
        double peak;
    };
    // The chip sounds a 1 kHz sine of amplitude 12,000.
    const Case cases[] = {{1024, 12'000}, {512, 6'000}, {2048, 24'000}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        Engine engine(std::make_unique<RecordingChip>(12'000.0, 1000.0));
        ASSERT_EQ(engine.Start(Offline()), StartResult::Started);
        engine.SetTotalVolume(c.volume);
        const auto left = qzr::test::Channel(RenderSeconds(engine, 0.5), 0);
        EXPECT_NEAR(qzr::test::Peak(left), c.peak, c.peak * 0.005 + 1.0);
    }

    Engine unity(std::make_unique<RecordingChip>(12'000.0, 1000.0));
    Engine loud(std::make_unique<RecordingChip>(12'000.0, 1000.0));
    ASSERT_EQ(unity.Start(Offline()), StartResult::Started);
    ASSERT_EQ(loud.Start(Offline()), StartResult::Started);
    loud.SetTotalVolume(8 * 1024);
    const auto quiet = RenderSeconds(unity, 0.5);
    const auto clipped = RenderSeconds(loud, 0.5);
    int pinned = 0;
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        // Same sign and never smaller: a wrapped sample would flip sign.
        ASSERT_GE(static_cast<int>(clipped[i]) * quiet[i], 0) << "sample " << i;
        ASSERT_GE(std::abs(clipped[i]), std::abs(quiet[i])) << "sample " << i;
        if (clipped[i] == 32'767 || clipped[i] == -32'768) ++pinned;
    }
    EXPECT_GT(pinned, static_cast<int>(quiet.size()) / 2);
}

TEST(EngineOffline, WithTheFMChipOffTicksComeButTheOutputIsSilent) {
    Engine engine(std::make_unique<RecordingChip>(12'000.0, 1000.0));
    gTicks.Clear(&engine, 0);
    StartOptions options = Offline();
    options.fmEnabled = false;
    ASSERT_EQ(engine.Start(options), StartResult::Started);
    engine.SetTickProcedure(&RecordTick);
    const auto out = RenderSeconds(engine, 1.0);
    EXPECT_EQ(qzr::test::Peak(qzr::test::Channel(out, 0)), 0.0);
    EXPECT_EQ(gTicks.positions.size(), TicksBelow(engine.NativeSamplePosition()));
    EXPECT_GE(gTicks.positions.size(), 200u);
}

}  // namespace
}  // namespace qzr::emulator
