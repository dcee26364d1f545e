#include "qzr/common/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

constexpr std::size_t kMax = TextLines::kMaxLineBytes;

struct Line {
    std::string text;
    bool cut;
    bool feed;
    friend bool operator==(const Line&, const Line&) = default;
};

void PrintTo(const Line& line, std::ostream* os) {
    *os << "{" << line.text.size() << " bytes \"" << line.text.substr(0, 20) << "\", cut "
        << line.cut << ", feed " << line.feed << "}";
}

std::vector<Line> AllLines(TextLines& lines) {
    std::vector<Line> all;
    while (const auto line = lines.Next()) {
        all.push_back({std::string(*line), lines.LastCut(), lines.LastHadFeed()});
    }
    return all;
}

// Every text read from memory and from a file gives the same lines; the file is read in chunks
// of 64 KiB, so the long texts cross chunk edges (a CR LF split by one included).
TEST(TextLines, TextModeLinesWithTheLimitFromMemoryAndFromAFile) {
    const std::string longLine(kMax + 10, 'x');
    const std::string exact(kMax, 'y');
    const std::string crAtEdge = std::string(65'535, 'z') + "\r\nnext";
    struct Case {
        std::string name;
        std::string text;
        std::vector<Line> lines;         // from a file
        std::vector<Line> fromMemory{};  // when they differ: a long line is whole in memory
    };
    const std::vector<Case> cases{
        {"empty", "", {}},
        {"one line, no feed", "ab", {{"ab", false, false}}},
        {"feeds and CR LF",
         "a\nb\r\n\nc",
         {{"a", false, true}, {"b", false, true}, {"", false, true}, {"c", false, false}}},
        {"a lone CR stays", "a\rb\r", {{"a\rb\r", false, false}}},
        {"byte 26 ends the input",
         std::string("a\n\x1A"
                     "b\n",
                     5),
         {{"a", false, true}}},
        {"zero bytes are text", std::string("a\0b\n", 4), {{std::string("a\0b", 3), false, true}}},
        {"a line past the limit is cut",
         longLine + "\nafter",
         {{std::string(kMax, 'x'), true, true}, {"after", false, false}},
         {{longLine, true, true}, {"after", false, false}}},
        {"exactly the limit with CR LF is whole", exact + "\r\n", {{exact, false, true}}},
        {"one past the limit, a CR",
         exact + "q\r\n",
         {{exact, true, true}},
         {{exact + "q", true, true}}},
        {"CR LF across a chunk edge",
         crAtEdge,
         {{std::string(65'535, 'z'), false, true}, {"next", false, false}}},
    };
    TempDir dir("text_lines");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.text.data());
        TextLines fromMemory(std::span(bytes, c.text.size()));
        EXPECT_EQ(AllLines(fromMemory), c.fromMemory.empty() ? c.lines : c.fromMemory);
        WriteText(dir / "text", c.text);
        std::string error;
        auto file = InputFile::Open(dir / "text", error);
        ASSERT_TRUE(file) << error;
        TextLines fromFile(*file);
        EXPECT_EQ(AllLines(fromFile), c.lines);
        EXPECT_FALSE(fromFile.Failed());
    }
}

}  // namespace
}  // namespace qzr::test
