// The composer's MML: every form against the classic source it means (both compiled by the same
// core, compared byte for byte), every error class, every limit at its boundary.
#include "qzr/compiler/qmml_compile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/compiler/qmml_limits.h"

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

}  // namespace
}  // namespace qzr::test
