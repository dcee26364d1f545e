#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mix.h"
#include "operator_output.h"
#include "tables.h"

namespace qzr::emulator::detail {
namespace {

struct OperatorCase {
    std::int32_t index;
    std::uint32_t e;
    std::int32_t output;
};

TEST(OperatorOutput, ReferenceValues) {
    const std::vector<OperatorCase> cases{{0, 0, 25},
                                          {1, 0, 75},
                                          {128, 0, 5792},
                                          {255, 0, 8168},
                                          {256, 0, 8168},
                                          {511, 0, 25},
                                          {512, 0, -25},
                                          {768, 0, -8168},
                                          {255, 32, 5776},
                                          {255, 64, 4084},
                                          {255, 256, 510},
                                          {255, 512, 31},
                                          {255, 831, 1},
                                          {255, 832, 0},
                                          {255, 1023, 0},
                                          // The index wraps: modulation may push it anywhere.
                                          {1024 + 128, 0, 5792},
                                          {-256, 0, -8168}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " E " << c.e);
        EXPECT_EQ(OperatorOutput(Roms(), c.index, c.e), c.output);
    }
}

TEST(OperatorOutput, NegativeHalfIsExactNegation) {
    for (std::int32_t i = 0; i < 512; ++i) {
        for (std::uint32_t e : {0u, 100u, 700u}) {
            ASSERT_EQ(OperatorOutput(Roms(), i + 512, e), -OperatorOutput(Roms(), i, e)) << i;
        }
    }
}

// 0.09375 dB per attenuation unit: 64 units halve the amplitude.
TEST(OperatorOutput, SixtyFourUnitsHalveTheAmplitude) {
    for (std::uint32_t e = 0; e + 64 <= 400; e += 37) {
        const double a = OperatorOutput(Roms(), 255, e);
        const double b = OperatorOutput(Roms(), 255, e + 64);
        EXPECT_NEAR(b / a, 0.5, 0.01) << e;
    }
}

TEST(NoiseOutput, ReferenceValues) {
    struct Case {
        std::uint32_t e;
        std::int32_t positive, negative;
    };
    for (const auto& c : std::vector<Case>{
             {0, 2040, -2041}, {100, 1840, -1841}, {1016, 8, -9}, {1020, 0, -1}, {1023, 0, -8}}) {
        SCOPED_TRACE(c.e);
        EXPECT_EQ(NoiseOutput(true, c.e), c.positive);
        EXPECT_EQ(NoiseOutput(false, c.e), c.negative);
    }
}

TEST(Dac, ReferenceValues) {
    const std::vector<std::pair<std::int32_t, std::int16_t>> cases{
        {0, 0},         {1, 1},         {-1, -1},       {511, 511},      {512, 512},
        {-512, -512},   {-513, -514},   {1001, 1000},   {1023, 1022},    {5000, 4992},
        {-5000, -5008}, {16383, 16352}, {32767, 32704}, {-32768, -32768}};
    for (const auto& [v, out] : cases) {
        SCOPED_TRACE(v);
        EXPECT_EQ(DacValue(v), out);
    }
}

TEST(Mix, SaturatesThenWrapsAtEighteenBits) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> cases{
        {40000, 32767},   {-40000, -32768}, {131071, 32767},    {131072, -32768},
        {200000, -32768}, {-131073, 32767}, {262144 + 100, 100}};
    for (const auto& [sum, out] : cases) {
        SCOPED_TRACE(sum);
        EXPECT_EQ(WrapAndSaturate(sum), out);
    }
    EXPECT_EQ(DacValue(WrapAndSaturate(100000)), 32704);
}

}  // namespace
}  // namespace qzr::emulator::detail

namespace qzr::emulator::detail {
namespace {

// The sample loop's rearranged tables give the ROM evaluation for every index and attenuation.
TEST(OperatorOutput, FastTablesAgreeEverywhere) {
    const RomTables& roms = Roms();
    const OperatorTables& fast = OperatorLookup();
    int mismatches = 0;
    for (std::int32_t index = 0; index < 1024; ++index) {
        for (std::uint32_t e = 0; e < 1024; ++e) {
            mismatches += FastOperatorOutput(fast, index, e) != OperatorOutput(roms, index, e);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace qzr::emulator::detail

namespace qzr::emulator::detail {
namespace {

// Every 16-bit value: the DAC keeps the top 10 significant bits, clearing the ones below.
TEST(Dac, KeepsTenSignificantBitsOfEveryValue) {
    for (std::int32_t v = -32768; v <= 32767; ++v) {
        int e = 1;
        while (e < 7 && ((v >> (e - 1)) < -512 || (v >> (e - 1)) > 511)) ++e;
        ASSERT_EQ(DacValue(v), (v >> (e - 1)) * (1 << (e - 1))) << v;
    }
}

}  // namespace
}  // namespace qzr::emulator::detail
