// Sound through analysis of rendered audio: the real chip at the library's clock, offline,
// through the library's entries as the player calls them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "qzr/common/call_by_name.h"
#include "qzr/test_support/tone_analysis.h"

namespace qzr::emulator {
namespace {

constexpr int kRate = 44'100;
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
    qzr::test::KeyOnSine(
        [](int reg, int value) {
            Call("X68Sound_OpmReg", reg);
            Call("X68Sound_OpmPoke", value);
        },
        qzr::test::kKeyCodeO4A);
    const double frequency = qzr::test::SteadyFrequency(Pull(kRate), 0, kRate);
    EXPECT_LT(std::abs(qzr::test::Cents(frequency, 440.0)), 1.0) << frequency << " Hz";

    // The chip is silent from its next native sample. The resampler has read a few
    // milliseconds ahead of the sound it gave out, so that much is still to come.
    gTicks = 0;
    EXPECT_EQ(Call("X68Sound_BetwInt", &CountTick), 0);
    EXPECT_EQ(Call("X68Sound_Reset"), 0);
    const auto after = qzr::test::Channel(Pull(kRate / 10), 0);
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
