#include "lfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "chip_harness.h"
#include "operator_output.h"
#include "tables.h"
#include "trace.h"

namespace qzr::emulator {
namespace {

using detail::Lfo;
using detail::LfoControl;
using detail::LfoWave;
using test::Program;

struct LfoRun {
    std::vector<std::uint8_t> am, pm;
    std::vector<std::uint16_t> position;
};

constexpr std::uint64_t kNoPulse = ~std::uint64_t{0};

// Runs the LFO alone with a rate written just before sample 0. With `pulseAt`, the reset bit is
// written 1 just before that sample and 0 just before the next, as two writes a sample apart.
LfoRun RunLfo(std::uint8_t rate, LfoWave wave, std::uint8_t amd, std::uint8_t pmd,
              std::uint64_t samples, bool reset = false, std::uint64_t pulseAt = kNoPulse) {
    Lfo lfo;
    lfo.RequestRateReload();
    LfoRun run;
    auto resetIn = [&](std::uint64_t n) { return reset || n == pulseAt; };
    for (std::uint64_t n = 0; n < samples; ++n) {
        const LfoControl before{wave, n > 0 && resetIn(n - 1)};
        const LfoControl now{wave, resetIn(n)};
        lfo.RunSample(n, rate, amd, pmd, n == 0 ? now : before, now, 0x12345678u,
                      0x9ABCDEF0u ^ static_cast<std::uint32_t>(n * 2654435761u));
        run.am.push_back(lfo.Am());
        run.pm.push_back(lfo.Pm());
        run.position.push_back(lfo.Position());
    }
    return run;
}

TEST(Lfo, RateGivesTheWaveformPeriod) {
    struct Case {
        std::uint8_t rate;
        double hz;
    };
    for (const auto& c :
         std::vector<Case>{{0xFF, 52.91}, {0xF0, 27.31}, {0xC8, 5.121}, {0xC0, 3.414}}) {
        SCOPED_TRACE(static_cast<int>(c.rate));
        const std::uint64_t samples = 1u << 20;
        const LfoRun run = RunLfo(c.rate, LfoWave::Saw, 0, 0, samples);
        // Count clocks: V steps by one per clock (saw), modulo 2^16.
        std::uint64_t clocks = 0;
        for (std::size_t n = 1; n < run.position.size(); ++n) {
            clocks += static_cast<std::uint16_t>(run.position[n] - run.position[n - 1]);
        }
        const double hz = static_cast<double>(clocks) / 256.0 /
                          (static_cast<double>(samples) / test::kNativeRate);
        EXPECT_NEAR(hz, c.hz, c.hz * 0.002);
    }
    // The fastest rate: one period per 1057.0 samples.
    const LfoRun fast = RunLfo(0xFF, LfoWave::Saw, 0, 0, 128 * 1000);
    EXPECT_NEAR(128.0 * 1000 * 256 / fast.position.back(), 1057.0, 0.2);
}

TEST(Lfo, AmAndPmLatchOncePerEightSamplesAtTheirOwnPlaces) {
    const LfoRun run = RunLfo(0xFF, LfoWave::Triangle, 127, 127, 20000);
    int amChanges = 0, pmChanges = 0;
    for (std::size_t n = 1; n < run.am.size(); ++n) {
        if (run.am[n] != run.am[n - 1]) {
            ++amChanges;
            EXPECT_EQ(n % 8, 4u) << n;
        }
        if (run.pm[n] != run.pm[n - 1]) {
            ++pmChanges;
            EXPECT_EQ(n % 8, 0u) << n;
        }
    }
    EXPECT_GT(amChanges, 1000);
    EXPECT_GT(pmChanges, 1000);
}

TEST(Lfo, WaveformValues) {
    // Square: full AM or none, PM exactly +PMD or -PMD.
    const LfoRun square = RunLfo(0xFF, LfoWave::Square, 127, 100, 5000);
    EXPECT_EQ(std::set<std::uint8_t>(square.am.begin() + 16, square.am.end()),
              (std::set<std::uint8_t>{0, 253}));
    EXPECT_EQ(std::set<std::uint8_t>(square.pm.begin() + 16, square.pm.end()),
              (std::set<std::uint8_t>{100, 0x80 | 100}));
    // Triangle AM runs 255 .. 1 then 0 .. 254 (times 127/128): both ends are reached.
    const LfoRun triangle = RunLfo(0xFF, LfoWave::Triangle, 127, 127, 5000);
    const std::set<std::uint8_t> am(triangle.am.begin() + 16, triangle.am.end());
    EXPECT_EQ(*am.begin(), 0);
    EXPECT_EQ(*am.rbegin(), 253);
    // Saw PM: a rising ramp through both signs up to full magnitude.
    const LfoRun saw = RunLfo(0xC0, LfoWave::Saw, 0, 127, 20000);
    const std::set<std::uint8_t> pm(saw.pm.begin(), saw.pm.end());
    EXPECT_TRUE(pm.count(126) == 1 && pm.count(0x80 | 126) == 1 && pm.count(1) == 1);
    // Noise: many different values.
    const LfoRun noise = RunLfo(0xFF, LfoWave::Noise, 127, 127, 20000);
    EXPECT_GT(std::set<std::uint8_t>(noise.am.begin(), noise.am.end()).size(), 100u);
}

TEST(Lfo, ResetHoldsThePositionAtZero) {
    const LfoRun held = RunLfo(0xFF, LfoWave::Saw, 127, 127, 5000, true);
    // A clock arriving in a round still adds its 1, which the next round clears again.
    const std::set<std::uint8_t> am(held.am.begin() + 8, held.am.end());
    EXPECT_GE(*am.begin(), 252);
    EXPECT_LE(*std::max_element(held.position.begin(), held.position.end()), 1);
}

// A short reset pulse while the multiplier works. At LFRQ 0xF0 the LFO is clocked once in
// round 14 of every 8-sample cycle j (rounds 0..13 see V = j for the saw, 2j for the triangle).
// The multiplier adds X << (7 - b) in round b for each depth bit (127: all), X formed from V; a
// pulse written before sample n is seen by bits 1..7 of the round at cycle 31 of n - 1 (bit 0
// is formed before the write lands), by the round at cycle 15 of n, and by bit 0 of the round at
// cycle 31 of n. Those bits are formed as if V were 0, with the half-wave bits latched from V as
// it stands at each round's start; the first reset round clears V but bit 0.
TEST(Lfo, AResetPulseFormsTheMultipliersInputAsIfVWereZero) {
    struct Case {
        const char* name;
        LfoWave wave;
        std::uint64_t pulseAt;  // kNoPulse: none
        std::uint64_t readAt;   // the sample after which the latch is read
        std::uint8_t am, pm;
    };
    const std::vector<Case> cases{
        // Saw, j = 100: A = 255 - 100 = 155 in every round, AM = 155 * 254 >> 8 = 153.
        {"saw AM, no pulse", LfoWave::Saw, kNoPulse, 804, 153, 0},
        // Pulse before 802 = 8j + 2: round 2 takes X = 254 | (155 & 1) = 255, rounds 3..6 see
        // V = 0 and 255: (155 * 192 + 255 * 62) >> 8 = 178 (V's own bits would give 165).
        {"saw AM, pulse in round 2", LfoWave::Saw, 802, 804, 178, 0},
        // Triangle, j = 150: V = 300, V8 = 1, A = V mod 256 = 44: 44 * 254 >> 8 = 43.
        {"triangle AM, no pulse", LfoWave::Triangle, kNoPulse, 1204, 43, 0},
        // Pulse before 1202: round 2 takes 0 (V8 = 1, low bits 0; bit 0 of 44 is 0); V is then 0,
        // so rounds 3..6 take 255: (44 * 192 + 255 * 30) >> 8 = 62 (V would give 68).
        {"triangle AM, pulse in round 2", LfoWave::Triangle, 1202, 1204, 62, 0},
        // Saw, j = 165: V = 165, V7 = 1, B = 127 - 37 = 90: 90 * 254 >> 8 = 89, down (V7 of 166).
        {"saw PM, no pulse", LfoWave::Saw, kNoPulse, 1328, 0, 0x80 | 89},
        // Pulse before 1326 = 8j + 6: round 10 takes 254 | (90 & 1) = 254 (V7 = 1, low bits 0);
        // V is then 1, so round 11 latches V7 = 0 and takes 0, rounds 12..14 see V = 0 and take 0.
        // (90 * 192 + 254 * 32) >> 8 = 99, up: after the clock V = 1 (V would give 78).
        {"saw PM, pulse in round 10 with V7 set", LfoWave::Saw, 1326, 1328, 0, 99},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LfoRun run = RunLfo(0xF0, c.wave, 127, 127, c.readAt + 1, false, c.pulseAt);
        const auto n = static_cast<std::size_t>(c.readAt);
        // The values latched in this cycle, and kept for its 8 samples.
        if (c.pm == 0) {
            EXPECT_EQ(int{run.am[n]}, int{c.am});
        } else {
            EXPECT_EQ(int{run.pm[n]}, int{c.pm});
        }
    }
}

// Through the registers: the pulse's PM latch moves a PMS 7 slot's pitch for 8 samples, which
// leaves its phase offset for good; an AMS 1 slot is attenuated by the pulse's AM latch for 8.
TEST(Lfo, AResetPulseThroughTheTestRegister) {
    auto program = [](std::uint64_t pulseAt) {
        Program p;
        p.Write(0x18, 0xF0).Write(0x19, 0x7F).Write(0x19, 0x80 | 0x7F);
        // Channel 0: a sine on C2 with AMS 1; channel 1: a sine on C2 with PMS 7.
        p.Channel(0, 3, 0, 7).Pitch(0, 0x4A).Write(0x38, 0x01).SineSlot(24);
        p.Write(0xA0 + 24, 0x80);
        p.Channel(1, 3, 0, 7).Pitch(1, 0x4A).Write(0x39, 0x70).SineSlot(25);
        p.Key(0, 0x8).Key(1, 0x8);
        if (pulseAt != kNoPulse) p.At(pulseAt).Write(0x01, 0x02).Write(0x01, 0x00);
        return p;
    };
    const auto& roms = detail::Roms();
    {
        SCOPED_TRACE("AM");
        const test::Trace t = test::Record(program(802), 830);
        // The latch of cycle 99 (V = 99: 156 * 254 >> 8 = 154), the pulse's 178 from sample 804
        // (C2 works after cycle 16), then V = 1: 254 * 254 >> 8 = 252.
        std::vector<int> expected, actual;
        for (std::size_t n = 796; n < 820; ++n) {
            const std::uint32_t am = n < 804 ? 154 : n < 812 ? 178 : 252;
            const auto index = static_cast<std::int32_t>(t.slots[n - 1][24].phase >> 10);
            expected.push_back(detail::OperatorOutput(roms, index, am));
            actual.push_back(t.slots[n][24].output);
        }
        EXPECT_EQ(actual, expected);
    }
    {
        SCOPED_TRACE("PM");
        const test::Trace pulsed = test::Record(program(1326), 1400);
        const test::Trace plain = test::Record(program(kNoPulse), 1400);
        // PM +99 at PMS 7 moves KC 0x4A to code 82 (D#, octave 5) with KF 12: 1473 * 8 = 11784.
        // From sample 1336, PM 0 (V = 1): the plain 8248.
        std::vector<std::uint32_t> increments;
        for (std::size_t n = 1328; n < 1344; ++n)
            increments.push_back(pulsed.slots[n][25].increment);
        std::vector<std::uint32_t> expected(8, 11784);
        expected.resize(16, 8248);
        EXPECT_EQ(increments, expected);
        EXPECT_NE(pulsed.slots[1399][25].phase, plain.slots[1399][25].phase);
    }
}

// Through the registers: square PM at full depth moves M2's increment between the two values
// of the PM table, and AM at full depth and AMS 3 mutes a tone in one half of the wave.
TEST(Lfo, ModulatesThePitchAndLevelOfASlot) {
    Program p;
    p.Write(0x18, 0xFF).Write(0x1B, 0x01).Write(0x19, 0x80 | 127).Write(0x19, 127);
    p.Channel(0, 3, 0, 7).Pitch(0, 0x4A).Write(0x38, 0x73).SineSlot(8).Write(0xA0 + 8, 0x80);
    p.Key(0, 0x2);
    YM2151 chip;
    std::set<std::uint32_t> increments;
    int loud = 0, quiet = 0;
    test::Run(chip, p, 10000, [&](std::uint64_t n, StereoSample f) {
        if (n < 100) return;
        increments.insert(chip.InspectSlot(8).increment);
        (std::abs(f.left) > 4000 ? loud : quiet) += 1;
    });
    EXPECT_EQ(increments, (std::set<std::uint32_t>{13040, 5212}));
    EXPECT_GT(loud, 2000);
    EXPECT_GT(quiet, 2000);
}

}  // namespace
}  // namespace qzr::emulator
