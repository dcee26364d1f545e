// Sound through analysis of rendered audio: the real chip at the library's clock, offline.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "qzr/common/call_by_name.h"
#include "qzr/emulator/engine.h"
#include "tone_analysis.h"

namespace qzr::emulator {
namespace {

constexpr int kRate = 44'100;
// The player's key-code table gives o4 a the chip's code 0x4C (A# at the usual clock).
constexpr int kKeyCodeO4A = 0x4C;

// A single sine on channel 0: connection 7, only C2 heard, both outputs, MUL 1, full level.
template <typename WriteFn>
void KeyOnSine(WriteFn write, int keyCode) {
    write(0x20, 0xC7);                                                   // RL both, FB 0, CON 7
    for (const int slot : {0x00, 0x08, 0x10}) write(0x60 + slot, 0x7F);  // M1, M2, C1 silent
    write(0x40 + 0x18, 0x01);                                            // DT1 0, MUL 1
    write(0x60 + 0x18, 0x00);                                            // TL 0
    write(0x80 + 0x18, 0x1F);                                            // AR 31
    write(0xE0 + 0x18, 0x0F);                                            // D1L 0, RR 15
    write(0x28, keyCode);
    write(0x08, 0x40);  // key on C2 of channel 0
}

// The tone of one side, after the first 100 ms (attack and resampler start-up).
double SteadyFrequency(const std::vector<std::int16_t>& interleaved, int channel) {
    const auto side = test::Channel(interleaved, channel);
    const std::span<const double> steady(side.begin() + kRate / 10, side.end());
    EXPECT_GT(test::Peak(steady), 1000.0);
    return test::ToneFrequency(steady, kRate);
}

TEST(EnginePitch, TheKeyCodeOfO4ASoundsAt440HzWithinACentOnBothSides) {
    Engine engine;
    StartOptions options;
    options.output = Output::Offline;
    ASSERT_EQ(engine.Start(options), StartResult::Started);
    KeyOnSine(
        [&engine](int reg, int value) {
            engine.Write(static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
        },
        kKeyCodeO4A);
    std::vector<std::int16_t> out(kRate * 3 / 2 * 2);
    ASSERT_EQ(engine.Render(out), out.size() / 2);
    for (const int channel : {0, 1}) {
        SCOPED_TRACE(channel == 0 ? "left" : "right");
        const double frequency = SteadyFrequency(out, channel);
        EXPECT_LT(std::abs(test::Cents(frequency, 440.0)), 1.0) << frequency << " Hz";
    }
}

constexpr const char* kLibrary = "x68sound.dll";

int Call(const char* entry, auto... words) { return CallByName(entry, kLibrary, words...); }

std::vector<std::int16_t> Pull(int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
    EXPECT_EQ(Call("X68Sound_Render", out.data(), frames), frames);
    return out;
}

std::atomic<int> gTicks{0};
void CountTick() { gTicks.fetch_add(1); }

TEST(X68SoundPitch, ASineThroughTheEntriesSoundsAt440HzAndResetSilencesItAtOnce) {
    ASSERT_EQ(Call("X68Sound_StartOffline", kRate, 1, 0, 5, 5, 200, 1), 0);
    KeyOnSine(
        [](int reg, int value) {
            Call("X68Sound_OpmReg", reg);
            Call("X68Sound_OpmPoke", value);
        },
        kKeyCodeO4A);
    const double frequency = SteadyFrequency(Pull(kRate), 0);
    EXPECT_LT(std::abs(test::Cents(frequency, 440.0)), 1.0) << frequency << " Hz";

    // The chip is silent from its next native sample. The resampler has read a few
    // milliseconds ahead of the sound it gave out, so that much is still to come.
    gTicks = 0;
    EXPECT_EQ(Call("X68Sound_BetwInt", &CountTick), 0);
    EXPECT_EQ(Call("X68Sound_Reset"), 0);
    const auto after = test::Channel(Pull(kRate / 10), 0);
    std::size_t lastSounding = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != 0.0) lastSounding = i;
    }
    EXPECT_LT(lastSounding, static_cast<std::size_t>(kRate / 50)) << "frames after the reset";
    EXPECT_NEAR(gTicks.load(), 20, 1);  // the reset kept the tick procedure
    EXPECT_EQ(Call("X68Sound_Free"), 0);
}

}  // namespace
}  // namespace qzr::emulator
