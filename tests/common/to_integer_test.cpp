#include "qzr/common/to_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qzr {
namespace {

TEST(ToInteger, ReadsLikeAFloatingPointNumberAndTruncates) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const std::vector<Case> cases{{"120", 120},
                                  {"7.9", 7},
                                  {"-7.9", -7},
                                  {"  +42x", 42},
                                  {"abc", 0},
                                  {"", 0},
                                  {"0x10", 16},
                                  {"1e3", 1000},
                                  {"2.5e1", 25},
                                  {"\t-0.5", 0},
                                  {"3000000000", INT32_MAX},
                                  {"-1e300", INT32_MIN},
                                  {"1e999", INT32_MAX},
                                  {"nan", 0},
                                  {"-inf", INT32_MIN},
                                  {"2147483647", INT32_MAX},
                                  {"-2147483648", INT32_MIN},
                                  {"2147483646.9", 2147483646}};
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ToInteger(text), expected);
    }
}

}  // namespace
}  // namespace qzr
