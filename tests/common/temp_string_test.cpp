#include "qzr/common/temp_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace qzr {
namespace {

TEST(TempStringRing, FirstRequestUsesSlotOneAndTheIndexWraps) {
    auto ring = std::make_unique<TempStringRing>();
    ring->Take(0);
    EXPECT_EQ(ring->Index(), 1);
    for (int i = 0; i < TempStringRing::kSlotCount - 1; ++i) ring->Take(0);
    EXPECT_EQ(ring->Index(), 0);
    ring->Take(0);
    EXPECT_EQ(ring->Index(), 1);
}

TEST(TempStringRing, BufferIsZeroFilledWithSpareRoom) {
    auto ring = std::make_unique<TempStringRing>();
    const char* buffer = ring->Take(5);
    const std::size_t size = 5 + TempStringRing::kSpareBytes;
    EXPECT_TRUE(std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; }));
}

TEST(TempStringRing, TextSurvivesUntilItsSlotComesRoundAgain) {
    auto ring = std::make_unique<TempStringRing>();
    char* kept = ring->Take(4);
    std::memcpy(kept, "keep", 4);
    for (int i = 0; i < TempStringRing::kSlotCount - 1; ++i) {
        std::memset(ring->Take(8), 'x', 8);  // scribbling over every other buffer must not reach it
    }
    EXPECT_STREQ(kept, "keep");
    EXPECT_EQ(ring->Index(), 0);  // the next request reuses (and frees) the kept text's slot
}

}  // namespace
}  // namespace qzr
