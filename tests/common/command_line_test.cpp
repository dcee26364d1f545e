#include "qzr/common/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qzr {
namespace {

TEST(CommandArgumentOf, ExtractsArgumentsAndTheTail) {
    struct Case {
        std::string line;
        int n;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"prog.exe    song.mml", -1, "song.mml"},
        {"\"C:\\my prog.exe\" x y", -1, "x y"},
        {"prog \"a b\"c", 1, "a b"},
        {"prog \"a b\"c", 2, "c"},
        {"prog \"a b\"c", 0, "prog"},
        {"prog x", 5, ""},
        {"prog a\tb", 1, "a\tb"},
        {"prog\t x", 1, "x"},
        {"prog  \"a b\" ", -1, "\"a b\" "},
        {"prog", -1, ""},
        {"prog   ", -1, ""},
        {"prog song\x14", -1, ""},
        {"prog \"", 1, ""},
        {"prog \"open ended", 1, "open ended"},
        {"\"my prog\" x", 0, "my prog"},
    };
    for (const auto& [line, n, expected] : cases) {
        SCOPED_TRACE(line + " #" + std::to_string(n));
        EXPECT_EQ(std::string(CommandArgumentOf(line.c_str(), n)), expected);
    }
}

TEST(RawCommandLine, StartsWithThisProgram) {
    const std::string line = RawCommandLine();
    EXPECT_NE(line.find("test_common"), std::string::npos) << line;
    EXPECT_NE(std::string(CommandArgument(0)).find("test_common"), std::string::npos);
}

}  // namespace
}  // namespace qzr
