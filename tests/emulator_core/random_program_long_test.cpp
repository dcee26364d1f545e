#include <gtest/gtest.h>

#include "random_program.h"

namespace qzr::emulator::test {
namespace {

// Ten minutes of the random program (33.6 million samples), pinned: every later change of the
// core, however it computes, must give these samples bit for bit. Too long for the sanitizer
// builds, which run the first thirty seconds (random_program_test.cpp).
TEST(RandomProgram, TenMinutesRenderToThePinnedHash) {
    EXPECT_EQ(Hex(RandomProgramHash(kPinnedSeed, Seconds(600.0))), "bcfa3213324b4485");
}

}  // namespace
}  // namespace qzr::emulator::test
