// Random bytes and random token mixes: the compiler must never crash (the sanitizer builds run
// this too), never write outside the rows area, and never grow a file past the last row.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/compiler/keyword_table.h"

namespace qzr::test {
namespace {

std::string RandomBytes(std::mt19937& random, std::size_t size) {
    std::string text(size, '\0');
    for (char& c : text) {
        const auto pick = random() % 10;
        // Line feeds, carriage returns and byte 26 are frequent enough to make many lines.
        c = pick == 0                         ? '\n'
            : pick == 1                       ? '\r'
            : pick == 2 && random() % 50 == 0 ? '\x1A'
                                              : static_cast<char>(random());
    }
    return text;
}

std::string RandomToken(std::mt19937& random, const KeywordTable& keywords) {
    static const std::vector<std::string> kOthers{
        "l%",     "l%-1",  "l%0", "l%65536", "l%-65536", "l%2147483647", "l%-2147483648",
        "l%1e99", "l%nan", "l%%", "l%3%4",   "ch7",      "ch8",          "ch9",
        "o+",     "o-",    "C",   "c ",      "",         "\r",           "\x1A"};
    const auto pick = random() % 10;
    if (pick < 7) {
        const auto& entry = keywords.entries[random() % static_cast<std::size_t>(keywords.count)];
        return std::string(entry.Text());
    }
    if (pick < 9) return kOthers[random() % kOthers.size()];
    return "l%" + std::to_string(static_cast<std::int32_t>(random()) % 100'000);
}

void CheckCompile(const SongTarget& target, const CompilerFolder& folder, const std::string& body,
                  const Bytes& header) {
    const std::size_t rowsEnd = static_cast<std::size_t>(target.RowOffset(kRowLimit));
    const std::string text = SourceText(target, SourceSpec{}) + body;
    const Bytes bytes(text.begin(), text.end());
    int outside = 0;
    const auto result = CompileSource(bytes, target, folder.Path(), [&](const BodyLineReport& r) {
        for (const auto& w : r.writes) {
            if (w.offset < static_cast<std::size_t>(target.rowsStart) || w.offset >= rowsEnd) {
                ++outside;
            }
        }
    });
    ASSERT_EQ(result.status, CompileStatus::Ok);
    EXPECT_EQ(outside, 0);
    EXPECT_LE(result.song.size(), rowsEnd);
    ASSERT_GE(result.song.size(), header.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), result.song.begin()));
}

TEST(CompilerRobustness, RandomTokenMixesStayInTheRowsArea) {
    CompilerFolder folder;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const Bytes header = folder.Compile(target, SourceSpec{}).song;
        std::mt19937 random(1234);
        for (int round = 0; round < 40; ++round) {
            SCOPED_TRACE(round);
            std::string body;
            for (int token = 0; token < 2000; ++token) {
                body += RandomToken(random, KeywordsFor(target));
                body += random() % 20 == 0 ? "\r\n" : "\n";
            }
            CheckCompile(target, folder, body, header);
        }
    }
}

TEST(CompilerRobustness, RandomBytesNeverCrash) {
    CompilerFolder folder;
    std::mt19937 random(99);
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const Bytes header = folder.Compile(target, SourceSpec{}).song;
        for (int round = 0; round < 40; ++round) {
            SCOPED_TRACE(round);
            CheckCompile(target, folder, RandomBytes(random, random() % 20'000), header);
            // Wholly random sources usually fail at a voice path; they must fail cleanly.
            const std::string whole = RandomBytes(random, random() % 5'000);
            const auto result = folder.Compile(target, whole);
            EXPECT_LE(result.song.size(), static_cast<std::size_t>(target.RowOffset(kRowLimit)));
        }
    }
}

}  // namespace
}  // namespace qzr::test
