#include "qzr/tools/check.h"

#include <gtest/gtest.h>

#include "child_process.h"
#include "golden.h"
#include "qzr/compiler/keyword_table.h"
#include "qzr/test_support/file_bytes.h"
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
              "ch9\nxyzzy\n\nch2\nc1\n");
    const ProgramResult result = RunProgram({QzrPath(), "check", "bad.opm.mml"}, dir.Path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    ExpectGolden(result.err, "bad.opm.mml.check.txt");

    WriteText(dir / "short.opn2.mml", "Short\n2\n0\n");
    const ProgramResult header = RunProgram({QzrPath(), "check", "short.opn2.mml"}, dir.Path());
    EXPECT_EQ(header.status, 1);
    ExpectGolden(header.err, "short.opn2.mml.check.txt");
}

TEST(QzrCheck, ExamplesAreClean) {
    for (const char* example : {"harbour_lights.opm.mml", "harbour_lights.opn2.mml"}) {
        SCOPED_TRACE(example);
        const ProgramResult result =
            RunProgram({QzrPath(), "check", example}, SourcePath("examples"));
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
        const ProgramResult result = RunProgram(args, dir.Path());
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
}

}  // namespace
}  // namespace qzr::test
