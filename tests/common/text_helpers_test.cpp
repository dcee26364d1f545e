#include "qzr/common/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qzr {
namespace {

TEST(CompareText, OrdersBytesAsUnsignedAndPrefixesFirst) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const std::vector<Case> cases{{"\xE0", "z", 1}, {"ab", "abc", -1}, {"abc", "ab", 1},
                                  {"c", "c", 0},    {"", "", 0},       {"C", "c", -1}};
    for (const auto& [a, b, expected] : cases) {
        SCOPED_TRACE(std::string(a) + " vs " + b);
        EXPECT_EQ(CompareText(a, b), expected);
    }
}

TEST(MidText, OutOfRangeStartsGiveEmptyAndCountsClip) {
    struct Case {
        int start;
        int count;
        const char* expected;
    };
    const std::vector<Case> cases{{0, 2, ""}, {4, 1, ""},   {2, -1, "bc"}, {2, 9, "bc"},
                                  {3, 0, ""}, {1, 2, "ab"}, {3, 1, "c"},   {-5, 1, ""}};
    for (const auto& [start, count, expected] : cases) {
        SCOPED_TRACE(std::to_string(start) + "," + std::to_string(count));
        EXPECT_STREQ(MidText("abc", start, count), expected);
    }
}

TEST(TrimLeft, EmptyInputIsReturnedItselfOthersAreCopies) {
    const char* empty = "";
    EXPECT_EQ(TrimLeft(empty, ' '), empty);
    const char* text = "  ab";
    const char* trimmed = TrimLeft(text, ' ');
    EXPECT_STREQ(trimmed, "ab");
    EXPECT_NE(trimmed, text + 2);
    EXPECT_STREQ(TrimLeft(" ", ' '), "");
    EXPECT_STREQ(TrimLeft("xx x y", 'x'), "y");
    EXPECT_STREQ(TrimLeft(" \tz", '\0'), "\tz");
}

TEST(FindText, PositionsAreOneBasedInTheWholeText) {
    EXPECT_EQ(FindText("abcabc", "c", 4, 0), 6);
    EXPECT_EQ(FindText("abc", "c", 4, 0), 0);
    EXPECT_EQ(FindText("abc", "", 1, 0), 0);
    EXPECT_EQ(FindText("xAbC", "abc", 0, 1), 2);
    EXPECT_EQ(FindText("xAbC", "abc", 0, 0), 0);
    EXPECT_EQ(FindText("x\xE0", "\xC0", 0, 1), 0);  // only ASCII letters fold
    EXPECT_EQ(FindText(nullptr, "a", 1, 0), 0);
}

TEST(FindNoCase, FoldsOnlyAsciiLetters) {
    const char* text = "hello WORLD";
    EXPECT_EQ(FindNoCase(text, "world"), text + 6);
    EXPECT_EQ(FindNoCase("[", "{"), nullptr);  // 0x5B and 0x7B are not letters
    EXPECT_EQ(FindNoCase("ab", "abc"), nullptr);
}

TEST(FindLast, SearchesBackwardFromStart) {
    EXPECT_EQ(FindLast("abcabc", "bc", 0), 5);
    EXPECT_EQ(FindLast("abcabc", "bc", 4), 2);
    EXPECT_EQ(FindLast("abcabc", "bc", 99), 5);
    EXPECT_EQ(FindLast("ab", "abc", 0), 0);
    EXPECT_EQ(FindLast("ab", "", 0), 0);
}

TEST(RemoveAll, RemovesOccurrencesThatRemovalsCreate) {
    EXPECT_STREQ(RemoveAll("aabb", "ab"), "");
    EXPECT_STREQ(RemoveAll("abc", ""), "abc");
    EXPECT_STREQ(RemoveAll("a%b%c", "%"), "abc");
}

TEST(TextBefore, CutsAtTheFirstOccurrence) {
    EXPECT_STREQ(TextBefore("l%24%x", "%"), "l");
    EXPECT_STREQ(TextBefore("abc", "z"), "abc");
    EXPECT_STREQ(TextBefore("abc", ""), "");
}

TEST(ConcatTexts, JoinsInOrder) {
    EXPECT_STREQ(ConcatTexts({"song.mml", ".qzr"}), "song.mml.qzr");
    EXPECT_STREQ(ConcatTexts({}), "");
    EXPECT_STREQ(ConcatTexts({"", "a", ""}), "a");
}

TEST(CountOccurrences, CountsOverlaps) {
    EXPECT_EQ(CountOccurrences("aaa", "aa"), 2);
    EXPECT_EQ(CountOccurrences("", "a"), 0);
    EXPECT_EQ(CountOccurrences("a%b%", "%"), 2);
    EXPECT_EQ(CountOccurrences("abc", ""), 0);
}

TEST(WildcardMatch, MatchesWholeTextOnly) {
    struct Case {
        const char* text;
        const char* pattern;
        int expected;
    };
    const std::vector<Case> cases{
        {"l%24", "l%*", 1}, {"l24", "l%*", 0}, {"l%", "l%*", 1},   {" l%2", "l%*", 0},
        {"", "*", 1},       {"", "?", 0},      {"ab", "a??", 0},   {"abcbd", "a*b?", 1},
        {"ABC", "abc", 0},  {"abc", "abc", 1}, {"abcd", "abc", 0}, {"xaby", "*ab*", 1},
        {"ab", "?b", 1},    {"abab", "*b", 1}, {"aba", "*b", 0},   {"", "", 1}};
    for (const auto& [text, pattern, expected] : cases) {
        SCOPED_TRACE(std::string(text) + " ~ " + pattern);
        EXPECT_EQ(WildcardMatch(text, pattern), expected);
    }
}

TEST(IntFromPair, IsSignedLittleEndian) {
    EXPECT_EQ(IntFromPair("\x34\x12"), 0x1234);
    EXPECT_EQ(IntFromPair("\xFF\xFF"), -1);
    EXPECT_EQ(IntFromPair("\x00\x80"), -32768);
}

TEST(FieldOf, CutsAtTheDelimiter) {
    struct Case {
        const char* text;
        int n;
        const char* expected;
    };
    const std::vector<Case> cases{{"l%24", 2, "24"},      {"a%b%c", 3, "c"}, {"a%b%c", 4, ""},
                                  {"abc", 1, ""},         {"a%%b", 2, ""},   {"a%%b", 3, "b"},
                                  {"a%b%c", 2, "b"},      {"a%b%c", 1, "a"}, {"l%", 2, ""},
                                  {"x%yy%zz%w", 3, "zz"}, {"a%b", 0, ""}};
    for (const auto& [text, n, expected] : cases) {
        SCOPED_TRACE(std::string(text) + " field " + std::to_string(n));
        EXPECT_STREQ(FieldOf(text, "%", n), expected);
    }
}

}  // namespace
}  // namespace qzr
