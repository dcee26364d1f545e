#include "lfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "chip_harness.h"

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

// Runs the LFO alone with a rate written just before sample 0.
LfoRun RunLfo(std::uint8_t rate, LfoWave wave, std::uint8_t amd, std::uint8_t pmd,
              std::uint64_t samples, bool reset = false) {
    Lfo lfo;
    lfo.RequestRateReload();
    LfoRun run;
    const LfoControl control{wave, reset};
    for (std::uint64_t n = 0; n < samples; ++n) {
        lfo.RunSample(n, rate, amd, pmd, control, control, 0x12345678u,
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
