#include "tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>

namespace qzr::emulator::detail {
namespace {

std::uint64_t Fnv1a(const std::array<std::uint16_t, 256>& table) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint16_t v : table) {
        for (int b = 0; b < 2; ++b) {
            h ^= (v >> (8 * b)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

// The ROMs are computed with floating point; every platform must agree on all 512 entries.
// These hashes were taken once from the formulas and are the pin for other compilers and
// 32-bit builds.
TEST(RomTables, AllEntriesArePinned) {
    const RomTables& roms = Roms();
    EXPECT_EQ(Fnv1a(roms.logSine), 0x690166972613166bull);
    EXPECT_EQ(Fnv1a(roms.exponent), 0xa80b8a50d431340eull);
}

// No entry sits near a rounding boundary, so the formulas cannot round differently anywhere.
TEST(RomTables, EveryEntryIsFarFromARoundingBoundary) {
    const RomTables& roms = Roms();
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        const long double pi = std::numbers::pi_v<long double>;
        const long double logSine = -std::log2(std::sin((i + 0.5L) * pi / 512.0L)) * 256.0L;
        const long double exponent =
            1024.0L * std::exp2(static_cast<long double>(255 - i) / 256.0L);
        EXPECT_GT(std::fabs(logSine - std::floor(logSine) - 0.5L), 1e-6L);
        EXPECT_GT(std::fabs(exponent - std::floor(exponent) - 0.5L), 1e-6L);
        EXPECT_EQ(roms.logSine[static_cast<std::size_t>(i)], std::lround(logSine));
        EXPECT_EQ(roms.exponent[static_cast<std::size_t>(i)], std::lround(exponent));
    }
}

TEST(RomTables, EndsAndShape) {
    const RomTables& roms = Roms();
    EXPECT_EQ(roms.logSine[0], 2137);
    EXPECT_EQ(roms.exponent[0], 2042);
    EXPECT_EQ(roms.exponent[255], 1024);
    for (std::size_t i = 248; i < 256; ++i) EXPECT_EQ(roms.logSine[i], 0) << i;
    for (std::size_t i = 1; i < 256; ++i) {
        EXPECT_LE(roms.logSine[i], roms.logSine[i - 1]) << i;
        EXPECT_LT(roms.exponent[i], roms.exponent[i - 1]) << i;
    }
}

TEST(FrequencyNumbers, RisesThroughTheOctaveAndMeetsTheNextOne) {
    EXPECT_EQ(kFrequencyNumbers[512], 2062);  // A, KF 0
    for (std::size_t i = 1; i < kFrequencyNumbers.size(); ++i) {
        EXPECT_GT(kFrequencyNumbers[i], kFrequencyNumbers[i - 1]) << i;
    }
    // One octave up from C# is twice the frequency number (within the ROM's rounding).
    EXPECT_NEAR(kFrequencyNumbers[767] * (std::pow(2.0, 1.0 / 768.0)), 2 * kFrequencyNumbers[0],
                3.0);
}

TEST(DetuneTable, GrowsWithKeyCodeAndCapsAtTwentyEight) {
    for (std::size_t kc = 1; kc < 32; ++kc) {
        for (std::size_t d = 0; d < 4; ++d) {
            EXPECT_GE(kDetuneTable[kc][d], kDetuneTable[kc - 1][d]) << kc << "," << d;
        }
        EXPECT_EQ(kDetuneTable[kc][0], 0) << kc;
    }
    EXPECT_EQ(kDetuneTable[18][3], 9);
    EXPECT_EQ(kDetuneTable[31], kDetuneTable[28]);
}

}  // namespace
}  // namespace qzr::emulator::detail
