#include <gtest/gtest.h>

#include "child_process.h"
#include "golden.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

class QzrDiff : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(SourcePath("examples/voices"), dir_ / "voices");
        CompileInto(dir_.Path(), "a.opm.mml", Source("One", 6, "voices/brass.voice", "c"),
                    SongKind::OPM);
        CompileInto(dir_.Path(), "b.opm.mml", Source("Two", 5, "voices/bass.voice", "d"),
                    SongKind::OPM);
        CompileInto(dir_.Path(), "c.opm.mml", Source("One", 6, "voices/brass.voice", "c", "e"),
                    SongKind::OPM);
    }
    static std::string Source(const std::string& title, int speed, const std::string& voice,
                              const std::string& first, const std::string& second = {}) {
        std::vector<std::string> body{"ch1", "o4", first + "8"};
        if (!second.empty()) body.insert(body.end(), {"ch3", second + "8"});
        return MakeSource(title, speed, second.empty() ? 8 : 9, SongKind::OPM, body, voice);
    }
    ProgramResult Diff(const std::string& a, const std::string& b) {
        return RunProgram({QzrPath(), "diff", a, b}, dir_.Path());
    }
    TempDir dir_{"qzr_diff"};
};

TEST_F(QzrDiff, EqualSongsGiveStatusZeroAndNoOutput) {
    const ProgramResult result = Diff("a.opm.mml.qzr", "a.opm.mml.qzr");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
}

TEST_F(QzrDiff, DifferencesMatchTheGoldenText) {
    const ProgramResult header = Diff("a.opm.mml.qzr", "b.opm.mml.qzr");
    EXPECT_EQ(header.status, 1);
    ExpectGolden(header.out, "a_b.diff.txt");
    // One more row: a note in ch3, and a file longer by a row.
    const ProgramResult rows = Diff("a.opm.mml.qzr", "c.opm.mml.qzr");
    EXPECT_EQ(rows.status, 1);
    ExpectGolden(rows.out, "a_c.diff.txt");
}

// Each song is read with its own chip's layout: the same notes in an OPN2 song are the same
// events, and bytes of two layouts are not compared.
TEST_F(QzrDiff, SongsOfTheTwoChipsCompareByTheirEvents) {
    const std::vector<std::string> body{"ch1", "o4", "c8"};
    CompileInto(dir_.Path(), "d.opn2.mml",
                MakeSource("One", 6, 8, SongKind::OPN2, body, "voices/brass.voice"),
                SongKind::OPN2);
    const ProgramResult result = Diff("a.opm.mml.qzr", "d.opn2.mml.qzr");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.rfind("chip: OPM vs OPN2\n", 0), 0u) << result.out;
    EXPECT_EQ(result.out.find("first difference in the rows"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("bytes differ\n"), std::string::npos) << result.out;
    // Named for one chip, both are read with its layout.
    const ProgramResult forced = RunProgram(
        {QzrPath(), "diff", "--chip", "opm", "a.opm.mml.qzr", "d.opn2.mml.qzr"}, dir_.Path());
    EXPECT_EQ(forced.out.find("chip:"), std::string::npos) << forced.out;
    EXPECT_NE(forced.out.find("bytes differ\n"), std::string::npos) << forced.out;
}

TEST_F(QzrDiff, UnreadableFileGivesStatusTwo) {
    const ProgramResult result = Diff("a.opm.mml.qzr", "missing.opm.qzr");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("missing.opm.qzr"), std::string::npos);
    EXPECT_EQ(RunProgram({QzrPath(), "diff", "a.opm.mml.qzr"}, dir_.Path()).status, 2);
}

}  // namespace
}  // namespace qzr::test
