// Sound through analysis of rendered audio: the real chip at the library's clock, offline,
// through the engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "qzr/emulator_engine/engine.h"
#include "qzr/test_support/tone_analysis.h"

namespace qzr::emulator {
namespace {

constexpr int kRate = 44'100;

TEST(EnginePitch, TheKeyCodeOfO4ASoundsAt440HzWithinACentOnBothSides) {
    Engine engine;
    StartOptions options;
    options.output = Output::Offline;
    ASSERT_EQ(engine.Start(options), StartResult::Started);
    qzr::test::KeyOnSine(
        [&engine](int reg, int value) {
            engine.Write(static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
        },
        qzr::test::kKeyCodeO4A);
    std::vector<std::int16_t> out(kRate * 3 / 2 * 2);
    ASSERT_EQ(engine.Render(out), out.size() / 2);
    for (const int channel : {0, 1}) {
        SCOPED_TRACE(channel == 0 ? "left" : "right");
        const double frequency = qzr::test::SteadyFrequency(out, channel, kRate);
        EXPECT_LT(std::abs(qzr::test::Cents(frequency, 440.0)), 1.0) << frequency << " Hz";
    }
}

}  // namespace
}  // namespace qzr::emulator
