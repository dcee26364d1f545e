#include "qzr/studio/event_map.h"

#include <gtest/gtest.h>

#include <QString>

#include "qzr/studio/classic_highlighter.h"
#include "qzr/studio/qmml_highlighter.h"

namespace qzr::studio {
namespace {

using E = qmml::MappedEvent;

// Line 3 plays "c4 [d8]2 e4" on channel 0 (the repeat's d twice); line 4 a whole note on
// channel 1.
const std::vector<E> kEvents{
    {.channel = 0, .row = 0, .rows = 16, .line = 3, .column = 5, .note = true},
    {.channel = 0, .row = 16, .rows = 8, .line = 3, .column = 9, .note = true},
    {.channel = 0, .row = 24, .rows = 8, .line = 3, .column = 9, .note = true},
    {.channel = 0, .row = 32, .rows = 16, .line = 3, .column = 14, .note = true},
    {.channel = 1, .row = 0, .rows = 64, .line = 4, .column = 5, .note = true},
};

TEST(EventMap, TheCursorGivesItsEventsFirstRow) {
    struct Case {
        SourcePlace cursor;
        std::optional<int> row;
    };
    const std::vector<Case> cases{
        {{3, 1}, 0},             // before the line's first token: that token
        {{3, 5}, 0},             // on a token
        {{3, 7}, 0},             // after it, before the next
        {{3, 10}, 16},           // inside the repeat: its first pass
        {{3, 40}, 32},           // past the last token
        {{4, 9}, 0},             // the other channel's line
        {{5, 1}, std::nullopt},  // a line that plays nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.cursor.line << ":" << c.cursor.column);
        EXPECT_EQ(RowAtCursor(kEvents, c.cursor), c.row);
    }
}

TEST(EventMap, EachChannelsSoundingTokenAtARow) {
    EXPECT_EQ(TokensPlayingAt(kEvents, 0), (std::vector<SourcePlace>{{3, 5}, {4, 5}}));
    EXPECT_EQ(TokensPlayingAt(kEvents, 23), (std::vector<SourcePlace>{{3, 9}, {4, 5}}));
    EXPECT_EQ(TokensPlayingAt(kEvents, 47), (std::vector<SourcePlace>{{3, 14}, {4, 5}}));
    EXPECT_EQ(TokensPlayingAt(kEvents, 64), std::vector<SourcePlace>{});
}

TEST(QmmlHighlighter, EachPartOfALineHasItsColour) {
    using P = QmmlHighlighter::Part;
    struct Case {
        const char* line;
        int column;
        std::optional<P> part;
    };
    const std::vector<Case> cases{
        {"#title A tune", 3, P::Header}, {"ch1,2 @1 o4 c4", 1, P::Channel},
        {"ch1,2 @1 o4 c4", 6, P::Voice}, {"ch1,2 @1 o4 c4", 9, P::Octave},
        {"ch1,2 @1 o4 c4", 13, P::Note}, {"ch1 [c d]2 e", 4, P::Loop},
        {"ch1 [c d]2 e", 9, P::Loop},    {"!walk = c8 e8", 2, P::Macro},
        {"ch1 c ; d e", 9, P::Comment},  {"ch1 c ; #title", 10, P::Comment},
        {"ch1 c  d", 6, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.line << " @" << c.column);
        EXPECT_EQ(QmmlHighlighter::PartAt(QString(c.line), c.column), c.part);
    }
}

// A classic source is coloured line by line: the header by its place, the body by the keyword
// the compiler reads in the line (OPN2 has six channels, so no "ch7").
TEST(ClassicHighlighter, EachLineHasThePartTheCompilerReadsInIt) {
    using P = QmmlHighlighter::Part;
    struct Case {
        SongKind kind;
        int line;
        const char* text;
        std::optional<P> part;
    };
    const std::vector<Case> cases{
        {SongKind::OPM, 0, "A tune", P::Header},    {SongKind::OPM, 2, "1280", P::Header},
        {SongKind::OPM, 3, "11", P::Voice},         {SongKind::OPM, 18, "v.voice", P::Voice},
        {SongKind::OPM, 19, "ch1", P::Channel},     {SongKind::OPM, 19, "ch8", P::Channel},
        {SongKind::OPN2, 15, "ch7", std::nullopt},  {SongKind::OPN2, 14, "ch6", P::Voice},
        {SongKind::OPM, 20, "a4.", P::Note},        {SongKind::OPM, 20, "r16", P::Note},
        {SongKind::OPM, 20, "o+", P::Octave},       {SongKind::OPM, 20, "l%12", P::Octave},
        {SongKind::OPM, 20, "legato on", P::Voice}, {SongKind::OPM, 20, "c4 ", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " on line " << c.line);
        EXPECT_EQ(ClassicHighlighter::PartOf(c.kind, c.line, QString(c.text)), c.part);
    }
}

}  // namespace
}  // namespace qzr::studio
