#include "pitch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "chip_harness.h"

namespace qzr::emulator {
namespace {

using detail::ComputePitch;
using detail::PitchInputs;
using test::Program;

struct PitchCase {
    const char* name;
    std::uint8_t kc, kf, dt1, mul, dt2;
    std::uint32_t increment;
};

const std::vector<PitchCase> kReferencePitches{
    {"A4", 0x4A, 0, 0, 1, 0, 8248},
    {"A4 KF 32", 0x4A, 32, 0, 1, 0, 8488},
    {"DT1 3", 0x4A, 0, 3, 1, 0, 8257},
    {"DT1 7", 0x4A, 0, 7, 1, 0, 8239},
    {"MUL 0", 0x4A, 0, 0, 0, 0, 4124},
    {"MUL 2", 0x4A, 0, 0, 2, 0, 16496},
    {"DT2 1", 0x4A, 0, 0, 1, 1, 11664},
    {"DT2 2", 0x4A, 0, 0, 1, 2, 12944},
    {"DT2 3", 0x4A, 0, 0, 1, 3, 14280},
    {"C5", 0x4E, 0, 0, 1, 0, 9808},
    {"C4 KF 63", 0x3E, 63, 0, 1, 0, 5186},
    {"lowest", 0x00, 0, 0, 1, 0, 324},
    {"highest", 0x7E, 63, 0, 1, 0, 82976},
    {"highest DT2 3", 0x7E, 63, 0, 1, 3, 82976},
    // DT1 looks up the key code after DT2 (20 here, not the register's 18).
    {"DT2 1 DT1 3", 0x4A, 0, 3, 1, 1, 11675},
    // Unused note codes play the next note up.
    {"gap code 3", 0x43, 0, 0, 1, 0, 4 * 1545},
    {"gap code 15", 0x4F, 0, 0, 1, 0, 8 * 1299}};

// The increments through the registers, as the chip forms them.
TEST(PhaseGenerator, ReferenceIncrements) {
    for (const auto& c : kReferencePitches) {
        SCOPED_TRACE(c.name);
        Program p;
        p.Pitch(2, c.kc, c.kf)
            .Write(0x40 + 2 + 8, static_cast<std::uint8_t>(c.dt1 << 4 | c.mul))
            .Write(0xC0 + 2 + 8, static_cast<std::uint8_t>(c.dt2 << 6));
        YM2151 chip;
        test::Run(chip, p, p.Next() + 2, nullptr);
        EXPECT_EQ(chip.InspectSlot(2 + 8).increment, c.increment);
    }
}

// The PM table: magnitude 127 up and down at KC 0x4A.
TEST(PhaseGenerator, PitchModulationIncrements) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> upDown{
        {8268, 8224}, {8296, 8192},  {8356, 8132}, {8476, 8016},
        {8724, 7788}, {10360, 6556}, {13040, 5212}};
    for (std::uint8_t pms = 1; pms <= 7; ++pms) {
        SCOPED_TRACE(static_cast<int>(pms));
        PitchInputs in{0x4A, 0, pms, true, 127, 0, 0, 1};
        const std::uint32_t up = ComputePitch(in).increment;
        in.pmValue = 0x80 | 127;
        const std::uint32_t down = ComputePitch(in).increment;
        EXPECT_EQ(std::make_pair(up, down), upDown[pms - 1u]);
    }
    // PMD 0 switches PM off whatever the latched value.
    EXPECT_EQ(ComputePitch(PitchInputs{0x4A, 0, 7, false, 127, 0, 0, 1}).increment, 8248u);
}

// Down-going PM makes no gap check, so an unused note code survives with its near-zero pitch.
TEST(PhaseGenerator, NegativeZeroKeepsAnUnusedNoteCode) {
    const auto silent = ComputePitch(PitchInputs{0x4B, 0, 1, true, 0x80, 0, 0, 1});
    EXPECT_EQ(silent.increment, 0u);
    const auto up = ComputePitch(PitchInputs{0x4B, 0, 1, true, 0x00, 0, 0, 1});
    EXPECT_EQ(up.increment, ComputePitch(PitchInputs{0x4C, 0, 0, false, 0, 0, 0, 1}).increment);
    // Large PM going down truncates its magnitude toward zero (PMS 1: 31 >> 5 == 0).
    EXPECT_EQ(ComputePitch(PitchInputs{0x4A, 0, 1, true, 0x80 | 31, 0, 0, 1}).increment, 8248u);
}

// A tone on channel 0's M1 alone (connection 7), both outputs.
Program Tone(std::uint8_t kc, std::uint8_t kf, std::uint8_t dt1mul = 0x01, std::uint8_t dt2 = 0) {
    Program p;
    p.Channel(0, 3, 0, 7)
        .SineSlot(0)
        .Pitch(0, kc, kf)
        .Write(0x40, dt1mul)
        .Write(0xC0, static_cast<std::uint8_t>(dt2 << 6));
    p.Key(0, 1);
    return p;
}

struct Measured {
    double hz;
    std::uint32_t increment;
};

// `octave` chooses a render long enough for many periods.
Measured MeasureTone(const Program& p, int octave = 4) {
    YM2151 chip;
    std::vector<StereoSample> frames;
    const std::uint64_t length = octave <= 1 ? 120000 : (octave <= 3 ? 40000 : 16000);
    test::Run(chip, p, length, [&](std::uint64_t, StereoSample f) { frames.push_back(f); });
    const double cyclesPerSample = test::CrossingFrequency(test::Left(frames, 64));
    return {cyclesPerSample * test::kNativeRate, chip.InspectSlot(0).increment};
}

double Cents(double a, double b) { return 1200.0 * std::log2(a / b); }

double IncrementHz(std::uint32_t inc) { return inc * 3'579'545.0 / 67108864.0; }

TEST(PhaseGenerator, SoundsAtTheIncrementsFrequency) {
    const Measured a4 = MeasureTone(Tone(0x4A, 0));
    EXPECT_EQ(a4.increment, 8248u);
    EXPECT_NEAR(a4.hz, 439.943, 0.005);

    // Every octave, every note, a KF step that moves with the note.
    for (std::uint8_t octave = 0; octave < 8; ++octave) {
        for (std::uint8_t note = 0; note < 16; ++note) {
            if ((note & 3) == 3) continue;
            const auto kc = static_cast<std::uint8_t>(octave << 4 | note);
            const auto kf = static_cast<std::uint8_t>((octave * 16 + note * 5) % 64);
            SCOPED_TRACE(testing::Message() << "KC " << int{kc} << " KF " << int{kf});
            const Measured m = MeasureTone(Tone(kc, kf), octave);
            EXPECT_LT(std::fabs(Cents(m.hz, IncrementHz(m.increment))), 0.1);
        }
    }
}

TEST(PhaseGenerator, EqualTemperamentAtKeyFractionZero) {
    for (std::uint8_t octave = 2; octave <= 7; ++octave) {
        for (std::uint8_t note = 0; note < 16; ++note) {
            if ((note & 3) == 3) continue;
            SCOPED_TRACE(testing::Message() << "octave " << int{octave} << " note " << int{note});
            const Measured m =
                MeasureTone(Tone(static_cast<std::uint8_t>(octave << 4 | note), 0), octave);
            const int semitonesFromA4 = 12 * (octave - 4) + (note - note / 4) - 8;
            const double equal = 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
            EXPECT_LT(std::fabs(Cents(m.hz, equal)), 1.0);
        }
    }
}

TEST(PhaseGenerator, MultiplierAndDetunesShiftTheRenderedTone) {
    const double a4 = MeasureTone(Tone(0x4A, 0)).hz;
    struct Case {
        const char* name;
        std::uint8_t dt1mul, dt2;
        double cents;
    };
    const std::vector<Case> cases{{"MUL 0", 0x00, 0, -1200.0},
                                  {"MUL 2", 0x02, 0, 1200.0},
                                  {"DT2 1", 0x01, 1, Cents(11664, 8248)},
                                  {"DT2 2", 0x01, 2, Cents(12944, 8248)},
                                  {"DT2 3", 0x01, 3, Cents(14280, 8248)},
                                  {"DT1 3", 0x31, 0, Cents(8257, 8248)},
                                  {"DT1 7", 0x71, 0, Cents(8239, 8248)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(Cents(MeasureTone(Tone(0x4A, 0, c.dt1mul, c.dt2)).hz, a4), c.cents, 0.1);
    }
}

}  // namespace
}  // namespace qzr::emulator
