#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "chip_harness.h"
#include "operator_output.h"
#include "tables.h"
#include "trace.h"

namespace qzr::emulator {
namespace {

using test::Program;
using test::Trace;

// Operators heard in each connection: bit 0 M1, 1 M2, 2 C1, 3 C2.
constexpr std::array<std::uint8_t, 8> kCarrierMasks{0x8, 0x8, 0x8, 0x8, 0xC, 0xE, 0xE, 0xF};

Program Connection(std::uint8_t con, std::uint8_t keyed, std::uint8_t fb = 0) {
    Program p;
    p.Channel(2, 3, fb, con).Pitch(2, 0x4A);
    const std::array<std::uint8_t, 4> muls{1, 2, 3, 5};
    for (int op = 0; op < 4; ++op) {
        const int slot = 2 + 8 * op;
        p.SineSlot(slot);
        p.Write(static_cast<std::uint8_t>(0x40 + slot), muls[static_cast<std::size_t>(op)]);
    }
    return p.Key(2, keyed).Wait(20);
}

TEST(Connection, EachSoundsOnlyThroughItsCarriers) {
    for (std::uint8_t con = 0; con < 8; ++con) {
        for (int op = 0; op < 4; ++op) {
            SCOPED_TRACE(testing::Message() << "CON " << int{con} << " operator " << op);
            const auto frames =
                test::Render(Connection(con, static_cast<std::uint8_t>(1 << op)), 2000);
            const bool heard = std::any_of(frames.begin(), frames.end(), [](StereoSample f) {
                return f.left != 0 || f.right != 0;
            });
            EXPECT_EQ(heard, ((kCarrierMasks[con] >> op) & 1) != 0);
        }
    }
}

// Modulation sources by connection, for M2, C1, C2: which operator, and whether its output of
// the previous sample is used (a slot can only use a same-sample output worked at least 16
// cycles before it).
struct Source {
    int group;
    bool previous;
};
const std::array<std::array<std::vector<Source>, 3>, 8> kSources{{
    {{{{2, true}}, {{0, false}}, {{1, false}}}},
    {{{{0, true}, {2, true}}, {}, {{1, false}}}},
    {{{{2, true}}, {}, {{0, false}, {1, false}}}},
    {{{}, {{0, false}}, {{2, true}, {1, false}}}},
    {{{}, {{0, false}}, {{1, false}}}},
    {{{{0, true}}, {{0, false}}, {{0, false}}}},
    {{{}, {{0, false}}, {}}},
    {{{}, {}, {}}},
}};

// With every envelope at 0 (TL 0, no AM) each output is the sine at the phase the slot read
// plus the summed, halved modulators; M1 takes its two previous outputs for feedback.
TEST(Connection, ModulatorsTakeTheCurrentOrThePreviousSample) {
    const auto& roms = detail::Roms();
    for (std::uint8_t con = 0; con < 8; ++con) {
        SCOPED_TRACE(testing::Message() << "CON " << int{con});
        const std::uint8_t fb = 5;
        const Program p = Connection(con, 0xF, fb);
        const Trace t = test::Record(p, p.Next() + 300);
        auto out = [&](std::size_t n, int group) {
            return static_cast<std::int32_t>(
                t.slots[n][static_cast<std::size_t>(2 + 8 * group)].output);
        };
        auto phaseIndex = [&](std::size_t n, int group) {
            return static_cast<std::int32_t>(
                t.slots[n][static_cast<std::size_t>(2 + 8 * group)].phase >> 10);
        };
        int mismatches = 0;
        for (auto n = static_cast<std::size_t>(p.Next()) + 2; n < t.frames.size(); ++n) {
            const std::int32_t feedback = (out(n - 1, 0) + out(n - 2, 0)) >> (10 - fb);
            mismatches +=
                out(n, 0) != detail::OperatorOutput(roms, phaseIndex(n - 1, 0) + feedback, 0);
            for (int group = 1; group < 4; ++group) {
                std::int32_t sum = 0;
                for (const Source& src : kSources[con][static_cast<std::size_t>(group - 1)]) {
                    sum += out(src.previous ? n - 1 : n, src.group);
                }
                mismatches += out(n, group) != detail::OperatorOutput(
                                                   roms, phaseIndex(n - 1, group) + (sum >> 1), 0);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// The share of M1's power outside its fundamental rises with each feedback step up to FB 5
// (a modulation index of about pi). Beyond that the loop no longer settles into one waveform:
// FB 6 trades some of that share for a noisier spectrum, and FB 7 is the brightest of all.
TEST(Connection, FeedbackAddsHarmonicsInOrder) {
    const double f = 8248.0 / 1048576.0;
    std::vector<double> shares;
    for (std::uint8_t fb = 0; fb < 8; ++fb) {
        Program p;
        p.Channel(0, 3, fb, 7).Pitch(0, 0x4A).SineSlot(0).Key(0, 1);
        const auto signal = test::Left(test::Render(p, 20000), 2000);
        double power = 0.0;
        for (double x : signal) power += x * x / static_cast<double>(signal.size());
        const double fundamental = test::ToneMagnitude(signal, f);
        shares.push_back(1.0 - fundamental * fundamental / 2.0 / power);
    }
    for (std::size_t fb = 1; fb < 8; ++fb) {
        SCOPED_TRACE(testing::Message() << "FB " << fb << " share " << shares[fb]);
        if (fb <= 5) {
            EXPECT_GT(shares[fb], shares[fb - 1]);
        }
        EXPECT_GT(shares[7], shares[fb - 1]);
    }
    EXPECT_LT(shares[0], 0.001);  // no feedback: a clean sine
    EXPECT_GT(shares[6], 0.5);
}

TEST(Connection, OutputEnablesRouteToEitherSide) {
    for (std::uint8_t rl = 0; rl < 4; ++rl) {
        SCOPED_TRACE(static_cast<int>(rl));
        Program p;
        p.Channel(3, rl, 0, 7).Pitch(3, 0x4A).SineSlot(3).Key(3, 1);
        const auto frames = test::Render(p, 1000);
        int peakLeft = 0, peakRight = 0;
        for (const auto& f : frames) {
            peakLeft = std::max(peakLeft, static_cast<int>(f.left));
            peakRight = std::max(peakRight, static_cast<int>(f.right));
        }
        EXPECT_EQ(peakLeft > 8000, (rl & 1) != 0);
        EXPECT_EQ(peakRight > 8000, (rl & 2) != 0);
        EXPECT_EQ(peakLeft == 0, (rl & 1) == 0);
        EXPECT_EQ(peakRight == 0, (rl & 2) == 0);
    }
}

// Channels of four heard operators, all near the positive peak of a slow sine: one channel
// fits, two saturate, five pass 131071 and wrap the 18-bit sum to a negative value.
TEST(Mix, SumSaturatesAndWrapsLikeTheChip) {
    struct Case {
        int channels;
        int lowest, highest;
    };
    for (const auto& c : std::vector<Case>{{1, 0, 32640}, {2, 0, 32704}, {5, -32768, 32704}}) {
        SCOPED_TRACE(c.channels);
        Program p;
        for (int ch = 0; ch < c.channels; ++ch) {
            p.Channel(ch, 3, 0, 7).Pitch(ch, 0x00);
            for (int op = 0; op < 4; ++op) {
                p.SineSlot(ch + 8 * op);
                p.Write(static_cast<std::uint8_t>(0x40 + ch + 8 * op), 0);  // MUL 0
            }
        }
        for (int ch = 0; ch < c.channels; ++ch) p.Key(ch, 0xF);
        // The first half wave (all outputs positive) lasts 3236 samples.
        const auto frames = test::Render(p, p.Next() + 3000);
        int lowest = 0, highest = 0;
        for (auto n = static_cast<std::size_t>(p.Next()); n < frames.size(); ++n) {
            lowest = std::min(lowest, static_cast<int>(frames[n].left));
            highest = std::max(highest, static_cast<int>(frames[n].left));
        }
        EXPECT_EQ(lowest, c.lowest);
        EXPECT_EQ(highest, c.highest);
    }
}

}  // namespace
}  // namespace qzr::emulator
