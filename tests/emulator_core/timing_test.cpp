#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "chip_harness.h"
#include "trace.h"

namespace qzr::emulator {
namespace {

using test::Program;
using test::Trace;

constexpr std::array<int, 4> kGroups{0, 1, 2, 3};  // M1, M2, C1, C2
const char* const kGroupNames[] = {"M1", "M2", "C1", "C2"};

// The first heard value of a key-on: instant attack, phase 0, E 0 gives 25. A write made
// before sample n is latched in n + 1, the slot outputs 25 in n + 2, and the DAC has it two
// samples later; the left sum of the slots worked in the second half of a sample is gathered
// one sample later than the right sum.
TEST(Timing, FirstValueOfAKeyOnAndTheHalfSampleSkew) {
    struct Case {
        int ch, op;
        std::uint8_t con;
        int leftFrame, rightFrame;  // relative to the sample the key write precedes
    };
    const std::vector<Case> cases{{0, 0, 7, 4, 4},   // M1, slot 0
                                  {0, 3, 0, 5, 4},   // C2, slot 24
                                  {1, 2, 4, 5, 4},   // C1, slot 17
                                  {7, 3, 0, 5, 5},   // C2, slot 31: both sums of the next sample
                                  {6, 1, 7, 4, 4}};  // M2, slot 14
    for (const auto& c : cases) {
        const int slot = c.ch + 8 * c.op;
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        Program p;
        p.Channel(c.ch, 3, 0, c.con).SineSlot(slot).Pitch(c.ch, 0x4A).Wait(10);
        p.Key(c.ch, static_cast<std::uint8_t>(1 << c.op));
        const auto n = static_cast<std::size_t>(p.Next() - 1);
        const Trace t = test::Record(p, n + 8);
        EXPECT_EQ(t.slots[n + 1][static_cast<std::size_t>(slot)].output, 0);
        EXPECT_EQ(t.slots[n + 2][static_cast<std::size_t>(slot)].output, 25);
        for (std::size_t m = 0; m < n + 8; ++m) {
            SCOPED_TRACE(m);
            const auto left = static_cast<std::size_t>(static_cast<int>(n) + c.leftFrame);
            const auto right = static_cast<std::size_t>(static_cast<int>(n) + c.rightFrame);
            EXPECT_EQ(t.frames[m].left, m < left ? 0 : (m == left ? 25 : t.frames[m].left));
            EXPECT_EQ(t.frames[m].right, m < right ? 0 : (m == right ? 25 : t.frames[m].right));
        }
    }
}

// Channel 1, four sine operators at different multiples, all heard, LFO AM running.
Program FourSines() {
    Program p;
    p.Write(0x19, 0x7F).Channel(1, 3, 0, 7).Pitch(1, 0x4A);
    for (int op = 0; op < 4; ++op) {
        const int slot = 1 + 8 * op;
        p.SineSlot(slot, 4);
        p.Write(static_cast<std::uint8_t>(0x40 + slot), static_cast<std::uint8_t>(op + 1));
        p.Write(static_cast<std::uint8_t>(0xA0 + slot), 0x80);  // AMS-EN
    }
    return p.Key(1, 0xF).Wait(300);
}

struct RegisterCase {
    const char* name;
    std::uint8_t reg, value;
    std::array<int, 4> firstSample;  // per group, relative to n; what is compared below
    bool compareIncrement;
};

// The first sample in which each slot uses a register written before sample n.
TEST(Timing, WhenEachRegisterTakesEffect) {
    const std::vector<RegisterCase> cases{
        {"TL M1", 0x60 + 1, 40, {1, -99, -99, -99}, false},
        {"TL C2", 0x60 + 25, 40, {-99, -99, -99, 1}, false},
        {"MUL M1", 0x40 + 1, 7, {1, -99, -99, -99}, true},
        {"MUL M2", 0x40 + 9, 7, {-99, 1, -99, -99}, true},
        {"DT2 C1", 0xC0 + 17, 0xC0, {-99, -99, 1, -99}, true},
        {"KC", 0x28 + 1, 0x3A, {1, 0, 0, 0}, true},
        {"KF", 0x30 + 1, 0x80, {1, 0, 0, 0}, true},
        {"AMS", 0x38 + 1, 0x01, {1, 0, 0, 0}, false},
        {"FB", 0x20 + 1, 0xF8 | 7, {1, -99, -99, -99}, false},
        {"CON routing", 0x20 + 1, 0xC0 | 4, {-99, -99, 0, 0}, false}};
    const Program base = FourSines();
    const auto n = static_cast<std::int64_t>(base.Next());
    const Trace before = test::Record(base, static_cast<std::uint64_t>(n) + 40);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Program changed = base;
        changed.Write(c.reg, c.value);
        const Trace after = test::Record(changed, static_cast<std::uint64_t>(n) + 40);
        for (int group : kGroups) {
            SCOPED_TRACE(kGroupNames[group]);
            const auto slot = static_cast<std::size_t>(1 + 8 * group);
            const std::int64_t first =
                test::FirstDifference(before, after, [&](const Trace& t, std::size_t m) {
                    const SlotView& v = t.slots[m][slot];
                    return c.compareIncrement ? static_cast<std::int64_t>(v.increment) : v.output;
                });
            const int expected = c.firstSample[static_cast<std::size_t>(group)];
            EXPECT_EQ(first, expected == -99 ? -1 : n + expected);
        }
    }
}

// The LFO latches AM at cycle 15 of the fifth sample of its 8-sample cycle and PM at cycle 15
// of the first; slots worked after cycle 16 (AM: slots 16..31, PM: 23..31, as PM is looked at
// seven cycles early) see a new value one sample before the others.
TEST(Timing, LfoLatchesReachTheLaterSlotsFirst) {
    struct Case {
        const char* name;
        std::uint8_t setupReg, setupValue, reg, value;
        std::array<int, 4> firstSample;
        bool compareIncrement;
    };
    const std::vector<Case> cases{
        {"AMD", 0x38 + 1, 0x01, 0x19, 0x20, {5, 5, 4, 4}, false},
        // The PM product's last round (PMD bit 0) begins on the very cycle the write lands, so
        // the latch at n already moves by one; the full new depth follows at n + 8.
        {"PMD", 0x38 + 1, 0x70, 0x19, 0x80 | 127, {1, 1, 1, 0}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Program base = FourSines();
        base.Write(0x1B, 0x01).Write(0x19, 0x80 | 16).Write(c.setupReg, c.setupValue);
        base.At((base.Next() + 64) / 8 * 8);  // the write precedes the first sample of a cycle
        const auto n = static_cast<std::int64_t>(base.Next());
        const Trace before = test::Record(base, static_cast<std::uint64_t>(n) + 20);
        Program changed = base;
        changed.Write(c.reg, c.value);
        const Trace after = test::Record(changed, static_cast<std::uint64_t>(n) + 20);
        for (int group : kGroups) {
            SCOPED_TRACE(kGroupNames[group]);
            const auto slot = static_cast<std::size_t>(1 + 8 * group);
            const std::int64_t first =
                test::FirstDifference(before, after, [&](const Trace& t, std::size_t m) {
                    const SlotView& v = t.slots[m][slot];
                    return c.compareIncrement ? static_cast<std::int64_t>(v.increment) : v.output;
                });
            EXPECT_EQ(first, n + c.firstSample[static_cast<std::size_t>(group)]);
        }
    }
}

// Carrier choice and output enables are read late in the pipeline: C2's flags belong to the
// sample before the write.
TEST(Timing, OutputEnablesOfEachOperator) {
    for (int group : kGroups) {
        SCOPED_TRACE(kGroupNames[group]);
        Program p;
        p.Channel(1, 3, 0, 7)
            .Pitch(1, 0x4A)
            .SineSlot(1 + 8 * group)
            .Key(1, static_cast<std::uint8_t>(1 << group))
            .Wait(100);
        const auto n = static_cast<std::int64_t>(p.Next());
        const Trace before = test::Record(p, static_cast<std::uint64_t>(n) + 10);
        p.Channel(1, 0, 0, 7);
        const Trace after = test::Record(p, static_cast<std::uint64_t>(n) + 10);
        const auto left = test::FirstDifference(
            before, after, [](const Trace& t, std::size_t m) { return t.frames[m].left; });
        const auto right = test::FirstDifference(
            before, after, [](const Trace& t, std::size_t m) { return t.frames[m].right; });
        // C1 (slot 17) is worked in the second half of the sample: its left sum is the next.
        EXPECT_EQ(left, group == 2 ? n + 3 : n + 2);
        EXPECT_EQ(right, group == 3 ? n + 1 : n + 2);
    }
}

TEST(Timing, NoiseSwitchActsOnTheSampleBeforeTheWrite) {
    Program p;
    p.Channel(7, 3, 0, 0).Pitch(7, 0x4A).SineSlot(31).Key(7, 0x8).Wait(100);
    const auto n = static_cast<std::int64_t>(p.Next());
    const Trace before = test::Record(p, static_cast<std::uint64_t>(n) + 10);
    p.Write(0x0F, 0x80);
    const Trace after = test::Record(p, static_cast<std::uint64_t>(n) + 10);
    EXPECT_EQ(test::FirstDifference(before, after,
                                    [](const Trace& t, std::size_t m) { return t.frames[m].left; }),
              n + 2);
    EXPECT_EQ(test::FirstDifference(
                  before, after, [](const Trace& t, std::size_t m) { return t.frames[m].right; }),
              n + 2);
}

TEST(Timing, TimerStartAndCsmPulse) {
    Program p;
    p.Write(0x10, 0xFF).Write(0x11, 0x03).Wait(5);
    const auto n = static_cast<std::size_t>(p.Next());
    p.Write(0x14, 0x85);  // CSM, flag A enabled, run A; NA 1023 overflows every sample
    const Trace t = test::Record(p, n + 4);
    EXPECT_EQ(t.status[n - 1], 0);
    EXPECT_EQ(t.status[n], 0);  // loaded in n
    EXPECT_EQ(t.status[n + 1], 1);

    // The start is a load event too: its key-on pulse reaches slots 5..31 in n, 0..4 in n + 1.
    Program csm;
    csm.Write(0x14, 0x81);  // CSM, run A with NA 0: one pulse at the start, the next 1024 later
    const Trace k = test::Record(csm, 4);
    for (int s = 0; s < 32; ++s) {
        SCOPED_TRACE(s);
        const auto si = static_cast<std::size_t>(s);
        EXPECT_EQ(k.slots[0][si].phaseState,
                  s >= 5 ? EnvelopePhase::Attack : EnvelopePhase::Release);
        EXPECT_EQ(k.slots[1][si].phaseState,
                  s < 5 ? EnvelopePhase::Attack : EnvelopePhase::Release);
        EXPECT_EQ(k.slots[2][si].phaseState, EnvelopePhase::Release);
    }
}

// Key changes act as levels: a key-on while on does nothing; CSM does not retrigger a slot
// that register 8 already holds on.
TEST(Timing, CsmLeavesKeyedSlotsAlone) {
    Program p;
    p.Channel(0, 3, 0, 7).Pitch(0, 0x4A).SineSlot(0).Key(0, 0x1).Wait(50);
    const auto n = static_cast<std::size_t>(p.Next());
    p.Write(0x14, 0x81);
    const Trace t = test::Record(p, n + 5);
    EXPECT_EQ(t.slots[n][8].phaseState, EnvelopePhase::Attack);
    EXPECT_EQ(t.slots[n + 1][8].phaseState, EnvelopePhase::Release);
    EXPECT_EQ(t.slots[n + 1][0].phaseState, EnvelopePhase::Sustain);
    EXPECT_EQ(t.slots[n + 2][0].phase, (t.slots[n + 1][0].phase + 8248) % 1048576);
}

// Writes given together are made one per sample in order, however many: a burst larger than
// any the chip has held before loses none of them.
TEST(Timing, HeldWritesAreMadeOnePerSampleAndNoneIsLost) {
    for (const std::size_t burst : {std::size_t{1}, std::size_t{4095}, std::size_t{10'000}}) {
        SCOPED_TRACE(burst);
        Program p;
        p.Channel(0, 3, 0, 7).Pitch(0, 0x4A).SineSlot(0).Wait(10);
        YM2151 chip;
        test::Run(chip, p, p.Next(), nullptr);
        // TL steps of M1 down to 0, then the key-on, all before one sample.
        for (std::size_t i = 0; i < burst; ++i) {
            chip.Write(0x60, static_cast<std::uint8_t>((burst - 1 - i) % 128));
        }
        chip.Write(0x08, 0x08);
        std::vector<StereoSample> frames;
        for (std::size_t n = 0; n < burst + 8; ++n) frames.push_back(chip.Generate());
        // The key write is made before sample `burst`; its first value 25 (TL 0) is heard four
        // frames later.
        std::vector<StereoSample> expected(burst + 4);
        expected.push_back({25, 25});
        EXPECT_EQ(std::vector<StereoSample>(frames.begin(), frames.begin() + burst + 5), expected);
    }
}

}  // namespace
}  // namespace qzr::emulator
