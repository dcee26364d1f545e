#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "chip_harness.h"
#include "noise_generator.h"

namespace qzr::emulator {
namespace {

using detail::NoiseGenerator;
using test::Program;

// The bits of a 17-bit maximal-length LFSR: x[j] = x[j-14] ^ x[j-17], period 131071.
void ExpectLfsrSequence(const std::vector<int>& x) {
    int bad = 0;
    for (std::size_t j = 17; j < x.size(); ++j) bad += x[j] != (x[j - 14] ^ x[j - 17]);
    EXPECT_EQ(bad, 0);
    bad = 0;
    for (std::size_t j = 0; j + 131071 < x.size(); ++j) bad += x[j] != x[j + 131071];
    EXPECT_EQ(bad, 0);
}

TEST(Noise, EveryCycleStepsASeventeenBitLfsr) {
    NoiseGenerator noise;
    std::vector<int> bits;
    for (int n = 0; n < 10000; ++n) {
        const std::uint32_t out = noise.RunSample(31, 31);
        for (int c = 0; c < 32; ++c) bits.push_back(static_cast<int>((out >> c) & 1u));
    }
    // The register starts empty; the first new bit enters at the top and reaches the output
    // 15 cycles later.
    const std::vector<int> start(bits.begin() + 15, bits.begin() + 35);
    EXPECT_EQ(start,
              (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0}));
    ExpectLfsrSequence({bits.begin() + 15, bits.end()});
}

// At lower NFRQ the register steps in bursts of 16; the bit the noise channel samples then
// changes at most once per (32 - NFRQ) / 2 samples and still runs the LFSR sequence.
TEST(Noise, BurstsKeepTheSequenceClean) {
    for (std::uint8_t nfrq : {std::uint8_t{0}, std::uint8_t{16}, std::uint8_t{28}}) {
        SCOPED_TRACE(static_cast<int>(nfrq));
        NoiseGenerator noise;
        const int interval = (32 - nfrq) / 2;
        std::vector<int> sampled;
        std::vector<int> perSample;
        for (int n = 0; n < 300000 * interval / 8 + 2000; ++n) {
            perSample.push_back(static_cast<int>((noise.RunSample(nfrq, nfrq) >> 12) & 1u));
        }
        for (std::size_t n = 0; n < perSample.size(); n += static_cast<std::size_t>(interval)) {
            for (std::size_t k = 1;
                 k < static_cast<std::size_t>(interval) && n + k < perSample.size(); ++k) {
                ASSERT_EQ(perSample[n + k], perSample[n]) << n + k;
            }
            sampled.push_back(perSample[n]);
        }
        ExpectLfsrSequence({sampled.begin() + 2, sampled.end()});
    }
}

// Which cycles step around a change of NFRQ, derived from the counter by hand. With NFRQ f set
// before sample 0 the counter in half-sample h (cycles 0..15 of sample n are h = 2n, 16..31 are
// h = 2n + 1) is h mod (32 - f); cycles 0, 1 of sample n follow its value in h = 2n - 1, cycles
// 2..17 in 2n, cycles 18..31 in 2n + 1.
TEST(Noise, AStepDecidedInTheWritesOwnCycleFollowsTheNewNfrq) {
    struct Case {
        const char* name;
        std::uint8_t before, after;
        int writeSample;
        std::array<std::uint32_t, 3> steps;  // samples writeSample - 1 .. writeSample + 1
    };
    const std::vector<Case> cases{
        // NFRQ 14 (counter period 18): a burst runs from cycle 18 of sample 1007 (counter 17 in
        // h = 2015). Cycle 0 of 1008 follows the old NFRQ and steps; cycle 1 follows the new
        // one (limit 0, counter 17) and does not: the burst has 15 steps. From then on the
        // counter sits at the new limit 0 and every cycle steps.
        {"burst cut to 15", 14, 31, 1008, {0xFFFC0000u, 0xFFFFFFFDu, 0xFFFFFFFFu}},
        // One sample earlier no burst is running (counter 13..15) and none starts: the
        // counter, compared with the new limit from cycle 15 of 1007 on, counts up to 31 first.
        {"a sample earlier", 14, 31, 1007, {0, 0, 0}},
        // One sample later the burst is complete (cycles 0, 1 of 1008), the counter is 1.
        {"a sample later", 14, 31, 1009, {0x00000003u, 0, 0}},
        // NFRQ 15 (period 17): the counter is 0 in h = 17, the second half of sample 8. With
        // the new limit 0 written before sample 9 cycle 1 steps alone; the old NFRQ, asked at
        // cycle 0 and at the counter's change in cycle 31, sees nothing.
        {"a lone step", 15, 31, 9, {0x0003FFFCu, 0x00000002u, 0}},
        // NFRQ 31 steps every cycle; NFRQ 14 written before sample 100 stops it after cycle 0.
        {"steps stop after cycle 0", 31, 14, 100, {0xFFFFFFFFu, 0x00000001u, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NoiseGenerator noise;
        std::array<std::uint32_t, 3> steps{};
        for (int n = 0; n <= c.writeSample + 1; ++n) {
            const std::uint8_t before = n <= c.writeSample ? c.before : c.after;
            const std::uint8_t now = n < c.writeSample ? c.before : c.after;
            const std::uint32_t mask = noise.StepCycles(n == 0 ? 0 : before, now);
            if (n >= c.writeSample - 1)
                steps[static_cast<std::size_t>(n - (c.writeSample - 1))] = mask;
        }
        EXPECT_EQ(steps, c.steps);
    }
}

// The burst cut to 15 steps leaves the register rotated against the sequence for good. The
// noise channel's sign in sample n is the register's output at the end of cycle 12, heard in
// frame n + 3; the register is driven here with the steps derived by hand above.
TEST(Noise, ACutBurstShiftsTheChannelsSequenceForGood) {
    constexpr int kWrite = 1008;
    constexpr int kSamples = 4000;
    auto handSteps = [](int n, bool cut) -> std::uint32_t {
        if (n == kWrite - 1) return 0xFFFC0000u;
        if (n == kWrite) return cut ? 0xFFFFFFFDu : 0xFFFFFFFFu;
        if (n > kWrite) return 0xFFFFFFFFu;
        auto burstAt = [](int h) { return h >= 0 && h % 18 == 17; };
        return (burstAt(2 * n - 1) ? 0x00000003u : 0u) | (burstAt(2 * n) ? 0x0003FFFCu : 0u) |
               (burstAt(2 * n + 1) ? 0xFFFC0000u : 0u);
    };
    auto signs = [&](bool cut) {
        NoiseGenerator reg;
        std::vector<int> out;
        for (int n = 0; n < kSamples; ++n) {
            out.push_back(static_cast<int>((reg.Shift(handSteps(n, cut)) >> 12) & 1u));
        }
        return out;
    };
    const std::vector<int> expected = signs(true);
    const std::vector<int> uncut = signs(false);

    Program p;
    p.Write(0x0F, 0x80 | 14).Channel(7, 3, 0, 0).SineSlot(31).Key(7, 0x8);
    p.At(kWrite).Write(0x0F, 0x80 | 31);
    std::vector<int> heard;
    YM2151 chip;
    test::Run(chip, p, kSamples + 3, [&](std::uint64_t n, StereoSample f) {
        if (n >= 3) heard.push_back(f.right > 0 ? 1 : 0);
    });
    // Full level from sample 20 on: +2040 for a 1, -2044 for a 0.
    EXPECT_EQ(std::vector<int>(heard.begin() + 20, heard.end()),
              std::vector<int>(expected.begin() + 20, expected.end()));
    int differ = 0;
    for (int n = kWrite + 20; n < kSamples; ++n) {
        differ += expected[static_cast<std::size_t>(n)] != uncut[static_cast<std::size_t>(n)];
    }
    EXPECT_GT(differ, (kSamples - kWrite) / 4) << "the shift lasts";
}

TEST(Noise, ChannelOutputValues) {
    Program p;
    p.Write(0x0F, 0x80 | 31).Channel(7, 3, 0, 0).SineSlot(31).Key(7, 0x8).Wait(50);
    std::set<int> loud, silent;
    YM2151 chip;
    const std::uint64_t keyOff = p.Next() + 3000;
    Program withKeyOff = p;
    withKeyOff.At(keyOff).Key(7, 0);
    test::Run(chip, withKeyOff, keyOff + 4000, [&](std::uint64_t n, StereoSample f) {
        if (n > 100 && n < keyOff) loud.insert(f.right);
        if (n > keyOff + 2000) silent.insert(f.right);
    });
    // +2040 and -2041 at full level; the DAC keeps 10 bits of -2041.
    EXPECT_EQ(loud, (std::set<int>{2040, -2044}));
    // A silent noise channel still puts out 0 or -8.
    EXPECT_EQ(silent, (std::set<int>{0, -8}));
}

// Samples between flag settings, clearing the flag as soon as it is seen.
std::vector<std::uint64_t> FlagPeriods(const Program& setup, std::uint8_t control,
                                       std::uint8_t flag, std::uint64_t samples) {
    YM2151 chip;
    test::Run(chip, setup, setup.Next(), nullptr);
    chip.Write(0x14, control);
    std::vector<std::uint64_t> at;
    for (std::uint64_t n = 0; n < samples; ++n) {
        chip.Generate();
        EXPECT_EQ(chip.IrqPending(), chip.Status() != 0);
        if (chip.Status() & flag) {
            at.push_back(n);
            chip.Write(0x14, static_cast<std::uint8_t>(control | (flag << 4)));
        }
    }
    std::vector<std::uint64_t> periods;
    for (std::size_t i = 1; i < at.size(); ++i) periods.push_back(at[i] - at[i - 1]);
    return periods;
}

TEST(Timers, PeriodsOfTimerAAndTimerB) {
    struct Case {
        const char* name;
        std::uint8_t na_high, na_low, nb, control, flag;
        std::uint64_t period;
    };
    const std::vector<Case> cases{{"A 0", 0, 0, 0, 0x05, 1, 1024},
                                  {"A 1023", 0xFF, 3, 0, 0x05, 1, 1},
                                  {"A 1000", 0xFA, 0, 0, 0x05, 1, 24},
                                  {"B 0", 0, 0, 0, 0x0A, 2, 4096},
                                  {"B 250", 0, 0, 250, 0x0A, 2, 96}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Program setup;
        setup.Write(0x10, c.na_high).Write(0x11, c.na_low).Write(0x12, c.nb);
        const auto periods = FlagPeriods(setup, c.control, c.flag, 20000);
        ASSERT_GE(periods.size(), 3u);
        EXPECT_EQ(std::set<std::uint64_t>(periods.begin(), periods.end()),
                  (std::set<std::uint64_t>{c.period}));
    }
    // Without the enable bit a timer runs but sets no flag.
    YM2151 chip;
    chip.Write(0x14, 0x03);
    for (int n = 0; n < 5000; ++n) chip.Generate();
    EXPECT_EQ(chip.Status(), 0);
    EXPECT_FALSE(chip.IrqPending());
}

// CSM keys every slot on at each timer A overflow; a slot with an instant attack restarts
// its phase each time.
TEST(Timers, CsmRetriggersAtEachOverflow) {
    Program p;
    p.Channel(0, 3, 0, 7).Pitch(0, 0x4A).SineSlot(0).Write(0x10, 0xFF).Write(0x11, 0x00);
    p.Write(0x14, 0x81);  // NA 1020: an overflow every 4 samples
    YM2151 chip;
    std::vector<std::uint64_t> restarts;
    test::Run(chip, p, p.Next() + 40, [&](std::uint64_t n, StereoSample) {
        if (chip.InspectSlot(0).phase == 0) restarts.push_back(n);
    });
    ASSERT_GE(restarts.size(), 8u);
    for (std::size_t i = 1; i < restarts.size(); ++i) EXPECT_EQ(restarts[i] - restarts[i - 1], 4u);
}

}  // namespace
}  // namespace qzr::emulator
