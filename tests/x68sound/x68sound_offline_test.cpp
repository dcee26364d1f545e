// The library as the player reaches it: loaded by name, entries called with machine words.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "qzr/common/call_by_name.h"

namespace qzr::emulator {
namespace {

constexpr const char* kLibrary = "x68sound.dll";

int Call(const char* entry, auto... words) { return CallByName(entry, kLibrary, words...); }

class X68SoundOffline : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Call("X68Sound_StartOffline", 44'100, 1, 0, 5, 5, 200, 1), 0);
    }
    void TearDown() override { EXPECT_EQ(Call("X68Sound_Free"), 0); }
};

TEST_F(X68SoundOffline, EntriesAnswerAsThePlayerExpects) {
    EXPECT_EQ(Call("X68Sound_Start", 44'100, 1, 0, 5, 5, 200, 1), -1);  // already running
    EXPECT_EQ(Call("X68Sound_StartOffline", 44'100, 1, 0, 5, 5, 200, 1), -1);
    EXPECT_EQ(Call("X68Sound_TotalVolume", 1200), 0);
    EXPECT_EQ(Call("X68Sound_OpmReg", 0x1234), 0);
    EXPECT_EQ(Call("X68Sound_OpmPoke", -1), 0);
    EXPECT_EQ(Call("X68Sound_BetwInt", 0), 0);
    EXPECT_EQ(Call("X68Sound_Render", 0, 100), 0);
}

TEST(X68SoundArguments, StartRefusesRatesAndPeriodsOutOfRange) {
    struct Case {
        std::intptr_t rate;
        std::intptr_t periodMs;
        int result;
    };
    const Case cases[] = {{7'999, 5, -1},
                          {192'001, 5, -1},
                          {44'100, 0, -1},
                          {-44'100, 5, -1},
                          {std::numeric_limits<std::intptr_t>::max(), 5, -1},
                          {8'000, 1, 0},
                          {192'000, 5, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.periodMs << " ms");
        EXPECT_EQ(Call("X68Sound_StartOffline", c.rate, 1, 0, c.periodMs, 5, 200, 1), c.result);
        EXPECT_EQ(Call("X68Sound_Free"), 0);
    }
    // Before any start and after a free, the entries do nothing and answer 0.
    std::vector<std::int16_t> out(20);
    EXPECT_EQ(Call("X68Sound_Render", out.data(), 10), 0);
    EXPECT_EQ(Call("X68Sound_Reset"), 0);
    EXPECT_EQ(Call("X68Sound_OpmPoke", 5), 0);
}

}  // namespace
}  // namespace qzr::emulator
