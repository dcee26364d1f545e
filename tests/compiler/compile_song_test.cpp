#include "qzr/compiler/compile_song.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "compiler_test_support.h"

namespace qzr::test {
namespace {

using Writes = std::map<std::size_t, std::uint8_t>;

// The header written out by hand from the layout: title, eight (six) records of plain.voice,
// speed and the row count in the target's byte order.
Bytes ExpectedHeader(const SongTarget& target, const std::string& title, std::uint8_t speed,
                     std::uint8_t rowCountLow, std::uint8_t rowCountHigh) {
    Bytes bytes(static_cast<std::size_t>(target.rowsStart), 0);
    for (std::size_t i = 0; i < title.size(); ++i) bytes[i] = static_cast<std::uint8_t>(title[i]);
    const Bytes voice = PlainVoice();
    for (int v = 0; v < target.VoiceCount(); ++v) {
        const auto record = static_cast<std::size_t>(target.VoiceRecordOffset(v));
        for (int i = 0; i < target.voiceBytesCopied; ++i) {
            bytes[record + static_cast<std::size_t>(i)] = voice[static_cast<std::size_t>(i)];
        }
        bytes[static_cast<std::size_t>(target.ControlByteOffset(v))] = 253;  // 0x75 with "11"
    }
    bytes[static_cast<std::size_t>(target.speedOffset)] = speed;
    bytes[static_cast<std::size_t>(target.RowCountLowOffset())] = rowCountLow;
    bytes[static_cast<std::size_t>(target.RowCountHighOffset())] = rowCountHigh;
    return bytes;
}

void ExpectSameBytes(const Bytes& actual, const Bytes& expected) {
    EXPECT_EQ(FirstDifference(actual, expected), std::nullopt) << HexContext(actual, expected);
}

TEST(CompileSource, EmptyBodyIsExactlyTheHeader) {
    CompilerFolder folder;
    const auto opm = folder.Compile(kOPMTarget, SourceSpec{.title = "Song", .rowCount = "515"});
    ASSERT_EQ(opm.status, CompileStatus::Ok);
    ExpectSameBytes(opm.song, ExpectedHeader(kOPMTarget, "Song", 6, 0x03, 0x02));
    EXPECT_EQ(opm.song.size(), 272u);

    const auto opn2 = folder.Compile(kOPN2Target, SourceSpec{.title = "Song", .rowCount = "515"});
    ASSERT_EQ(opn2.status, CompileStatus::Ok);
    ExpectSameBytes(opn2.song, ExpectedHeader(kOPN2Target, "Song", 6, 0x03, 0x02));
    EXPECT_EQ(opn2.song.size(), 216u);
    EXPECT_EQ(opn2.song[214], 0x02);      // big-endian: high byte first
    EXPECT_EQ(opn2.song[24 + 24], 0x75);  // the voice file's 25th byte stays in the record
}

TEST(CompileSource, SpeedAndRowCountArithmetic) {
    struct Case {
        std::string speed;
        std::string rowCount;
        std::uint8_t speedByte;
        std::uint8_t low;
        std::uint8_t high;
    };
    const std::vector<Case> cases{
        {"120", "255", 120, 0xFF, 0x00}, {"300", "256", 44, 0x00, 0x01},
        {"7.9", "4660", 7, 0x34, 0x12},  {"letters", "", 0, 0, 0},
        {"-1", "-1", 0xFF, 0xFF, 0x00},  {"0x10", "70000", 16, 0x70, 0x11},
        {" 6 ", "65535", 6, 0xFF, 0xFF}, {"1e9", "-300", 0x00, 0xD4, 0x00}};
    CompilerFolder folder;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(target.channelCount) + " channels: " + c.speed + " / " +
                         c.rowCount);
            const auto result = folder.Compile(
                target, SourceSpec{.title = "", .speed = c.speed, .rowCount = c.rowCount});
            ExpectSameBytes(result.song, ExpectedHeader(target, "", c.speedByte, c.low, c.high));
        }
    }
}

TEST(CompileSource, TitleIsCutToTwentyFourBytes) {
    CompilerFolder folder;
    const std::string title(30, 'T');
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const auto result = folder.Compile(target, SourceSpec{.title = title});
        ExpectSameBytes(result.song, ExpectedHeader(target, title.substr(0, 24), 6, 0, 1));
        EXPECT_EQ(result.header.title, title.substr(0, 24));
    }
    // A very long title line is still one line: the speed comes from the next one.
    const auto result =
        folder.Compile(kOPMTarget, SourceSpec{.title = std::string(100'000, 'x'), .speed = "9"});
    EXPECT_EQ(result.song[269], 9);
}

TEST(CompileSource, ControlBytesAddFeedbackConnectionAndPan) {
    struct Case {
        std::uint8_t fbConnection;
        std::string pan;
        std::uint8_t control;
    };
    const std::vector<Case> cases{{0x75, "10", 125}, {0x75, "11", 253}, {0x75, "01", 189},
                                  {0x0F, "01", 143}, {0xFF, "11", 71},  {0x00, "00", 0},
                                  {0x88, "10", 136}};
    CompilerFolder folder;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.fbConnection) + " pan " + c.pan);
            Bytes voice = PlainVoice();
            voice[24] = c.fbConnection;
            folder.WriteVoice("x.voice", voice);
            const auto result =
                folder.Compile(target, SourceSpec{.pans = {c.pan}, .voices = {"x.voice"}});
            EXPECT_EQ(result.song[static_cast<std::size_t>(target.ControlByteOffset(0))],
                      c.control);
        }
    }
}

TEST(CompileSource, PanFlagsCarryOverUntilAValidLine) {
    CompilerFolder folder;
    Bytes voice(25, 0);
    folder.WriteVoice("zero.voice", voice);
    const std::vector<std::string> pans{"00", "10", "00", "01", "11 ", "11", "x", "10"};
    const std::vector<std::uint8_t> opm{0, 64, 64, 128, 128, 192, 192, 64};
    const auto result = folder.Compile(
        kOPMTarget, SourceSpec{.pans = pans, .voices = std::vector<std::string>(8, "zero.voice")});
    std::vector<std::uint8_t> controls;
    for (int v = 0; v < 8; ++v) {
        controls.push_back(result.song[static_cast<std::size_t>(kOPMTarget.ControlByteOffset(v))]);
    }
    EXPECT_EQ(controls, opm);

    const auto opn2 = folder.Compile(
        kOPN2Target, SourceSpec{.pans = {"11", "00"}, .voices = {"zero.voice", "zero.voice"}});
    EXPECT_EQ(opn2.song[static_cast<std::size_t>(kOPN2Target.ControlByteOffset(1))], 192);
}

TEST(CompileSource, ShortVoiceFilesReadAsZeros) {
    CompilerFolder folder;
    const Bytes ten{9, 8, 7, 6, 5, 4, 3, 2, 1, 10};
    folder.WriteVoice("ten.voice", ten);
    Bytes twentyFour = PlainVoice();
    twentyFour.pop_back();
    folder.WriteVoice("24.voice", twentyFour);
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        SCOPED_TRACE(target.channelCount);
        const auto result = folder.Compile(
            target, SourceSpec{.pans = {"10", "01"}, .voices = {"ten.voice", "24.voice"}});
        const auto record0 = static_cast<std::size_t>(target.VoiceRecordOffset(0));
        const Bytes first(
            result.song.begin() + static_cast<std::ptrdiff_t>(record0),
            result.song.begin() + static_cast<std::ptrdiff_t>(record0) + target.voiceRecordSize);
        Bytes expected(static_cast<std::size_t>(target.voiceRecordSize), 0);
        std::copy(ten.begin(), ten.end(), expected.begin());
        expected[static_cast<std::size_t>(target.controlByteIndex)] = 64;
        EXPECT_EQ(first, expected);
        EXPECT_EQ(result.song[static_cast<std::size_t>(target.ControlByteOffset(1))], 128);
    }
}

TEST(CompileSource, NotesRestsAndLengthsLandWhereTheLayoutSays) {
    struct Case {
        std::vector<std::string> body;
        Writes writes;
    };
    const std::vector<Case> cases{
        {{"ch1", "c"}, {{272, 1}, {273, 1}, {513, 2}}},
        {{"ch3", "o4", "c4"}, {{276, 49}, {277, 1}, {517, 2}}},
        {{"ch8", "c"}, {{286, 1}, {287, 1}, {527, 2}}},
        {{"c64", "d64"}, {{272, 1}, {273, 2}, {288, 3}, {289, 2}}},
        {{"legato on", "c", "d"}, {{272, 1}, {273, 1}, {528, 3}, {529, 1}}},
        {{"legato on", "c", "legato off", "d"}, {{272, 1}, {273, 1}, {528, 3}, {529, 1}, {769, 2}}},
        {{"c8", "c"}, {{272, 1}, {273, 1}, {385, 2}, {400, 1}, {401, 1}, {641, 2}}},
        {{"r4", "c"}, {{528, 1}, {529, 1}, {769, 2}}},
        {{"l8.", "r", "c"}, {{464, 1}, {465, 1}, {641, 2}}},
        {{"o7", "o+", "c64"}, {{272, 97}, {273, 2}}},
        {{"o0", "o-", "c64"}, {{272, 245}, {273, 2}}},
        {{"d-64", "c+64", "a+64", "b-64"},
         {{272, 2}, {273, 2}, {288, 2}, {289, 2}, {304, 11}, {305, 2}, {320, 11}, {321, 2}}},
        {{"o5", "b1.", "ch2", "e"},
         {{272, 72}, {273, 1}, {273 + 16 * 95, 2}, {274, 65}, {275, 1}, {275 + 16 * 15, 2}}},
        {{"ch1", "c", "d", "ch1", "e8"},
         {{272, 5}, {273, 1}, {385, 2}, {513, 2}, {528, 3}, {529, 1}, {769, 2}}},
        {{"l%20", "c"}, {{272, 1}, {273, 1}, {273 + 16 * 19, 2}}},
        {{"l%12%99", "r", "c64"}, {{464, 1}, {465, 2}}},
        {{"l%0x3", "c", "l4"}, {{272, 1}, {273, 1}, {305, 2}}},
        {{"l%7.9", "g"}, {{272, 8}, {273, 1}, {273 + 16 * 6, 2}}},
        {{"l1.", "l%abc", "r", "c64"}, {{272, 1}, {273, 2}}},
    };
    CompilerFolder folder;
    const Bytes header = folder.Compile(kOPMTarget, SourceSpec{}).song;
    for (const auto& [body, writes] : cases) {
        SCOPED_TRACE(::testing::PrintToString(body));
        ExpectSameBytes(folder.Compile(kOPMTarget, SourceSpec{.body = body}).song,
                        WithWrites(header, writes));
    }
}

TEST(CompileSource, NearMissesChangeNothing) {
    const std::vector<std::string> misses{
        "C",    "c ",   " c",  "e+", "c64.",   "ch9",          "o8",         "l",   "r0",  "c0",
        "l64.", "r64.", "ch0", "ch", "legato", "Legato on",    "legato  on", "b+",  "c-",  "f-",
        "c65",  "o+1",  "rr",  "l%", "c\t",    "\xE3\x81\x82", "ch10",       "o-1", " l%5"};
    CompilerFolder folder;
    const Bytes header = folder.Compile(kOPMTarget, SourceSpec{}).song;
    for (const auto& miss : misses) {
        SCOPED_TRACE(miss);
        // Each miss sits before a note: a miss that moved the row, octave, length or channel
        // would move or change that note.
        const auto result = folder.Compile(kOPMTarget, SourceSpec{.body = {miss, "c64"}});
        ExpectSameBytes(result.song, WithWrites(header, {{272, 1}, {273, 2}}));
    }
}

TEST(CompileSource, OPN2RowsAndIgnoredChannels) {
    struct Case {
        std::vector<std::string> body;
        Writes writes;
    };
    const std::vector<Case> cases{
        {{"ch1", "c"}, {{216, 1}, {217, 1}, {397, 2}}},
        {{"ch6", "o4", "c4"}, {{226, 49}, {227, 1}, {407, 2}}},
        {{"ch2", "c", "ch7", "d"}, {{218, 1}, {219, 1}, {399, 2}, {410, 3}, {411, 1}, {591, 2}}},
        {{"ch3", "ch8", "c64"}, {{220, 1}, {221, 2}}},
        {{"r8", "c64"}, {{216 + 96, 1}, {217 + 96, 2}}},
    };
    CompilerFolder folder;
    const Bytes header = folder.Compile(kOPN2Target, SourceSpec{}).song;
    for (const auto& [body, writes] : cases) {
        SCOPED_TRACE(::testing::PrintToString(body));
        ExpectSameBytes(folder.Compile(kOPN2Target, SourceSpec{.body = body}).song,
                        WithWrites(header, writes));
    }
}

TEST(CompileSource, RowWritesStayInsideTheRowsArea) {
    struct Case {
        std::vector<std::string> body;
        Writes writes;
    };
    constexpr std::size_t kLastRow = 272 + 16 * 65535;
    const std::vector<Case> cases{
        // A zero length: key off would fall in row -1 and is skipped; the row does not move.
        {{"l%", "c", "d64"}, {{272, 3}, {273, 2}}},
        // Negative lengths walk backwards; nothing lands below row 0, the header stays.
        // The third note starts at row -6: only its key off, in row 9, is inside.
        {{"l%-3", "c", "c", "l4", "c", "c"},
         {{272, 1},
          {273, 1},
          {273 + 16 * 9, 2},
          {272 + 16 * 10, 1},
          {273 + 16 * 10, 1},
          {273 + 16 * 25, 2}}},
        {{"l%65536", "c", "c"}, {{272, 1}, {273, 1}, {kLastRow + 1, 2}}},
        {{"l%65537", "c"}, {{272, 1}, {273, 1}}},
        {{"l%2147483647", "r", "r", "r", "l%-2147483648", "r", "r", "r", "c64"}, {}},
        {{"l%1e300", "c", "l%-1e300", "c", "c"}, {{272, 1}, {273, 1}}},
    };
    CompilerFolder folder;
    const Bytes header = folder.Compile(kOPMTarget, SourceSpec{}).song;
    for (const auto& [body, writes] : cases) {
        SCOPED_TRACE(::testing::PrintToString(body));
        ExpectSameBytes(folder.Compile(kOPMTarget, SourceSpec{.body = body}).song,
                        WithWrites(header, writes));
    }
}

TEST(CompileSource, LineEndsAndTheEndOfInputByte) {
    CompilerFolder folder;
    const SourceSpec lf{.body = {"ch2", "o3", "e8.", "legato on", "g"}};
    SourceSpec crlf = lf;
    crlf.lineEnd = "\r\n";
    const Bytes expected = folder.Compile(kOPMTarget, lf).song;
    ExpectSameBytes(folder.Compile(kOPMTarget, crlf).song, expected);

    // The last line needs no line feed.
    std::string text = SourceText(kOPMTarget, lf);
    text.pop_back();
    ExpectSameBytes(folder.Compile(kOPMTarget, text).song, expected);

    // Byte 26 ends the input: nothing after it counts.
    ExpectSameBytes(folder.Compile(kOPMTarget, SourceText(kOPMTarget, lf) + "\x1A" + "c\nd\n").song,
                    expected);
    ExpectSameBytes(folder.Compile(kOPMTarget, SourceText(kOPMTarget, lf) + "c\x1A\nd\n").song,
                    folder.Compile(kOPMTarget, SourceText(kOPMTarget, lf) + "c").song);

    // A zero byte ends a line's text, as it ends any text.
    ExpectSameBytes(
        folder.Compile(kOPMTarget, SourceText(kOPMTarget, lf) + std::string("c\0x\n", 4)).song,
        folder.Compile(kOPMTarget, SourceText(kOPMTarget, lf) + "c").song);

    // A carriage return that is not directly before a line feed stays part of the line.
    const Bytes header = folder.Compile(kOPMTarget, SourceSpec{}).song;
    ExpectSameBytes(folder.Compile(kOPMTarget, SourceSpec{.body = {"c\r\r", "\rc", "c\rc"}}).song,
                    header);
}

TEST(CompileSource, LongLinesAreReadWholeAndNeverMatch) {
    CompilerFolder folder;
    const Bytes header = folder.Compile(kOPMTarget, SourceSpec{}).song;
    // 2047 blanks after the token would have split a fixed 2048-byte line buffer.
    const std::vector<std::string> body{"c" + std::string(2047, ' '), std::string(5000, 'c'),
                                        std::string(2047, 'x') + "c64", "d64"};
    ExpectSameBytes(folder.Compile(kOPMTarget, SourceSpec{.body = body}).song,
                    WithWrites(header, {{272, 3}, {273, 2}}));
}

TEST(CompileSource, MissingVoicesFailWithTheirPath) {
    CompilerFolder folder;
    std::filesystem::create_directory(folder.Path() / "adir");
    struct Case {
        std::string source;
        std::string failedPath;
    };
    const std::vector<Case> cases{
        {SourceText(kOPMTarget, SourceSpec{.voices = {"plain.voice", "missing.voice"}}),
         "missing.voice"},
        {SourceText(kOPMTarget, SourceSpec{.voices = {"adir"}}), "adir"},
        // The path is the whole line, blanks included, for the system to open as it does.
        kFileNamesKeepTrailingBlanks
            ? Case{SourceText(kOPMTarget, SourceSpec{.voices = {"plain.voice "}}), "plain.voice "}
            : Case{SourceText(kOPMTarget, SourceSpec{.voices = {"plain.voice ", "missing.voice"}}),
                   "missing.voice"},
        {"title only\n", ""},
        {"", ""},
    };
    for (const auto& [source, failedPath] : cases) {
        SCOPED_TRACE(failedPath);
        const auto result = folder.Compile(kOPMTarget, source);
        EXPECT_EQ(result.status, CompileStatus::CannotOpenVoice);
        EXPECT_EQ(result.failedPath, failedPath);
    }
}

TEST(CompileSource, ObserverReportsEveryBodyLine) {
    CompilerFolder folder;
    std::vector<std::string> seen;
    const std::string text =
        SourceText(kOPMTarget, SourceSpec{.body = {"ch2", "c", "bogus", "l%5"}});
    const Bytes bytes(text.begin(), text.end());
    CompileSource(bytes, kOPMTarget, folder.Path(), [&](const BodyLineReport& r) {
        std::string line = std::to_string(r.lineNumber) + ":" + std::string(r.text) + ":" +
                           (r.keyword != nullptr ? "kw" : "-") + (r.setsFreeLength ? ":free" : "") +
                           ":row" + std::to_string(r.rowBefore) + "->" +
                           std::to_string(r.stateAfter.row);
        for (const auto& w : r.writes)
            line += " " + std::to_string(w.offset) + "=" + std::to_string(w.value);
        seen.push_back(line);
    });
    const std::vector<std::string> expected{
        "20:ch2:kw:row0->0", "21:c:kw:row0->16 274=1 275=1 515=2", "22:bogus:-:row16->16",
        "23:l%5:-:free:row16->16", "24::-:row16->16"};
    EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace qzr::test
