#include "qzr/common/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qzr {
namespace {

// Each line is read under both rules for the tail; `mended` is what the Windows rule gives where
// it differs from `expected`.
TEST(CommandArgumentOf, ExtractsArgumentsAndTheTail) {
    struct Case {
        std::string line;
        int n;
        std::string expected;
        std::optional<std::string> mended{};
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
        // Quotes around the whole tail: a path with blanks as Explorer and shells pass it.
        {"prog \"C:\\My Songs\\a b.mml\"", -1, "\"C:\\My Songs\\a b.mml\"",
         "C:\\My Songs\\a b.mml"},
        {"\"C:\\my prog.exe\"   \"song.mml\"", -1, "\"song.mml\"", "song.mml"},
        {"prog \"\"", -1, "\"\"", ""},
        {"prog \"a b\"\x14", -1, ""},
        {"prog \"a b\"", 1, "a b"},
        // Anything else keeps its quotes: two pairs, a quote inside, a blank or text after the
        // closing quote, a lone quote.
        {"prog \"a\" \"b\"", -1, "\"a\" \"b\""},
        {"prog \"a\"b\"\"", -1, "\"a\"b\"\""},
        {"prog \"a b\"c", -1, "\"a b\"c"},
        {"prog \"", -1, "\""},
        {"prog a b\"", -1, "a b\""},
    };
    for (const auto& [line, n, expected, mended] : cases) {
        SCOPED_TRACE(line + " #" + std::to_string(n));
        EXPECT_EQ(std::string(CommandArgumentOf(line.c_str(), n, TailQuotes::kKept)), expected);
        EXPECT_EQ(
            std::string(CommandArgumentOf(line.c_str(), n, TailQuotes::kEnclosingPairRemoved)),
            mended.value_or(expected));
    }
}

TEST(RawCommandLine, StartsWithThisProgram) {
    const std::string line = RawCommandLine();
    EXPECT_NE(line.find("test_common"), std::string::npos) << line;
    EXPECT_NE(std::string(CommandArgument(0)).find("test_common"), std::string::npos);
}

}  // namespace
}  // namespace qzr
