#include <gtest/gtest.h>

#include <chrono>

#include "play_fixture.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

using namespace std::chrono_literals;

class QzrPlay : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSineVoice(dir_ / "sine.voice");
        // 16 rows at one tick a row: 80 ms a pass.
        CompileInto(dir_.Path(), "short.opm.mml",
                    MakeSource("Short", 1, 16, SongKind::OPM, {"ch1", "o4", "a"}), SongKind::OPM);
        CompileInto(dir_.Path(), "long.opn2.mml",
                    MakeSource("Long", 2, 4096, SongKind::OPN2, {"ch1", "o4", "a1"}),
                    SongKind::OPN2);
    }
    std::vector<std::string> Qzr(std::vector<std::string> args) {
        args.insert(args.begin(), QzrPath());
        return args;
    }
    TempDir dir_{"qzr_play"};
};

TEST_F(QzrPlay, EndsAfterSecondsOnTheSilentClock) {
    const auto began = std::chrono::steady_clock::now();
    const ProgramRun result =
        RunProgram(Qzr({"play", "long.opn2.mml.qzr", "--seconds", "1.2"}), dir_.Path());
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_GE(took, 1200ms);
    EXPECT_LT(took, 10s);
    // A status line a second, as the output is no terminal: rows advance at 30 ms a row.
    const std::vector<int> rows = StatusRows(result.out);
    ASSERT_GE(rows.size(), 2u) << result.out;
    EXPECT_NEAR(rows[1] - rows[0], 33, 8);
    EXPECT_TRUE(Contains(result.out, "stopped at row")) << result.out;
    EXPECT_FALSE(Contains(result.out, "\r"));
    // Without a device the composer is told, in one line, that nothing will be heard.
    const bool device = RunProgram(Qzr({"devices", "--quiet"}), dir_.Path()).status == 0;
    EXPECT_EQ(Contains(result.err, "no audio device; playing on the silent clock"), !device)
        << result.err;
    EXPECT_FALSE(Contains(result.err, "ALSA lib")) << result.err;
    // The time shown at the end is the time played; the 150 ms fade-out after it is not counted.
    EXPECT_TRUE(Contains(result.out, "passes, 0:01.2\n") ||
                Contains(result.out, "passes, 0:01.3\n"))
        << result.out;
}

TEST_F(QzrPlay, EndsAfterTheLoops) {
    const ProgramRun result =
        RunProgram(Qzr({"play", "short.opm.mml.qzr", "--loops", "3"}), dir_.Path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "after 3 passes")) << result.out;
}

TEST_F(QzrPlay, InterruptStopsCleanlyWithStatus130) {
    ChildProcess child(Qzr({"play", "long.opn2.mml.qzr"}), dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
    // It got as far as stopping the player and releasing the emulator, and said where it was.
    EXPECT_TRUE(Contains(child.Out(), "stopped at row")) << child.Out();
    EXPECT_FALSE(Contains(child.Err(), "ERROR")) << child.Err();
}

// A VGM plays its loops and the tail on the same engine, and Ctrl-C stops it as it stops a song.
TEST_F(QzrPlay, AVgmPlaysItsLoopsAndStopsOnInterrupt) {
    ASSERT_EQ(
        RunProgram(Qzr({"render", "short.opm.mml.qzr", "-o", "short.vgm"}), dir_.Path()).status, 0);
    const auto began = std::chrono::steady_clock::now();
    const ProgramRun result = RunProgram(Qzr({"play", "short.vgm", "--loops", "3"}), dir_.Path());
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "short.vgm: VGM 1.71, YM2151 at 3378641 Hz\n")) << result.out;
    // Three passes of 80 ms and the 2 s tail.
    EXPECT_GE(took, 2200ms);
    EXPECT_LT(took, 10s);

    ChildProcess child(Qzr({"play", "short.vgm", "--loops", "1000"}), dir_.Path());
    ASSERT_TRUE(child.WaitFor(
        [](const std::string& out, const std::string&) { return Contains(out, "writes: "); }, 20s));
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
    EXPECT_TRUE(Contains(child.Out(), "stopped after")) << child.Out();
}

TEST_F(QzrPlay, BadArgumentsGiveStatusTwo) {
    const std::vector<std::vector<std::string>> cases{
        {"play"},
        {"play", "missing.opm.qzr"},
        {"play", "short.opm.mml.qzr", "--loops", "0"},
        {"play", "short.opm.mml.qzr", "--seconds", "-1"},
        {"play", "short.opm.mml.qzr", "--watch", "missing.mml"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        const ProgramRun result = RunProgram(Qzr(args), dir_.Path());
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
}

TEST_F(QzrWatch, AnEditIsHeardFromTheSameRow) {
    ChildProcess child(
        {QzrPath(), "play", std::string(kSource) + ".qzr", "--watch", kSource, "--seconds", "30"},
        dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    Save("\nch1\no4\na4.\n", "\nch1\no4\nb4.\n");
    ASSERT_TRUE(child.WaitFor(
        [](const std::string& out, const std::string&) { return Contains(out, "reloaded"); }, 10s))
        << child.Out() << child.Err();

    const std::string out = child.Out();
    const std::size_t reloadAt = out.find("reloaded ");
    const auto [after, afterEnd] = NumberAfter(out, " at row ", reloadAt);
    const int before = NumberAfter(out, "(was at row ", afterEnd).first;
    ASSERT_GE(after, 0) << out;
    EXPECT_TRUE(after == before || after == before + 1) << out;
    const std::vector<int> earlier = StatusRows(out.substr(0, reloadAt));
    EXPECT_LE(earlier.back(), before);
    EXPECT_GT(before, 0);

    // A saved voice file is picked up as well.
    WriteBytes(dir_ / "voices/brass.voice", ReadBytes(dir_ / "voices/bass.voice"));
    EXPECT_TRUE(child.WaitFor(
        [](const std::string& o, const std::string&) {
            std::size_t n = 0;
            for (std::size_t at = o.find("reloaded"); at != std::string::npos;
                 at = o.find("reloaded", at + 1))
                ++n;
            return n >= 2;
        },
        10s))
        << child.Out();
    ASSERT_TRUE(child.WaitFor(
        [after](const std::string& o, const std::string&) {
            const auto rows = StatusRows(o);
            return !rows.empty() && rows.back() > after;
        },
        10s));
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
}

TEST_F(QzrWatch, AFailingEditKeepsTheOldSongAndShowsTheFindings) {
    ChildProcess child(
        {QzrPath(), "play", std::string(kSource) + ".qzr", "--watch", kSource, "--seconds", "30"},
        dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    Save("voices/tom.voice", "voices/gone.voice");
    ASSERT_TRUE(child.WaitFor(
        [](const std::string&, const std::string& err) {
            return Contains(err, "warning: cannot read voice file 'voices/gone.voice'");
        },
        10s))
        << child.Err();
    EXPECT_TRUE(Contains(child.Err(), std::string(kSource) + ":19:1: warning:")) << child.Err();

    // The old song plays on: its rows keep moving forward and nothing was reloaded.
    const int rowsSoFar = StatusRows(child.Out()).back();
    ASSERT_TRUE(
        child.WaitFor([rowsSoFar](const std::string& o,
                                  const std::string&) { return StatusRows(o).back() > rowsSoFar; },
                      10s));
    EXPECT_FALSE(Contains(child.Out(), "reloaded"));
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
}

TEST_F(QzrWatch, AnEditThatCompilesStillShowsWhatTheCompilerSkips) {
    ChildProcess child(
        {QzrPath(), "play", std::string(kSource) + ".qzr", "--watch", kSource, "--seconds", "30"},
        dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    // The example is clean: nothing is shown before the edit but the line saying, where no
    // device opens, that nothing will be heard.
    const bool device = RunProgram({QzrPath(), "devices", "--quiet"}, dir_.Path()).status == 0;
    EXPECT_EQ(
        child.Err(),
        device ? "" : "qzr: no audio device; playing on the silent clock (in time, not heard)\n");
    Save("\nch1\no4\na4.\n", "\nch1\no4\nA4.\n");
    ASSERT_TRUE(child.WaitFor(
        [](const std::string& out, const std::string& err) {
            return Contains(out, "reloaded") &&
                   Contains(err, ":22:1: warning: 'A4.' matches no keyword and is ignored");
        },
        10s))
        << child.Out() << child.Err();
    EXPECT_TRUE(Contains(child.Err(),
                         ":20:1: warning: ch1 ends at row 1256, but the song loops "
                         "at row 1280"))
        << child.Err();
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
}

TEST_F(QzrWatch, AQmmlSourceReloadsAndShowsItsErrors) {
    constexpr const char* kQmml = "harbour_lights.opm.qmml";
    const ProgramRun built = RunProgram({QzrPath(), "build", kQmml}, dir_.Path());
    ASSERT_EQ(built.status, 0) << built.err;
    ChildProcess child(
        {QzrPath(), "play", "harbour_lights.opm.qzr", "--watch", kQmml, "--seconds", "30"},
        dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    std::string qmml = ReadText(dir_ / kQmml);
    const std::string melody = "ch1 a4. b8 >c e |";
    const std::size_t at = qmml.find(melody);
    ASSERT_NE(at, std::string::npos);
    qmml.replace(at, melody.size(), "ch1 b4. b8 >c e |");
    WriteText(dir_ / kQmml, qmml);
    ASSERT_TRUE(child.WaitFor(
        [](const std::string& out, const std::string&) { return Contains(out, "reloaded"); }, 10s))
        << child.Out() << child.Err();

    qmml.replace(at, melody.size(), "ch1 X4. b8 >c e |");
    WriteText(dir_ / kQmml, qmml);
    ASSERT_TRUE(child.WaitFor(
        [](const std::string&, const std::string& err) {
            return Contains(err,
                            "qzr: harbour_lights.opm.qmml does not compile (1 error); the "
                            "old song plays on") &&
                   Contains(err, "error: 'X' is unknown: notes and commands are lower case");
        },
        10s))
        << child.Err();
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
    // One reload: the second edit did not replace the song.
    const std::string out = child.Out();
    EXPECT_EQ(out.find("reloaded"), out.rfind("reloaded")) << out;
}

}  // namespace
}  // namespace qzr::test
