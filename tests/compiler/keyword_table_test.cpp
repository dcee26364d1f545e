#include "qzr/compiler/keyword_table.h"

#include <gtest/gtest.h>

#include <string>

namespace qzr {
namespace {

TEST(KeywordTable, EveryNoteAndLengthSpellingMeansItsParts) {
    for (const KeywordTable* table : {&kOPMKeywords, &kOPN2Keywords}) {
        for (const auto& note : kNoteNames) {
            const Keyword* bare = table->Find(note.text);
            ASSERT_NE(bare, nullptr) << note.text;
            EXPECT_EQ(bare->kind, KeywordKind::Note);
            EXPECT_EQ(bare->value, note.semitone);
            EXPECT_EQ(bare->rows, 0);
            for (const auto& suffix : kLengthSuffixes) {
                const std::string text = std::string(note.text) + std::string(suffix.text);
                SCOPED_TRACE(text);
                const Keyword* k = table->Find(text);
                ASSERT_NE(k, nullptr);
                EXPECT_EQ(k->kind, KeywordKind::Note);
                EXPECT_EQ(k->value, note.semitone);
                EXPECT_EQ(k->rows, suffix.rows);
                EXPECT_EQ(table->Find("r" + std::string(suffix.text))->rows, suffix.rows);
                EXPECT_EQ(table->Find("l" + std::string(suffix.text))->kind,
                          KeywordKind::DefaultLength);
            }
        }
    }
}

TEST(KeywordTable, ChannelsFollowTheTarget) {
    for (int n = 1; n <= 8; ++n) {
        const std::string text = "ch" + std::to_string(n);
        SCOPED_TRACE(text);
        ASSERT_NE(kOPMKeywords.Find(text), nullptr);
        EXPECT_EQ(kOPMKeywords.Find(text)->value, n - 1);
        EXPECT_EQ(kOPN2Keywords.Find(text) != nullptr, n <= 6);
    }
    EXPECT_EQ(&KeywordsFor(kOPMTarget), &kOPMKeywords);
    EXPECT_EQ(&KeywordsFor(kOPN2Target), &kOPN2Keywords);
}

TEST(KeywordTable, FindMatchesWholeLinesOnly) {
    for (const char* miss : {"", "C", "c ", "e+", "c64.", "ch9", "o8", "l", "r0", "c0", "l64.",
                             "r64.", "legato", "legato on ", "o", "b+", "c-", "f-", "cc"}) {
        SCOPED_TRACE(miss);
        EXPECT_EQ(kOPMKeywords.Find(miss), nullptr);
    }
    for (const auto& k : kOPMKeywords.Entries()) {
        EXPECT_EQ(kOPMKeywords.Find(k.Text()), &k) << k.Text();
    }
}

}  // namespace
}  // namespace qzr
