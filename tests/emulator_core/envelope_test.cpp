#include "envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "chip_harness.h"

namespace qzr::emulator {
namespace {

using test::Program;

// All 32 slots with one envelope; channel c keys on at its own offset into the tick pattern,
// so the measurement averages over start phases.
struct EnvelopeRun {
    std::uint8_t ar, d1r, d2r, d1l;
};

// Mean samples from the key-on latch to the first sample whose level meets `done`.
template <typename Done>
double MeanTime(const EnvelopeRun& run, std::uint64_t patternSamples, std::uint64_t limit,
                Done done) {
    Program p;
    for (int s = 0; s < 32; ++s) {
        const auto slot = static_cast<std::uint8_t>(s);
        p.Write(static_cast<std::uint8_t>(0x80 + slot), run.ar);
        p.Write(static_cast<std::uint8_t>(0xA0 + slot), run.d1r);
        p.Write(static_cast<std::uint8_t>(0xC0 + slot), run.d2r);
        p.Write(static_cast<std::uint8_t>(0xE0 + slot), static_cast<std::uint8_t>(run.d1l << 4));
    }
    std::vector<std::uint64_t> latched(8);
    const std::uint64_t first = p.Next();
    for (int c = 0; c < 8; ++c) {
        p.At(first + static_cast<std::uint64_t>(c) * (patternSamples / 8 + 1)).Key(c, 0xF);
        latched[static_cast<std::size_t>(c)] = p.Next();  // the write is made before Next() - 1
    }
    std::vector<std::int64_t> reached(32, -1);
    YM2151 chip;
    test::Run(chip, p, limit, [&](std::uint64_t n, StereoSample) {
        for (int s = 0; s < 32; ++s) {
            auto& r = reached[static_cast<std::size_t>(s)];
            const auto latch = latched[static_cast<std::size_t>(s & 7)];
            // Levels move only on ticks (samples 2, 5, 8, ...) and at the key-on edge.
            const bool canMove = n % 3 == 2 || n == latch;
            if (r < 0 && n >= latch && canMove && done(chip.InspectSlot(s).level)) {
                r = static_cast<std::int64_t>(n - latch);
            }
        }
    });
    double sum = 0;
    for (auto r : reached) {
        EXPECT_GE(r, 0) << "never reached";
        sum += static_cast<double>(r);
    }
    return sum / 32.0;
}

struct RateTime {
    int rate;
    double attackMs, decayMs;
};

// Effective rate R = 2r at key code 0 and KS 0; the pattern of steps repeats every 8 steps of
// the tick counter bit that the rate uses.
std::uint64_t PatternSamples(int rate) { return rate < 48 ? 3ull * 8 << (11 - rate / 4) : 12; }

void ExpectTime(double measuredSamples, double expectedMs) {
    const double expected = expectedMs * test::kNativeRate / 1000.0;
    EXPECT_NEAR(measuredSamples, expected, std::max(2.0, 0.03 * expected))
        << "expected " << expectedMs << " ms";
}

TEST(Envelope, AttackTimesMatchTheRateTable) {
    const std::vector<RateTime> cases{{4, 7943, 0},  {16, 996.2, 0}, {32, 62.25, 0}, {40, 15.58, 0},
                                      {48, 3.92, 0}, {56, 1.13, 0},  {60, 0.54, 0},  {62, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "R " << c.rate);
        const auto r = static_cast<std::uint8_t>(c.rate / 2);
        const auto limit = static_cast<std::uint64_t>(c.attackMs * 60.0 + 40000);
        const double t = MeanTime({r, 0, 0, 0}, PatternSamples(c.rate), limit,
                                  [](std::uint16_t level) { return level == 0; });
        ExpectTime(t, c.attackMs);
    }
}

TEST(Envelope, DecayTimesMatchTheRateTable) {
    const std::vector<RateTime> cases{{4, 0, 110654}, {16, 0, 13835}, {32, 0, 864.7},
                                      {40, 0, 216.2}, {48, 0, 54.07}, {56, 0, 13.52},
                                      {60, 0, 6.76},  {62, 0, 6.76}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "R " << c.rate);
        const auto r = static_cast<std::uint8_t>(c.rate / 2);
        const auto limit = static_cast<std::uint64_t>(c.decayMs * 60.0 + 40000);
        // Instant attack, then the same rate through decay and sustain.
        const double t = MeanTime({31, r, r, 0}, PatternSamples(c.rate), limit,
                                  [](std::uint16_t level) { return level >= 1008; });
        ExpectTime(t, c.decayMs);
    }
}

// A held tone on channel 0's C2 (connection 0 with the modulators silent).
Program HeldTone(std::uint8_t tl, std::uint8_t d1r = 0, std::uint8_t d1l = 0) {
    Program p;
    p.Channel(0, 3, 0, 0).SineSlot(24, tl).Pitch(0, 0x4A);
    p.Write(0xA0 + 24, d1r).Write(0xE0 + 24, static_cast<std::uint8_t>(d1l << 4 | 15));
    return p.Key(0, 0x8);
}

TEST(Envelope, FirstDecayStopsAtTheSustainLevel) {
    for (const int d1lValue : {0, 1, 4, 9, 14, 15}) {
        const auto d1l = static_cast<std::uint8_t>(d1lValue);
        SCOPED_TRACE(static_cast<int>(d1l));
        YM2151 chip;
        test::Run(chip, HeldTone(0, 24, d1l), 20000, nullptr);
        const SlotView v = chip.InspectSlot(24);
        const int sustain = d1l == 15 ? 992 : 32 * d1l;
        EXPECT_EQ(v.phaseState, EnvelopePhase::Sustain);
        EXPECT_GE(v.level, sustain);
        EXPECT_LE(v.level, sustain + 15);
    }
}

double PeakLeft(const std::vector<StereoSample>& frames) {
    int peak = 0;
    for (const auto& f : frames) peak = std::max(peak, std::abs(static_cast<int>(f.left)));
    return peak;
}

TEST(Envelope, TotalLevelStepsAreThreeQuartersOfADecibel) {
    const double loud =
        test::ToneMagnitude(test::Left(test::Render(HeldTone(0), 9000), 1000), 8248.0 / 1048576.0);
    for (const int tlValue : {1, 2, 8, 16, 40}) {
        const auto tl = static_cast<std::uint8_t>(tlValue);
        SCOPED_TRACE(static_cast<int>(tl));
        const double quiet = test::ToneMagnitude(test::Left(test::Render(HeldTone(tl), 9000), 1000),
                                                 8248.0 / 1048576.0);
        EXPECT_NEAR(20.0 * std::log10(loud / quiet), 0.75 * tl, 0.15);
    }
    EXPECT_EQ(PeakLeft(test::Render(HeldTone(127), 4000)), 0.0);
}

TEST(Envelope, KeyOffReleasesToSilence) {
    Program p = HeldTone(0);
    p.Wait(2000).Key(0, 0);
    const std::uint64_t keyOff = p.Next();
    YM2151 chip;
    std::uint16_t last = 0;
    bool rising = true;
    test::Run(chip, p, keyOff + 1000, [&](std::uint64_t n, StereoSample) {
        if (n <= keyOff) return;
        const SlotView v = chip.InspectSlot(24);
        rising = rising && v.level >= last && v.phaseState == EnvelopePhase::Release;
        last = v.level;
    });
    EXPECT_TRUE(rising);
    EXPECT_EQ(last, 1023);
    const auto frames = test::Render(p, keyOff + 1000);
    EXPECT_GT(PeakLeft({frames.begin() + 1000, frames.begin() + 2000}), 8000.0);
    EXPECT_EQ(PeakLeft({frames.end() - 100, frames.end()}), 0.0);
}

TEST(Envelope, KeyOnStartsTheAttackFromTheCurrentLevel) {
    Program p = HeldTone(0);
    p.Write(0x80 + 24, 10);  // slow attack for the second key-on
    p.Wait(100).Key(0, 0).Wait(60).Key(0, 0x8);
    YM2151 chip;
    test::Run(chip, p, p.Next() + 1, nullptr);
    const SlotView v = chip.InspectSlot(24);
    EXPECT_EQ(v.phaseState, EnvelopePhase::Attack);
    EXPECT_GT(v.level, 0);
    EXPECT_LT(v.level, 1023);
}

TEST(Envelope, ResetSilencesAtOnce) {
    YM2151 chip;
    std::int64_t loudest = 0;
    test::Run(chip, HeldTone(0), 3000, [&](std::uint64_t, StereoSample f) {
        loudest = std::max<std::int64_t>(loudest, f.left);
    });
    EXPECT_GT(loudest, 8000);
    chip.Reset();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(chip.Generate(), (StereoSample{0, 0})) << i;
    EXPECT_EQ(chip.InspectSlot(24).level, 1023);
    EXPECT_EQ(chip.SampleIndex(), 200u);
}

}  // namespace
}  // namespace qzr::emulator

namespace qzr::emulator::detail {
namespace {

TEST(EnvelopeSteps, PrebuiltTablesCoverEveryTickCount) {
    for (std::uint32_t k = 0; k < 65536; ++k) {
        const auto tick = static_cast<std::uint16_t>(k);
        ASSERT_EQ(StepTableFor(tick), BuildStepTable(tick)) << k;
    }
    // Rates 60..63 always step by 8; a slow rate steps on one tick in 2^(11 - R/4).
    EXPECT_EQ(BuildStepTable(5)[60], 8);
    EXPECT_EQ(BuildStepTable(1024)[4], 1);
    EXPECT_EQ(BuildStepTable(512)[4], 0);
}

}  // namespace
}  // namespace qzr::emulator::detail

namespace qzr::emulator::detail {
namespace {

// Over a full cycle of the tick counter every slow rate makes (4 + R mod 4) * 2^(R/4 - 14)
// steps per tick on average: rates 2, 3, 5 and 7 each have their own density.
TEST(EnvelopeSteps, SlowRatesAverageTheirOwnDensity) {
    for (int rate = 2; rate < 48; ++rate) {
        SCOPED_TRACE(rate);
        std::uint32_t steps = 0;
        for (std::uint32_t k = 0; k < 65536; ++k) {
            steps += StepTableFor(static_cast<std::uint16_t>(k))[static_cast<std::size_t>(rate)];
        }
        EXPECT_EQ(steps, static_cast<std::uint32_t>((4 + rate % 4) << (rate / 4 + 2)));
    }
}

// The sample loop skips the envelope of a slot that is settled; that must never skip a change.
// Every level, phase, key state and sustain level: a settled envelope stays as it is through a
// sample without a tick, and a tick sample whose step is 0 is the same as one without a tick.
TEST(EnvelopeSteps, ASettledEnvelopeIsLeftAsItIsWithoutAStep) {
    const std::array phases{EnvelopePhase::Attack, EnvelopePhase::Decay, EnvelopePhase::Sustain,
                            EnvelopePhase::Release};
    int settledCount = 0;
    for (int d1l = 0; d1l < 16; ++d1l) {
        EnvelopeRegs regs{31,
                          5,
                          3,
                          7,
                          static_cast<std::uint8_t>(d1l),
                          0,
                          static_cast<std::uint8_t>(2 * (d1l == 15 ? 31 : d1l))};
        for (const EnvelopePhase phase : phases) {
            for (int level = 0; level <= kLevelSilent; ++level) {
                for (const bool keyOn : {false, true}) {
                    const EnvelopeSlot before{static_cast<std::uint16_t>(level), phase};
                    if (!EnvelopeSettled(before, regs, keyOn)) continue;
                    ++settledCount;
                    EnvelopeSlot after = before;
                    UpdateEnvelope(after, regs, keyOn, false, 0, nullptr);
                    ASSERT_EQ(after.level, before.level) << level << " " << d1l << " " << keyOn;
                    ASSERT_EQ(after.phase, before.phase) << level << " " << d1l << " " << keyOn;
                }
            }
        }
    }
    // Silent released slots and notes held at full level are among the settled states.
    EXPECT_TRUE(EnvelopeSettled(EnvelopeSlot{kLevelSilent, EnvelopePhase::Release},
                                EnvelopeRegs{31, 5, 3, 7, 2, 0, 4}, false));
    EXPECT_TRUE(EnvelopeSettled(EnvelopeSlot{0, EnvelopePhase::Decay},
                                EnvelopeRegs{31, 5, 3, 7, 2, 0, 4}, true));
    EXPECT_GT(settledCount, 0);
}

}  // namespace
}  // namespace qzr::emulator::detail

namespace qzr::emulator {
namespace {

// The key-on edge sample makes no step even when it is a tick sample.
TEST(Envelope, NoAttackStepInTheKeyOnSample) {
    for (int offset = 0; offset < 3; ++offset) {
        SCOPED_TRACE(offset);
        Program p;
        p.Write(0x80 + 24, 30).Wait(static_cast<std::uint64_t>(offset)).Key(0, 0x8);
        // The key write precedes Next() - 1: latched in Next().
        const auto latch = static_cast<std::size_t>(p.Next());
        YM2151 chip;
        std::vector<std::uint16_t> levels;
        test::Run(chip, p, latch + 4, [&](std::uint64_t, StereoSample) {
            levels.push_back(chip.InspectSlot(24).level);
        });
        EXPECT_EQ(levels[latch], 1023);
        EXPECT_EQ(chip.InspectSlot(24).phaseState, EnvelopePhase::Attack);
        EXPECT_LT(levels[latch + 3], 1023);  // a tick came since, and rate 60 steps on every tick
    }
}

// Lowering D1L below the level during the first decay: the decay runs on to 1008, jumps to
// silence and releases with the key still held.
TEST(Envelope, SustainLevelBelowTheDecayRunsOnToSilence) {
    Program p;
    p.Write(0x80 + 24, 31).Write(0xA0 + 24, 20).Write(0xE0 + 24, 0xF0).Key(0, 0x8).Wait(3000);
    p.Write(0xE0 + 24, 0x20);  // sustain 64, already passed
    YM2151 chip;
    std::vector<SlotView> views;
    test::Run(chip, p, 20000,
              [&](std::uint64_t, StereoSample) { views.push_back(chip.InspectSlot(24)); });
    const auto from = static_cast<std::size_t>(p.Next());
    ASSERT_GT(views[from].level, 100);
    bool jumped = false;
    for (std::size_t n = from; n + 1 < views.size(); ++n) {
        if (views[n].level >= 1008 && views[n].level < 1023) {
            EXPECT_EQ(views[n].phaseState, EnvelopePhase::Decay);
            EXPECT_EQ(views[n + 1].level, 1023);
            EXPECT_EQ(views[n + 1].phaseState, EnvelopePhase::Release);
            jumped = true;
            break;
        }
        EXPECT_NE(views[n].phaseState, EnvelopePhase::Sustain) << n;
    }
    EXPECT_TRUE(jumped);
}

}  // namespace
}  // namespace qzr::emulator
