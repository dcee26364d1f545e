// The composer's MML: every form against the classic source it means (both compiled by the same
// core, compared byte for byte), every error class, every limit at its boundary.
#include "qzr/compiler/qmml_compile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/test_support/file_bytes.h"

namespace qzr::test {
namespace {

// Every channel plays plain.voice, as the classic SourceSpec's default header says.
std::string QmmlHeader(const SongTarget& target) {
    std::string text = "#title test\n#speed 6\n#rows 512\n@1 \"plain.voice\"\nch1";
    for (int c = 2; c <= target.channelCount; ++c) text += "," + std::to_string(c);
    return text + " @1\n";
}

void ExpectSameBytes(const Bytes& actual, const Bytes& expected) {
    EXPECT_EQ(FirstDifference(actual, expected), std::nullopt) << HexContext(actual, expected);
}

struct FormCase {
    std::string name;
    std::string qmml;                  // after the header
    std::vector<std::string> classic;  // the classic body it means
};

TEST(QmmlCompile, EveryFormMeansItsClassicTokens) {
    const std::vector<FormCase> cases{
        {"notes start at o4 l4", "ch1 c d e", {"ch1", "o4", "c", "d", "e"}},
        {"tokens written together", "ch1 o5l8cdefg", {"ch1", "o5", "l8", "c", "d", "e", "f", "g"}},
        {"comment", "ch1 c ; d e\n; ch1 f", {"ch1", "o4", "c"}},
        {"accidentals, also across b and c",
         "ch1 c+ d- e+ b+ c- c++",
         {"ch1", "o4", "c+", "d-", "f", "o5", "c", "o3", "b", "o4", "d"}},
        {"lengths: values, dots, rows, sums",
         "ch1 c4. d%10 e4+16 f1 g64 a2.. b1^1",
         {"ch1", "o4", "c4.", "l%10", "d", "l%20", "e", "f1", "g64", "l%56", "a", "l%128", "b"}},
        {"ties and rests", "ch1 c4^8 r4^4 d r", {"ch1", "o4", "c4.", "r2", "d", "r"}},
        {"octave steps",
         "ch1 c > c < < c o+ c o- c o7 b",
         {"ch1", "o4", "c", "o5", "c", "o3", "c", "o4", "c", "o3", "c", "o7", "b"}},
        {"default lengths",
         "ch1 l8 c l%3 d l4+16 e",
         {"ch1", "o4", "l8", "c", "l%3", "d", "l%20", "e"}},
        {"legato",
         "ch1 legato on c d legato off e",
         {"ch1", "legato on", "o4", "c", "d", "legato off", "e"}},
        {"repeat, twice by default", "ch1 [c d] e", {"ch1", "o4", "c", "d", "c", "d", "e"}},
        {"repeat count and last pass left early",
         "ch1 [c / d]3",
         {"ch1", "o4", "c", "d", "c", "d", "c"}},
        {"nested repeats", "ch1 [[c]3 d]2", {"ch1", "o4", "c", "c", "c", "d", "c", "c", "c", "d"}},
        {"macro, used from a macro, defined after its use",
         "!b = !a e\n!a = c d\nch1 !b !a",
         {"ch1", "o4", "c", "d", "e", "c", "d"}},
        {"transposition is set, not added",
         "ch1 k+2 c k-1 c k0 c k-12 c",
         {"ch1", "o4", "d", "o3", "b", "o4", "c", "o3", "c"}},
        {"key signature and naturals",
         "ch1 _{+fc-b} f c b f= c- _{} f",
         {"ch1", "o4", "f+", "c+", "b-", "f", "o3", "b", "o4", "f"}},
        {"channel list", "ch1,3 c d", {"ch1", "o4", "c", "d", "ch3", "c", "d"}},
        {"a channel continues where it stopped",
         "ch1 c\nch2 e\nch1 d",
         {"ch1", "o4", "c", "d", "ch2", "e"}},
        {"each channel keeps its own state",
         "ch1 o5 l8 legato on c\nch2 c\nch1 d",
         {"ch1", "o5", "legato on", "c8", "d8", "ch2", "legato off", "o4", "c"}},
        {"a tie continues across bar lines and lines, rests side by side join",
         "ch1 r2 c2 | ^2 r2 |\nch1 r2 c2\nch1 ^4 d",
         {"ch1", "o4", "r2", "c1", "r1", "c2.", "d"}},
        {"bar lines change nothing", "ch1 c1 | d1 |", {"ch1", "o4", "c1", "d1"}},
    };
    CompilerFolder folder;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const std::string name = target.channelCount == 8 ? "t.opm.qmml" : "t.opn2.qmml";
        for (const auto& c : cases) {
            SCOPED_TRACE(name + ": " + c.name);
            const qmml::Result built = folder.CompileQmml(QmmlHeader(target) + c.qmml + "\n", name);
            EXPECT_EQ(DiagnosticLines(built, name), std::vector<std::string>{});
            ExpectSameBytes(
                built.song,
                folder.Compile(target, SourceSpec{.rowCount = "512", .body = c.classic}).song);
        }
    }
}

struct DiagnosticCase {
    std::string name;
    std::string source;
    std::vector<std::string> diagnostics;
};

void ExpectDiagnostics(const CompilerFolder& folder, const std::vector<DiagnosticCase>& cases,
                       const std::string& fileName = "t.opm.qmml") {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qmml::Result result = folder.CompileQmml(c.source, fileName);
        EXPECT_EQ(DiagnosticLines(result, fileName), c.diagnostics);
        const bool error = std::any_of(
            c.diagnostics.begin(), c.diagnostics.end(),
            [](const std::string& d) { return d.find(": error: ") != std::string::npos; });
        EXPECT_EQ(result.Ok(), !error);
        EXPECT_EQ(result.song.empty(), error);
    }
}

const std::string kVoiced = "@1 \"plain.voice\"\nch1 @1\n";

TEST(QmmlCompile, EveryErrorClassIsReportedWhereItStands) {
    const std::vector<DiagnosticCase> cases{
        {"music without a channel",
         kVoiced + "c d\n",
         {"t.opm.qmml:3:1: error: a line starts with ch1 (its channels), #, @N, !name or ';'; "
          "music needs its channel first: ch1 c d"}},
        {"upper case",
         kVoiced + "ch1 C\n",
         {"t.opm.qmml:3:5: error: 'C' is unknown: notes and commands are lower case"}},
        {"no such note value",
         kVoiced + "ch1 c3\n",
         {"t.opm.qmml:3:6: error: 3 is not a note value: lengths are 1 2 4 8 16 32 64 (with "
          "dots), or %N rows, a whole note being 64 rows (a triplet eighth is %5 or %6)"}},
        {"half a row",
         kVoiced + "ch1 c64.\n",
         {"t.opm.qmml:3:8: error: this dot would add half a row; a row is the shortest step"}},
        {"no rows",
         kVoiced + "ch1 l%0 c\n",
         {"t.opm.qmml:3:6: error: %0 is no length: a note or rest lasts at least one row"}},
        {"octave",
         kVoiced + "ch1 o8 c\n",
         {"t.opm.qmml:3:5: error: o8: octaves are o0 to o7 (> and < step beyond them)"}},
        {"note above the range",
         kVoiced + "ch1 o7 k+1 b\n",
         {"t.opm.qmml:3:12: error: this note is 1 semitone above o7 b, the highest note (octave "
          "7, k+1)"}},
        {"note below the range",
         kVoiced + "ch1 o0 < c d\n",
         {"t.opm.qmml:3:10: error: this note is 12 semitones below o0 c, the lowest note "
          "(octave -1, k+0)",
          "t.opm.qmml:3:12: error: this note is 10 semitones below o0 c, the lowest note "
          "(octave -1, k+0)"}},
        {"bracket left open",
         kVoiced + "ch1 [c\n",
         {"t.opm.qmml:3:5: error: '[' is not closed on its line"}},
        {"bracket never opened",
         kVoiced + "ch1 c]\n",
         {"t.opm.qmml:3:6: error: ']' closes no '['"}},
        {"pass break outside a repeat",
         kVoiced + "ch1 c / d\n",
         {"t.opm.qmml:3:7: error: '/' leaves a repeat's last pass, but no '[' is open"}},
        {"two pass breaks",
         kVoiced + "ch1 [c/d/e]\n",
         {"t.opm.qmml:3:9: error: a second '/' in one repeat"}},
        {"undefined macro",
         kVoiced + "ch1 !nope c\n",
         {"t.opm.qmml:3:5: error: !nope is not defined"}},
        {"macro cycle",
         "!a = c !b\n!b = !a\n" + kVoiced + "ch1 !a\n",
         {"t.opm.qmml:2:6: error: a macro may not use itself: !a -> !b -> !a"}},
        {"macro using itself",
         "!a = c !a\n" + kVoiced + "ch1 !a\n",
         {"t.opm.qmml:1:8: error: a macro may not use itself: !a -> !a"}},
        {"tie with nothing before",
         kVoiced + "ch1 ^4\n",
         {"t.opm.qmml:3:5: error: '^' extends a note or rest, and none comes before it in ch1"}},
        {"slur onto a rest",
         kVoiced + "ch1 c & r\n",
         {"t.opm.qmml:3:9: error: '&' joins two notes; a rest follows it"}},
        {"slur at the end",
         kVoiced + "ch1 c &\n",
         {"t.opm.qmml:3:7: error: '&' at the end of ch1 joins no note"}},
        {"slur after a rest",
         kVoiced + "ch1 r & c\n",
         {"t.opm.qmml:3:7: error: '&' joins two notes, and no note comes before it"}},
        {"volume",
         kVoiced + "ch1 v12 c\n",
         {"t.opm.qmml:3:5: error: volume (v12) is not representable in a song file; a channel "
          "plays at its voice's level; set the carriers' TL in the voice instead"}},
        {"tempo change",
         kVoiced + "ch1 t120 c\n",
         {"t.opm.qmml:3:5: error: a tempo change (t120) is not representable in a song file; a "
          "song has one speed, set by #tempo"}},
        {"second tempo",
         "#tempo 125\n#tempo 150\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:2:1: error: a tempo change is not representable in a song file: a song "
          "has one speed (set at line 1)"}},
        {"vibrato",
         kVoiced + "ch1 m3 c\n",
         {"t.opm.qmml:3:5: error: vibrato (m3) is not representable in a song file; the player "
          "sets no LFO"}},
        {"voice change",
         "@2 \"plain.voice\"\n" + kVoiced + "ch1 c @2 d\n",
         {"t.opm.qmml:4:7: error: ch1 already plays voice @1 (line 3): a voice change is not "
          "representable in a song file, which holds one voice a channel"}},
        {"pan change",
         kVoiced + "ch1 pan L c pan R\n",
         {"t.opm.qmml:3:13: error: ch1 already has its pan (line 3): a pan change is not "
          "representable in a song file, which holds one pan a channel"}},
        {"undefined voice",
         kVoiced + "ch2 @7 c\n",
         {"t.opm.qmml:3:5: error: voice @7 is not defined"}},
        {"notes without a voice",
         kVoiced + "ch2 r c\n",
         {"t.opm.qmml:3:7: error: ch2 plays notes but has no voice; give it one with @N"}},
        {"no such channel",
         kVoiced + "ch9 c\n",
         {"t.opm.qmml:3:3: error: ch9 is no channel (ch1 to ch8)"}},
        {"channel twice in a list",
         kVoiced + "ch1,1 c\n",
         {"t.opm.qmml:3:5: error: ch1 twice in one list"}},
        {"channel inside a line",
         kVoiced + "ch1 c ch2 d\n",
         {"t.opm.qmml:3:7: error: channels are chosen at the start of a line; begin a new line "
          "for ch2"}},
        {"title too long",
         "#title A title that is far too long\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:1:1: error: the title is 28 bytes; a song file holds 24"}},
        {"header twice",
         "#title a\n#title b\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:2:1: error: a second #title (the first is at line 1)"}},
        {"unknown header",
         "#volume 3\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:1:1: error: unknown #volume; headers are #title, #chip, #tempo, #speed, "
          "#rows and #bar"}},
        {"chip against the name",
         "#chip opn2\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:1:1: error: #chip opn2 differs from the OPM that the file name says"}},
        {"missing voice file",
         "@1 \"missing.voice\"\nch1 @1 c\n",
         {"t.opm.qmml:1:1: error: cannot read voice file 'missing.voice' (paths are relative to "
          "the source's folder)"}},
        {"voice file is a directory",
         "@1 \".\"\nch1 @1 c\n",
         {"t.opm.qmml:1:1: error: voice file '.' is a directory"}},
        {"voice defined twice",
         "@1 \"plain.voice\"\n@1 \"plain.voice\"\nch1 @1 c\n",
         {"t.opm.qmml:2:1: error: voice @1 is defined twice (first at line 1)"}},
        {"inline voice out of range and incomplete",
         "@1 {\n 4 6\n M1: 40 0 0 0 0 0 0 0 0 0 0\n C2: 1\n}\nch1 @1 c\n",
         {"t.opm.qmml:1:4: error: operator M2 is missing",
          "t.opm.qmml:1:4: error: operator C1 is missing",
          "t.opm.qmml:3:6: error: AR 40 is out of range; AR is 0 to 31",
          "t.opm.qmml:4:2: error: operator C2 has 1 numbers; it needs 11 (AR D1R D2R RR D1L TL "
          "KS MUL DT1 DT2 AMS-EN), D1R is missing"}},
        {"inline voice never closed",
         "@1 {\n4 6\n",
         {"t.opm.qmml:1:4: error: the voice @1 { is not closed with }"}},
        {"legato word",
         kVoiced + "ch1 legato maybe c\n",
         {"t.opm.qmml:3:5: error: legato takes on or off"}},
        {"key signature",
         kVoiced + "ch1 _{fc} c\n",
         {"t.opm.qmml:3:7: error: a key signature starts with +, - or =: _{+fc}"}},
        {"control character",
         kVoiced + "ch1 c\x01 d\nch1 e\n",
         {"t.opm.qmml:3:6: error: control character 0x01 in the source; the line is skipped"}},
        {"zero byte",
         kVoiced + "ch1 c" + std::string(1, '\0') + "d\n",
         {"t.opm.qmml:3:6: error: a zero byte in the source"}},
        {"every error of the file, in order",
         kVoiced + "ch1 C\nch1 c3 o9\nch2 x\n",
         {"t.opm.qmml:3:5: error: 'C' is unknown: notes and commands are lower case",
          "t.opm.qmml:4:6: error: 3 is not a note value: lengths are 1 2 4 8 16 32 64 (with "
          "dots), or %N rows, a whole note being 64 rows (a triplet eighth is %5 or %6)",
          "t.opm.qmml:4:8: error: o9: octaves are o0 to o7 (> and < step beyond them)",
          "t.opm.qmml:5:5: error: 'x' means nothing here"}},
    };
    CompilerFolder folder;
    ExpectDiagnostics(folder, cases);
}

TEST(QmmlCompile, WarningsStillWriteTheSong) {
    const std::vector<DiagnosticCase> cases{
        {"tempo not reached exactly",
         "#tempo 120\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:1:1: warning: #tempo 120 is not reached exactly: speed 6 plays 125 beats "
          "a minute"}},
        {"unused voice and macro",
         "@2 \"plain.voice\"\n!m = c\n" + kVoiced + "ch1 c\n",
         {"t.opm.qmml:1:1: warning: voice @2 is never used by a channel",
          "t.opm.qmml:2:1: warning: !m is never used"}},
        {"short voice file",
         "@1 \"short10.voice\"\nch1 @1 c\n",
         {"t.opm.qmml:1:1: warning: voice file 'short10.voice' has 10 bytes, not 25; the "
          "missing ones count as 0"}},
        {"channel past #rows",
         "#rows 16\n" + kVoiced + "ch1 c c\n",
         {"t.opm.qmml:1:1: warning: ch1 runs to row 32, past #rows 16; its rows after that "
          "never play"}},
        {"no music",
         "#title empty\n",
         {"t.opm.qmml: warning: the song has no rows: it plays nothing"}},
        {"a short bar, counted",
         kVoiced + "ch1 c c c | c c c c | c c c | c c\n",
         {"t.opm.qmml:3:11: warning: bar 1 of ch1 is 48 rows, 16 rows short of #bar 64; fill it "
          "with r%16, or set #bar (1 more bar of ch1 is not 64 rows)"}},
        {"channels out of step",
         "ch2 @1\n" + kVoiced + "ch1,2 c1 | c1 |\nch1 c2 |\nch2 c2. |\n",
         {"t.opm.qmml:5:8: warning: bar 3 of ch1 is 32 rows, 32 rows short of #bar 64; fill it "
          "with r%32, or set #bar",
          "t.opm.qmml:6:9: warning: bar 3 of ch2 is 48 rows, 16 rows short of #bar 64; fill it "
          "with r%16, or set #bar",
          "t.opm.qmml:6:9: warning: ch2 is 16 rows long at bar 3 (ch1 is at row 160 there); take "
          "16 rows out before this bar line"}},
        {"the #bar grid decides a tie",
         "#bar 48\nch2 @1\n" + kVoiced + "ch1 c2. |\nch2 c1 |\n",
         {"t.opm.qmml:6:8: warning: bar 1 of ch2 is 64 rows, 16 rows longer than #bar 48; "
          "shorten it by 16 rows, or set #bar",
          "t.opm.qmml:6:8: warning: ch2 is 16 rows long at bar 1 (ch1 is at row 48 there); take "
          "16 rows out before this bar line"}},
    };
    CompilerFolder folder;
    folder.WriteVoice("short10.voice", Bytes(10, 7));
    ExpectDiagnostics(folder, cases);
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// A chain of `depth` macros, !m1 using !m2 ... the last playing a note.
std::string MacroChain(int depth) {
    std::string text;
    for (int m = 1; m < depth; ++m) {
        text += "!m" + std::to_string(m) + " = !m" + std::to_string(m + 1) + "\n";
    }
    return text + "!m" + std::to_string(depth) + " = c\n";
}

struct LimitCase {
    std::string name;
    std::string atLimit;  // compiles
    std::string beyond;   // does not, with this first error
    std::string error;
    std::string fileName = "t.opm.qmml";
};

TEST(QmmlCompile, EveryLimitHoldsAtItsBoundary) {
    const std::vector<LimitCase> cases{
        {"repeat count", kVoiced + "ch1 c [o4]65535\n", kVoiced + "ch1 c [o4]65536\n",
         "t.opm.qmml:3:10: error: repeat count 65536: a repeat plays 1 to 65,535 times"},
        {"repeat nesting",
         kVoiced + "ch1 c " + Repeated("[", 16) + "o4" + Repeated("]1", 16) + "\n",
         kVoiced + "ch1 c " + Repeated("[", 17) + "o4" + Repeated("]1", 17) + "\n",
         "t.opm.qmml:3:23: error: repeats nest at most 16 deep on one line"},
        {"macro depth", MacroChain(16) + kVoiced + "ch1 !m1\n",
         MacroChain(17) + kVoiced + "ch1 !m1\n",
         "t.opm.qmml:1:1: error: !m1 starts a chain of 17 macros; macros nest at most 16 deep"},
        {"line length", kVoiced + "ch1 c" + std::string(16'384 - 5, ' ') + "\n",
         kVoiced + "ch1 c" + std::string(16'384 - 4, ' ') + "\n",
         "t.opm.qmml:3:16385: error: the line is 16,385 bytes; a line holds at most 16,384"},
        {"OPM channel capacity", kVoiced + "ch1 [c64]49151\n", kVoiced + "ch1 [c64]49152\n",
         "t.opm.qmml:3:6: error: ch1 runs past the 49,151 rows an OPM song can play, in bar 768; "
         "the music after it is left out"},
        {"OPN2 channel capacity", kVoiced + "ch1 [c64]65535\n", kVoiced + "ch1 [c64]65535 c64\n",
         "t.opn2.qmml:3:16: error: ch1 runs past the 65,535 rows an OPN2 song can play, in bar "
         "1,024; the music after it is left out",
         "t.opn2.qmml"},
        {"#rows", "#rows 49151\n" + kVoiced + "ch1 c\n", "#rows 49152\n" + kVoiced + "ch1 c\n",
         "t.opm.qmml:1:1: error: #rows 49,152 is more than the 49,151 rows an OPM song can play"},
        {"length in rows", kVoiced + "ch1 c%65535\n", kVoiced + "ch1 c%65536\n",
         "t.opn2.qmml:3:6: error: %65536 is longer than the 65,535 rows a channel can hold",
         "t.opn2.qmml"},
        {"voice number", "@255 \"plain.voice\"\nch1 @255 c\n", "@256 \"plain.voice\"\nch1 @256 c\n",
         "t.opm.qmml:1:1: error: a voice is defined as @N \"file.voice\" or @N { ... }, N from 0 "
         "to 255"},
        {"transposition", kVoiced + "ch1 o0 k+48 c\n", kVoiced + "ch1 o0 k+49 c\n",
         "t.opm.qmml:3:8: error: transposition is k-48 to k+48"},
        {"tempo, fastest", "#tempo 750\n" + kVoiced + "ch1 c\n",
         "#tempo 750.001\n" + kVoiced + "ch1 c\n",
         "t.opm.qmml:1:1: error: #tempo 750 is outside what speeds 1 to 255 play on OPM: 2.94 to "
         "750 beats a minute"},
        {"tempo, slowest", "#tempo 2.942\n" + kVoiced + "ch1 c\n",
         "#tempo 2.941\n" + kVoiced + "ch1 c\n",
         "t.opm.qmml:1:1: error: #tempo 2.94 is outside what speeds 1 to 255 play on OPM: 2.94 to "
         "750 beats a minute"},
        // Each item and each repeat pass is a step: 1 + 2047 x (2 + 2 x 4095) + 1 + 2 x 4095.
        {"expansion steps", "ch1 [[o4]4095]2047 [o4]4095\n", "ch1 [[o4]4095]2047 [o4]4095 o4\n",
         "t.opm.qmml: error: the expansion passes 16,777,216 steps (repeats and macros); nothing "
         "more is expanded"},
        {"source size", std::string(qmml::kMaxSourceBytes, '\n'),
         std::string(qmml::kMaxSourceBytes + 1, '\n'),
         "t.opm.qmml: error: the source is 2,097,153 bytes; a source holds at most 2,097,152"},
    };
    CompilerFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qmml::Result ok = folder.CompileQmml(c.atLimit, c.fileName);
        EXPECT_TRUE(ok.Ok()) << ::testing::PrintToString(DiagnosticLines(ok, c.fileName));
        const qmml::Result bad = folder.CompileQmml(c.beyond, c.fileName);
        ASSERT_FALSE(bad.Ok());
        const auto lines = DiagnosticLines(bad, c.fileName);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.error), lines.end())
            << ::testing::PrintToString(lines);
        EXPECT_TRUE(bad.song.empty());
    }
}

TEST(QmmlCompile, HostileSourcesEndWithABoundedReport) {
    CompilerFolder folder;
    // A line of megabytes is refused unread; the next line is read as usual.
    const qmml::Result longLine =
        folder.CompileQmml(kVoiced + "ch1 " + std::string(1'500'000, 'c') + "\nch1 X\n");
    EXPECT_EQ(DiagnosticLines(longLine),
              (std::vector<std::string>{
                  "t.opm.qmml:3:16385: error: the line is 1,500,004 bytes; a line holds at most "
                  "16,384",
                  "t.opm.qmml:4:5: error: 'X' is unknown: notes and commands are lower case"}));
    // Thousands of errors: all counted, the first 200 kept.
    const qmml::Result many = folder.CompileQmml(kVoiced + "ch1 " + Repeated("X ", 5000) + "\n");
    EXPECT_EQ(many.errors, 5000);
    EXPECT_EQ(many.diagnostics.size(), qmml::kMaxDiagnostics);
    EXPECT_EQ(many.dropped, 5000 - static_cast<int>(qmml::kMaxDiagnostics));
    // Sixteen brackets of 65,535 passes each, and a cycle of macros, stop at once.
    const qmml::Result deep = folder.CompileQmml(kVoiced + "ch1 " + Repeated("[", 16) + "c64" +
                                                 Repeated("]65535", 16) + "\n");
    EXPECT_EQ(DiagnosticLines(deep),
              (std::vector<std::string>{"t.opm.qmml:3:21: error: ch1 runs past the 49,151 rows "
                                        "an OPM song can play, in bar 768; the music after it "
                                        "is left out"}));
}

TEST(QmmlCompile, TempoGivesTheNearestSpeedATieGoingToTheSlower) {
    struct Case {
        SongKind kind;
        std::int64_t tempoMilli;
        std::optional<qmml::SpeedForTempo> speed;
    };
    using S = qmml::SpeedForTempo;
    const std::vector<Case> cases{
        {SongKind::OPM, 125'000, S{6, true}},  {SongKind::OPM, 120'000, S{6, false}},
        {SongKind::OPM, 100'000, S{8, false}},  // 7.5: the slower speed
        {SongKind::OPM, 750'000, S{1, true}},  {SongKind::OPM, 750'001, std::nullopt},
        {SongKind::OPM, 2'942, S{255, false}}, {SongKind::OPM, 2'941, std::nullopt},
        {SongKind::OPN2, 125'000, S{2, true}}, {SongKind::OPN2, 100'000, S{3, false}},  // 2.5
        {SongKind::OPN2, 250'000, S{1, true}}, {SongKind::OPN2, 250'001, std::nullopt},
        {SongKind::OPN2, 93'750, S{3, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(SongKindName(c.kind)) + ", " + std::to_string(c.tempoMilli));
        const auto speed = qmml::SpeedFor(c.kind, c.tempoMilli);
        ASSERT_EQ(speed.has_value(), c.speed.has_value());
        if (speed) {
            EXPECT_EQ(speed->speed, c.speed->speed);
            EXPECT_EQ(speed->exact, c.speed->exact);
        }
    }
    // The speed reaches the song file; without a tempo a song plays at 125 beats a minute.
    CompilerFolder folder;
    EXPECT_EQ(folder.CompileQmml("#tempo 100\n" + kVoiced + "ch1 c\n").song.at(269), 8);
    EXPECT_EQ(folder.CompileQmml(kVoiced + "ch1 c\n").song.at(269), 6);
    EXPECT_EQ(folder.CompileQmml(kVoiced + "ch1 c\n", "t.opn2.qmml").song.at(213), 2);
    EXPECT_EQ(folder.CompileQmml("#speed 9\n" + kVoiced + "ch1 c\n").song.at(269), 9);
}

TEST(QmmlCompile, HeaderVoicesAndPanMeanTheClassicHeader) {
    CompilerFolder folder;
    Bytes second = PlainVoice();
    second[24] = 0x31;
    folder.WriteVoice("second.voice", second);
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const std::string name = target.channelCount == 8 ? "h.opm.qmml" : "h.opn2.qmml";
        SCOPED_TRACE(name);
        // Channels 5 and up name no voice: their records hold zeros and the pan.
        const std::string source =
            "#title \"Quoted; title\"\n#speed 3\n#rows 1000\n@1 \"plain.voice\"\n"
            "@2 \"second.voice\"\nch1 @1 pan L\nch2,4 @2 pan R\nch3 @1\n";
        SourceSpec spec{.title = "Quoted; title",
                        .speed = "3",
                        .rowCount = "1000",
                        .pans = {"10", "01", "11", "01", "11", "11", "11", "11"},
                        .voices = {"plain.voice", "second.voice", "plain.voice", "second.voice",
                                   "empty.voice", "empty.voice", "empty.voice", "empty.voice"}};
        folder.WriteVoice("empty.voice", {});
        const qmml::Result built = folder.CompileQmml(source, name);
        EXPECT_EQ(DiagnosticLines(built, name), std::vector<std::string>{});
        ExpectSameBytes(built.song, folder.Compile(target, spec).song);
    }
}

TEST(QmmlCompile, PanOffClearsBothOutputBits) {
    CompilerFolder folder;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const std::string name = target.channelCount == 8 ? "p.opm.qmml" : "p.opn2.qmml";
        SCOPED_TRACE(name);
        const qmml::Result built = folder.CompileQmml(
            "@1 \"plain.voice\"\nch1 @1 pan L\nch2 @1 pan off\nch3 pan off\n", name);
        ASSERT_TRUE(built.Ok());
        // plain.voice ends in 0x75: feedback 7, connection 5, so 8 x 7 + 5 = 61 without pan.
        EXPECT_EQ(built.song.at(static_cast<std::size_t>(target.ControlByteOffset(0))), 61 + 64);
        EXPECT_EQ(built.song.at(static_cast<std::size_t>(target.ControlByteOffset(1))), 61);
        EXPECT_EQ(built.song.at(static_cast<std::size_t>(target.ControlByteOffset(2))), 0);
        EXPECT_EQ(built.classic.voices[1].panLine, "11");
        EXPECT_EQ(built.classic.voices[1].fileName.rfind("voices/voice1-off-", 0), 0u);
        EXPECT_NE(built.classic.voices[1].fileName, built.classic.voices[0].fileName);
    }
    Bytes loud = PlainVoice();
    loud[24] = 0x95;  // a feedback nibble of 9 leaves no room for the carry
    folder.WriteVoice("loud.voice", loud);
    EXPECT_EQ(DiagnosticLines(folder.CompileQmml("@1 \"loud.voice\"\nch1 @1 pan off c\n")),
              std::vector<std::string>{"t.opm.qmml:2:8: error: pan off cannot be written for "
                                       "ch1: its voice's feedback nibble is above 7"});
}

TEST(QmmlCompile, SlurredNotesKeepTheirNoteByteWithoutAKeyOn) {
    struct Case {
        std::string qmml;
        std::vector<std::string> classic;  // the nearest classic form
        std::vector<std::size_t> slurredRows;
    };
    const std::vector<Case> cases{
        {"ch1 c4&d4 e", {"ch1", "o4", "legato on", "c", "legato off", "d", "e"}, {16}},
        {"ch1 c4&>c8&<g8",
         {"ch1", "legato on", "o4", "c", "o5", "c8", "legato off", "o4", "g8"},
         {16, 24}},
        // A one-row note ends with its key off in that row, slur or not.
        {"ch1 c4&d64 e", {"ch1", "o4", "legato on", "c", "legato off", "d64", "e"}, {}},
        {"ch1 legato on c&d legato off e",
         {"ch1", "legato on", "o4", "c", "d", "legato off", "e"},
         {16}},
    };
    CompilerFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.qmml);
        const qmml::Result built = folder.CompileQmml(QmmlHeader(kOPMTarget) + c.qmml + "\n");
        ASSERT_TRUE(built.Ok()) << ::testing::PrintToString(DiagnosticLines(built));
        Bytes expected =
            folder.Compile(kOPMTarget, SourceSpec{.rowCount = "512", .body = c.classic}).song;
        for (const std::size_t row : c.slurredRows) {
            expected.at(
                static_cast<std::size_t>(kOPMTarget.RowOffset(static_cast<long long>(row))) + 1) =
                0;
        }
        ExpectSameBytes(built.song, expected);
        EXPECT_EQ(built.slurs, std::count(c.qmml.begin(), c.qmml.end(), '&'));
    }
}

// Where each row's note or rest stands in the source: a repeat's tokens reach the rows once a
// pass, a tie lengthens its note, and the song's end cuts the last event short.
TEST(QmmlCompile, EventsMapRowsToTheirTokens) {
    CompilerFolder folder;
    const std::string source =
        "#title t\n#speed 6\n#rows 48\n@1 \"plain.voice\"\nch1,2 @1\n"
        "ch1 c8 [d16 r16]2 e4^8\n"
        "ch2 l2 g a\n";
    qmml::Options options;
    options.sourceName = "t.opm.qmml";
    options.baseFolder = folder.Path();
    options.mapEvents = true;
    const qmml::Result built = qmml::Compile(
        std::span(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()), options);
    ASSERT_TRUE(built.Ok()) << ::testing::PrintToString(DiagnosticLines(built));
    using E = qmml::MappedEvent;
    const std::vector<E> expected{
        {.channel = 0, .row = 0, .rows = 8, .line = 6, .column = 5, .note = true},
        {.channel = 0, .row = 8, .rows = 4, .line = 6, .column = 9, .note = true},
        {.channel = 0, .row = 12, .rows = 4, .line = 6, .column = 13, .note = false},
        {.channel = 0, .row = 16, .rows = 4, .line = 6, .column = 9, .note = true},
        {.channel = 0, .row = 20, .rows = 4, .line = 6, .column = 13, .note = false},
        {.channel = 0, .row = 24, .rows = 24, .line = 6, .column = 19, .note = true},
        {.channel = 1, .row = 0, .rows = 32, .line = 7, .column = 8, .note = true},
        {.channel = 1, .row = 32, .rows = 16, .line = 7, .column = 10, .note = true},
    };
    EXPECT_EQ(built.events, expected);
    // Only asked for.
    options.mapEvents = false;
    EXPECT_TRUE(
        qmml::Compile(
            std::span(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()), options)
            .events.empty());
}

TEST(QmmlVoice, TextBytesAndParametersAgree) {
    // The brass voice of the examples, written out.
    const std::string brass =
        "@5 { 4 6\n"
        "  M1: 12 6 0 7 1 26 1 1 0 0 0\n"
        "  C2: 14 4 0 7 1 8 0 1 7 0 0 ; in any order\n"
        "  M2: 12 6 0 7 1 30 1 1 3 0 0\n"
        "  C1: 14 4 0 7 1 8 0 1 0 0 0 }\n"
        "ch1 @5 c\n";
    CompilerFolder folder;
    const qmml::Result built = folder.CompileQmml(brass);
    ASSERT_TRUE(built.Ok()) << ::testing::PrintToString(DiagnosticLines(built));
    const Bytes file = ReadBytes(SourcePath("examples/voices/brass.voice"));
    EXPECT_EQ(Bytes(built.classic.voices[0].bytes.begin(), built.classic.voices[0].bytes.end()),
              file);

    for (const char* voice : {"bass", "brass", "epiano", "strings", "tom", "woodblock"}) {
        SCOPED_TRACE(voice);
        const Bytes bytes =
            ReadBytes(SourcePath(std::string("examples/voices/") + voice + ".voice"));
        qmml::VoiceBytes array{};
        std::copy(bytes.begin(), bytes.end(), array.begin());
        bool exact = false;
        const qmml::VoiceParameters parameters = qmml::DecodeVoice(array, &exact);
        EXPECT_TRUE(exact);
        EXPECT_EQ(qmml::EncodeVoice(parameters), array);
        // The text form reads back as the same voice.
        const qmml::Result again =
            folder.CompileQmml("@1 {\n" + qmml::FormatVoiceText(parameters) + "}\nch1 @1 c\n");
        ASSERT_TRUE(again.Ok()) << ::testing::PrintToString(DiagnosticLines(again));
        EXPECT_EQ(again.classic.voices[0].bytes, array);
    }
    // Bits outside every field are not kept.
    qmml::VoiceBytes stray{};
    stray[0] = 0x80;
    bool exact = true;
    EXPECT_EQ(qmml::EncodeVoice(qmml::DecodeVoice(stray, &exact)), qmml::VoiceBytes{});
    EXPECT_FALSE(exact);
}

}  // namespace
}  // namespace qzr::test
