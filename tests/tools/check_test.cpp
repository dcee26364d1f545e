#include "qzr/tools/check.h"

#include <gtest/gtest.h>

#include "check_answers.h"
#include "golden.h"
#include "qzr/compiler/keyword_table.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

TEST(QzrCheck, EveryKindOfFindingMatchesTheGoldenText) {
    TempDir dir("qzr_check");
    std::filesystem::copy(SourcePath("examples/voices"), dir / "voices");
    WriteBytes(dir / "voices/short.voice", {0x01, 0x02, 0x03});
    WriteText(dir / "bad.opm.mml",
              "A title that is longer than twenty-four bytes\n"
              "256\n70000\n"
              "11\nvoices/brass.voice\n1\nvoices/strings.voice\n11\nmissing.voice\n"
              "10\nvoices/short.voice\n11\nvoices/tom.voice\n01\nvoices/tom.voice\n"
              "11\nvoices/tom.voice\n11\nvoices/tom.voice\n"
              "ch1\no4\nC4\nc 4\ne+\nb+8\nc64.\no8\no7\no+\nc\no4\nl%0\nc\nl4\n"
              "ch9\nxyzzy\n\nch2\nc1\n"
              // Other dialects, several tokens on a line, a number that is no length, the same
              // slip twice, and causes that spoil many notes once each.
              ">\nq6\nb3\no4 l8 c\ncdefg\nC4\nl%0\nc\nd\nr\nl4\no7\no+\no+\nc\nd\ne\no4\n");
    const ProgramRun result = RunProgram({QzrPath(), "check", "bad.opm.mml"}, dir.Path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    ExpectGolden(result.err, "bad.opm.mml.check.txt");

    // A voice path that opens from the source's folder, not from where the compiler runs.
    std::filesystem::create_directories(dir / "songs/voices");
    std::filesystem::copy(SourcePath("examples/voices/tom.voice"), dir / "songs/voices/tom.voice");
    std::string elsewhere = "Elsewhere\n6\n64\n";
    for (int v = 0; v < 8; ++v) elsewhere += "11\nvoices/tom.voice\n";
    WriteText(dir / "songs/elsewhere.opm.mml", elsewhere + "ch1\nc1\n");
    const ProgramRun moved =
        RunProgram({QzrPath(), "check", "../songs/elsewhere.opm.mml"}, dir / "voices");
    EXPECT_EQ(moved.status, 1);
    EXPECT_EQ(moved.err.substr(0, moved.err.find('\n')),
              "../songs/elsewhere.opm.mml:5:1: warning: cannot read voice file 'voices/tom.voice'; "
              "the compiler stops here (voice paths open from the folder the compiler runs in; "
              "this one opens from the source's folder, so run the compiler there)");

    WriteText(dir / "short.opn2.mml", "Short\n2\n0\n");
    const ProgramRun header = RunProgram({QzrPath(), "check", "short.opn2.mml"}, dir.Path());
    EXPECT_EQ(header.status, 1);
    ExpectGolden(header.err, "short.opn2.mml.check.txt");
}

TEST(QzrCheck, ExamplesAreClean) {
    for (const char* example : {"harbour_lights.opm.mml", "harbour_lights.opn2.mml"}) {
        SCOPED_TRACE(example);
        const ProgramRun result = RunProgram({QzrPath(), "check", example}, SourcePath("examples"));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
    }
}

TEST(QzrCheck, NoKeywordOfTheCompilerIsReportedUnknown) {
    TempDir dir("qzr_check_keywords");
    WriteSineVoice(dir / "sine.voice");
    for (const SongKind kind : {SongKind::OPM, SongKind::OPN2}) {
        const SongTarget& target = TargetFor(kind);
        std::vector<std::string> body;
        for (const Keyword& keyword : KeywordsFor(target).Entries()) {
            body.emplace_back(keyword.Text());
        }
        const std::string source = MakeSource("All", 1, 4000, kind, body);
        const auto found = tools::CheckSource(
            std::span(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()), target,
            dir.Path(), dir / "all.mml");
        for (const auto& d : found) {
            EXPECT_EQ(d.message.find("matches no keyword"), std::string::npos) << d.message;
        }
    }
}

TEST(QzrCheck, UnreadableSourceGivesStatusTwo) {
    TempDir dir("qzr_check_missing");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{QzrPath(), "check", "missing.opm.mml"},
          std::vector<std::string>{QzrPath(), "check", ".", "--chip", "opm"},
          std::vector<std::string>{QzrPath(), "check", "song.mml"}}) {
        SCOPED_TRACE(args[2]);
        const ProgramRun result = RunProgram(args, dir.Path());
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
}

TEST(QzrCheck, HintsNameWhatALineMeant) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {">", "an octave up is written o+"},
        {"<", "an octave down is written o-"},
        {"q6", "there is no gate time; a note is released in its last row"},
        {"v12", "there is no volume; a channel plays at its voice's level"},
        {"t120", "there is no tempo token; the speed is line 2"},
        {"b3",
         "'3' is not a length: lengths are 1 2 4 8 16 32 64, dotted 1. to 32.; for 3 rows write "
         "l%3 on the line before and 'b' alone"},
        {"r5",
         "'5' is not a length: lengths are 1 2 4 8 16 32 64, dotted 1. to 32.; for 5 rows write "
         "l%5 on the line before and 'r' alone"},
        {"o4l8c",
         "it holds 'o4', 'l8', 'c': one token per line here (qzr build takes several "
         "on a line)"},
        {"ch1 c+4",
         "it holds 'ch1', 'c+4': one token per line here (qzr build takes several on "
         "a line)"},
        {"lgato on", "did you mean 'legato on'?"},
        {"C4", "did you mean 'c4'?"},
        {"c64.", "there is no dotted sixty-fourth (a row and a half); write 'c64' or 'c32'"},
        // A different first letter is a different word, not a slip.
        {"x4", ""},
        {"zz", ""},
    };
    for (const auto& [line, hint] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(tools::SuggestKeyword(line, kOPMTarget), hint);
    }
}

// A line of 100 kB gets an answer at once, its unknown word quoted short.
TEST(QzrCheck, LongLinesGetAnAnswer) {
    TempDir dir("qzr_check_long");
    WriteSineVoice(dir / "sine.voice");
    const std::string junk(100'000, 'q');
    WriteText(dir / "long.opm.mml", MakeSource("Long", 6, 16, SongKind::OPM, {"ch1", junk, "c"}));
    const std::string longLine = "long.opm.mml:21:";
    ExpectCheckAnswers(dir.Path(),
                       {{"long.opm.mml",
                         1,
                         {longLine + "1: warning: '" + junk.substr(0, 40) +
                              "... (65536 bytes)' matches no keyword and is ignored",
                          longLine + "65537: warning: the line is longer than 65536 bytes; the "
                                     "compiler reads only the first 65536"}}});
}

}  // namespace
}  // namespace qzr::test
