#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "golden.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/song_image_cases.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

TEST(QzrInfo, TinySongsMatchTheirGoldenText) {
    TempDir dir("qzr_info");
    std::filesystem::copy(SourcePath("examples/voices"), dir / "voices");
    struct Case {
        SongKind kind;
        std::string name;
        std::vector<std::string> body;
        std::vector<std::string> extraArgs;
    };
    const std::vector<Case> cases{
        {SongKind::OPM,
         "duet.opm.mml",
         {"ch1", "o4", "l16", "c", "e", "legato on", "g", "o+", "c8", "legato off", "r8", "ch2",
          "o2", "a4", "r4", "a8", "a8"},
         {}},
        {SongKind::OPN2, "duet.opn2.mml", {"ch6", "o7", "b32", "o0", "c+32"}, {"--rows", "2:5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CompileInto(dir.Path(), c.name,
                    MakeSource("Duet", c.kind == SongKind::OPM ? 3 : 1, 64, c.kind, c.body,
                               "voices/epiano.voice"),
                    c.kind);
        std::vector<std::string> args{QzrPath(), "info", c.name + ".qzr"};
        args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
        const ProgramRun result = RunProgram(args, dir.Path());
        ASSERT_EQ(result.status, 0) << result.err;
        ExpectGolden(result.out, c.name + ".info.txt");
    }
}

// The header lines qzr info prints for each image of the table the player is checked against.
TEST(QzrInfo, SpeedAndRowsFollowThePlayersReadingRules) {
    TempDir dir("qzr_info_rules");
    for (const auto& c : SongImageCases()) {
        SCOPED_TRACE(c.name);
        const auto path = dir / "song.qzr";
        WriteBytes(path, c.song.Get());
        const ProgramRun result =
            RunProgram({QzrPath(), "info", path.string(), "--chip",
                        c.kind == SongKind::OPM ? "opm" : "opn2", "--rows", "0:0"},
                       dir.Path());
        ASSERT_EQ(result.status, 0) << result.err;
        const auto lineOf = [&](const std::string& head) {
            const auto at = result.out.find("\n" + head);
            return at == std::string::npos
                       ? std::string{}
                       : result.out.substr(at + 1, result.out.find('\n', at + 1) - at - 1);
        };
        EXPECT_EQ(lineOf("speed").substr(0, lineOf("speed").find(" (")),
                  "speed     " + std::to_string(c.speed));
        EXPECT_EQ(lineOf("rows").substr(0, lineOf("rows").find(" (")),
                  "rows      " + std::to_string(c.rowCount));
        // One line a finding of the sanity rules, as the format module words it.
        std::vector<std::string> findingLines;
        for (const auto& f : CheckSongImage(SongImage{c.kind, c.song.Get()}, c.song.Get().size())) {
            findingLines.push_back((f.disqualifies ? "warning   " : "note      ") + f.message);
        }
        std::vector<std::string> shown;
        for (std::size_t at = 0; at < result.out.size();) {
            const std::size_t end = result.out.find('\n', at);
            const std::string line = result.out.substr(at, end - at);
            if (line.rfind("warning   ", 0) == 0 || line.rfind("note      ", 0) == 0) {
                shown.push_back(line);
            }
            at = end == std::string::npos ? result.out.size() : end + 1;
        }
        EXPECT_EQ(shown, findingLines);
        EXPECT_EQ(shown.size(), c.faults.size());
    }
}

// Every argument reaches qzr as it was given, whatever blanks, quotes and backslashes it holds
// (on Windows through the command line the test runner quotes, which the C runtime splits
// again): qzr names it back in its refusal.
TEST(QzrInfo, ArgumentsArriveAsTheyWereGiven) {
    TempDir dir("qzr_info_arguments");
    const std::vector<std::string> names{
        "plain",
        "",
        "two words",
        "tab\there",
        "a \"quoted\" word",
        "back\\slash",
        "ends in a backslash\\",
        "two before a quote\\\\\"",
        "\"",
        "  ",
    };
    for (const auto& name : names) {
        SCOPED_TRACE("[" + name + "]");
        const ProgramRun run = RunProgram({QzrPath(), "info", name}, dir.Path());
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "qzr: " + name +
                               ": the name does not say the chip (.opm. or .opn2.); give --chip "
                               "opm or --chip opn2\n");
    }
}

}  // namespace
}  // namespace qzr::test
