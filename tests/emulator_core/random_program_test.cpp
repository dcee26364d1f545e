#include "random_program.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace qzr::emulator::test {
namespace {

// The program reaches every register, and its key writes come every few milliseconds.
TEST(RandomProgram, WritesEveryRegisterOnePerSampleAtMost) {
    RandomProgram program(1);
    std::set<int> registers;
    std::uint64_t last = 0, keyWrites = 0;
    bool first = true;
    RandomProgram::Write w{};
    for (int i = 0; i < 100'000; ++i) {
        w = program.Next();
        ASSERT_TRUE(first || w.sample > last) << i;
        first = false;
        last = w.sample;
        registers.insert(w.reg);
        keyWrites += w.reg == 0x08;
    }
    std::set<int> expected;
    for (int reg = 0x00; reg <= 0xFF; ++reg) expected.insert(reg);
    EXPECT_EQ(registers, expected);
    const double msPerKeyWrite =
        static_cast<double>(w.sample) / kNativeRateHz * 1000.0 / static_cast<double>(keyWrites);
    EXPECT_LT(msPerKeyWrite, 5.0);
}

// Thirty seconds of the random program, pinned: every later change of the core, however it
// computes, must give these samples bit for bit. The ten minutes of the same program are pinned
// in random_program_long_test.cpp.
TEST(RandomProgram, ThirtySecondsRenderToThePinnedHash) {
    EXPECT_EQ(Hex(RandomProgramHash(kPinnedSeed, Seconds(30.0))), "144cb6c3456b2430");
}

}  // namespace
}  // namespace qzr::emulator::test
