#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "child_process.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

constexpr int kRate = 44'100;
constexpr std::int64_t kTailFrames = 2 * kRate;

// Frames for `ticks` ticks of 5 ms, rounded up.
std::int64_t FramesForTicks(std::int64_t ticks) { return (ticks * kRate + 199) / 200; }

int RisingZeroCrossings(const std::vector<std::int16_t>& samples, std::int64_t first,
                        std::int64_t frames) {
    int crossings = 0;
    for (std::int64_t f = first + 1; f < first + frames; ++f) {
        const auto i = static_cast<std::size_t>(2 * f);
        if (samples[i - 2] < 0 && samples[i] >= 0) ++crossings;
    }
    return crossings;
}

int Peak(const std::vector<std::int16_t>& samples, std::int64_t first, std::int64_t frames) {
    int peak = 0;
    for (std::int64_t i = 2 * first; i < 2 * (first + frames); ++i) {
        peak = std::max(peak, std::abs(int{samples[static_cast<std::size_t>(i)]}));
    }
    return peak;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSineVoice(dir_ / "sine.voice");
        // One whole note of a (o4, 440 Hz) over 64 rows at 6 ticks a row: 1.92 s.
        song_ = CompileInto(dir_.Path(), "tiny.opm.mml",
                            MakeSource("Tiny", 6, 64, SongKind::OPM, {"ch1", "o4", "a1"}),
                            SongKind::OPM);
    }
    ProgramResult Qzr(std::vector<std::string> args) {
        args.insert(args.begin(), QzrPath());
        return RunProgram(args, dir_.Path());
    }

    TempDir dir_{"qzr_render"};
    std::filesystem::path song_;
};

TEST_F(RenderTest, TinySongHasTheRightLengthAndPitch) {
    const ProgramResult result = Qzr({"render", "tiny.opm.mml.qzr"});
    ASSERT_EQ(result.status, 0) << result.err;
    // Beside the song, with its last extension replaced; no progress bar into a pipe.
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "");
    const auto samples = DecodeSamples(dir_ / "tiny.opm.mml.wav");
    ASSERT_EQ(static_cast<std::int64_t>(samples.size()),
              2 * (FramesForTicks(64 * 6) + kTailFrames));

    EXPECT_NEAR(RisingZeroCrossings(samples, kRate / 10, kRate), 440, 2);
    EXPECT_GT(Peak(samples, kRate / 10, kRate), 1000);
    // The note is keyed off in its last row and releases at the fastest rate.
    EXPECT_LT(Peak(samples, FramesForTicks(64 * 6) + kRate / 10, kRate), 16);
}

// The bar needs a terminal: util-linux's `script` gives the program one.
TEST_F(RenderTest, ProgressBarOnlyOnATerminal) {
    if (!std::filesystem::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) for a terminal";
    const ProgramResult onTerminal = RunProgram(
        {"/usr/bin/script", "-qec", QzrPath() + " render tiny.opm.mml.qzr -o tty.wav", "/dev/null"},
        dir_.Path());
    ASSERT_EQ(onTerminal.status, 0) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("rendering ["), std::string::npos) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("100%"), std::string::npos);
    // Into a pipe: nothing at all on either stream.
    const ProgramResult piped = Qzr({"render", "tiny.opm.mml.qzr", "-o", "pipe.wav"});
    EXPECT_EQ(piped.err + piped.out, "");
    EXPECT_EQ(DecodeSamples(dir_ / "tty.wav"), DecodeSamples(dir_ / "pipe.wav"));
}

TEST_F(RenderTest, TwoLoopsLastTwoPassesAndTheTail) {
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "one.wav"}).status, 0);
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "two.wav", "--loops", "2"}).status, 0);
    const auto one = static_cast<std::int64_t>(DecodeSamples(dir_ / "one.wav").size() / 2);
    const auto two = static_cast<std::int64_t>(DecodeSamples(dir_ / "two.wav").size() / 2);
    EXPECT_NEAR(static_cast<double>(two - kTailFrames),
                2.0 * static_cast<double>(one - kTailFrames), 1.0);
    // The second pass is heard: it plays the note again.
    const auto samples = DecodeSamples(dir_ / "two.wav");
    EXPECT_GT(Peak(samples, FramesForTicks(64 * 6) + kRate / 10, kRate / 2), 1000);
}

TEST_F(RenderTest, FlacWavAndStandardOutputHoldTheSameSamples) {
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "x.wav", "--seconds", "1"}).status, 0);
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "x.flac", "--seconds", "1"}).status, 0);
    const ProgramResult piped = Qzr({"render", "tiny.opm.mml.qzr", "-o", "-", "--seconds", "1"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    WriteText(dir_ / "piped.wav", piped.out);

    const auto wav = DecodeSamples(dir_ / "x.wav");
    EXPECT_EQ(wav.size(), 2u * kRate);
    EXPECT_EQ(DecodeSamples(dir_ / "x.flac"), wav);
    EXPECT_EQ(DecodeSamples(dir_ / "piped.wav"), wav);
}

TEST_F(RenderTest, MuteSilencesAndSoloKeepsAChannel) {
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "all.wav", "--seconds", "1"}).status, 0);
    ASSERT_EQ(
        Qzr({"render", "tiny.opm.mml.qzr", "-o", "mute.wav", "--seconds", "1", "--mute", "1,2"})
            .status,
        0);
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "solo.wav", "--seconds", "1", "--solo", "1"})
                  .status,
              0);
    EXPECT_EQ(Peak(DecodeSamples(dir_ / "mute.wav"), 0, kRate), 0);
    EXPECT_EQ(DecodeSamples(dir_ / "solo.wav"), DecodeSamples(dir_ / "all.wav"));
}

TEST_F(RenderTest, FadeEndsInSilence) {
    ASSERT_EQ(
        Qzr({"render", "tiny.opm.mml.qzr", "-o", "fade.wav", "--seconds", "1", "--fade", "0.5"})
            .status,
        0);
    const auto samples = DecodeSamples(dir_ / "fade.wav");
    const int full = Peak(samples, kRate / 10, kRate / 10);
    EXPECT_NEAR(Peak(samples, kRate * 3 / 4, kRate / 100), full / 2, full / 20);
    EXPECT_LT(Peak(samples, kRate - kRate / 100, kRate / 100), full / 50);
}

TEST_F(RenderTest, SongThatNeverWrapsNeedsSeconds) {
    CompileInto(dir_.Path(), "still.opm.mml",
                MakeSource("Still", 0, 64, SongKind::OPM, {"ch1", "a"}), SongKind::OPM);
    const ProgramResult refused = Qzr({"render", "still.opm.mml.qzr"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--seconds"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "still.opm.mml.wav"));

    ASSERT_EQ(Qzr({"render", "still.opm.mml.qzr", "--seconds", "0.5"}).status, 0);
    EXPECT_EQ(DecodeSamples(dir_ / "still.opm.mml.wav").size(), 2u * kRate / 2);
}

TEST_F(RenderTest, BadArgumentsAndUnreadableFilesGiveStatusTwo) {
    WriteText(dir_ / "keep.opm.wav", "mine");
    WriteText(dir_ / "nochip.qzr", "x");
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate"},
        {"render"},
        {"render", "missing.opm.qzr"},
        {"render", "nochip.qzr"},
        {"render", "tiny.opm.mml.qzr", "--chip", "sid"},
        {"render", "tiny.opm.mml.qzr", "--loops", "0"},
        {"render", "tiny.opm.mml.qzr", "--rate", "100"},
        {"render", "tiny.opm.mml.qzr", "-o", "out.mp3"},
        {"render", "tiny.opm.mml.qzr", "-o", "tiny.opm.mml.qzr"},
        {"render", "tiny.opm.mml.qzr", "--mute", "9"},
        {"render", "tiny.opm.mml.qzr", "--mute", "1,,2"},
        {"render", "tiny.opm.mml.qzr", "--mute", "1", "--solo", "2"},
        {"render", ".", "--chip", "opm", "-o", "keep.opm.wav"},
        {"info", "tiny.opm.mml.qzr", "--rows", "3-4"},
        {"info", "missing.opm.qzr"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& arg : args) joined += arg + " ";
        SCOPED_TRACE(joined);
        const ProgramResult result = Qzr(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
    // Neither the song nor a file in the way was touched.
    EXPECT_EQ(ReadText(dir_ / "keep.opm.wav"), "mine");
    EXPECT_TRUE(std::filesystem::exists(song_));
}

}  // namespace
}  // namespace qzr::test
