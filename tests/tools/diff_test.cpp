#include "qzr/tools/diff.h"

#include <gtest/gtest.h>

#include "golden.h"
#include "qzr/format/song_image.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/song_bytes.h"
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
    ProgramRun Diff(const std::string& a, const std::string& b) {
        return RunProgram({QzrPath(), "diff", a, b}, dir_.Path());
    }
    TempDir dir_{"qzr_diff"};
};

TEST_F(QzrDiff, EqualSongsGiveStatusZeroAndNoOutput) {
    const ProgramRun result = Diff("a.opm.mml.qzr", "a.opm.mml.qzr");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
}

TEST_F(QzrDiff, DifferencesMatchTheGoldenText) {
    const ProgramRun header = Diff("a.opm.mml.qzr", "b.opm.mml.qzr");
    EXPECT_EQ(header.status, 1);
    ExpectGolden(header.out, "a_b.diff.txt");
    // One more row: a note in ch3, and a file longer by a row.
    const ProgramRun rows = Diff("a.opm.mml.qzr", "c.opm.mml.qzr");
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
    const ProgramRun result = Diff("a.opm.mml.qzr", "d.opn2.mml.qzr");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.rfind("chip: OPM vs OPN2\n", 0), 0u) << result.out;
    EXPECT_EQ(result.out.find("first difference in the rows"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("bytes differ\n"), std::string::npos) << result.out;
    // Named for one chip, both are read with its layout.
    const ProgramRun forced = RunProgram(
        {QzrPath(), "diff", "--chip", "opm", "a.opm.mml.qzr", "d.opn2.mml.qzr"}, dir_.Path());
    EXPECT_EQ(forced.out.find("chip:"), std::string::npos) << forced.out;
    EXPECT_NE(forced.out.find("bytes differ\n"), std::string::npos) << forced.out;
}

// Rows past a file's end read as the player reads them (255s within the row count, nothing past
// it), however many there are.
TEST(DescribeDifferences, RowsPastTheFilesEndCompareAsThePlayerReadsThem) {
    const auto song = [](SongKind kind, std::uint16_t count, int rows) {
        SongBytes bytes(TargetFor(kind));
        bytes.Speed(6).RowCount(count).Rows(rows);
        return SongImage(kind, bytes.Get());
    };
    struct Case {
        const char* name;
        SongImage a;
        SongImage b;
        std::string first;    // the first difference, as written
        long long differing;  // events
    };
    const SongImage opm = song(SongKind::OPM, 40'000, 1);
    const SongImage opn2 = song(SongKind::OPN2, 65'000, 1);
    const std::vector<Case> cases{
        // Row 2 is in b's file only; rows 3 to 499 read alike; rows 500 to 999 hold 255s in a
        // and nothing in b, on all eight channels.
        {"one chip", song(SongKind::OPM, 1000, 2), song(SongKind::OPM, 500, 3),
         "row 2, ch1: ?FF ?FF vs ...", 8 + 8 * 500},
        // Alike up to the shorter count, then 255s against nothing on the six channels both have.
        {"two chips", opm, opn2, "row " + std::to_string(opm.RowCount()) + ", ch1: ... vs ?FF ?FF",
         6LL * (opn2.RowCount() - opm.RowCount())},
        {"alike past the end", song(SongKind::OPM, 60'000, 0), song(SongKind::OPM, 60'000, 0), "",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = tools::DescribeDifferences(c.a, c.b);
        const std::string expected = c.differing == 0
                                         ? std::string()
                                         : "first difference in the rows: " + c.first + "\n" +
                                               std::to_string(c.differing) + " events differ\n";
        // The rows' lines, without what follows them (the bytes).
        const auto from = text.find("first difference in the rows");
        const auto to = text.find("events differ\n", from);
        EXPECT_EQ(from == std::string::npos ? std::string() : text.substr(from, to + 14 - from),
                  expected)
            << text;
    }
}

TEST_F(QzrDiff, UnreadableFileGivesStatusTwo) {
    const ProgramRun result = Diff("a.opm.mml.qzr", "missing.opm.qzr");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("missing.opm.qzr"), std::string::npos);
    EXPECT_EQ(RunProgram({QzrPath(), "diff", "a.opm.mml.qzr"}, dir_.Path()).status, 2);
}

}  // namespace
}  // namespace qzr::test
