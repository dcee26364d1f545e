#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/frame_hash.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"
#include "render_fixture.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

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

std::uint32_t LE32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                      bytes[at + 3] << 24);
}

// A RIFF WAV whose sizes agree with the file's size: the RIFF size and the last chunk, "data",
// reaching exactly to the end.
bool HeaderMatchesSize(const Bytes& wav) {
    if (wav.size() < 12 || LE32(wav, 4) != wav.size() - 8) return false;
    std::size_t at = 12;
    while (at + 8 <= wav.size()) {
        const std::size_t size = LE32(wav, at + 4);
        const bool data = std::string(wav.begin() + static_cast<std::ptrdiff_t>(at),
                                      wav.begin() + static_cast<std::ptrdiff_t>(at + 4)) == "data";
        if (data) return at + 8 + size == wav.size();
        at += 8 + size + (size & 1);
    }
    return false;
}

// The level line after a render: "qzr: OUT: peak -6.0 dBFS, N samples clipped".
struct LevelLine {
    double dbfs = 0;
    long long clipped = -1;
};
LevelLine ParseLevel(const std::string& err, const std::string& output) {
    LevelLine level;
    const std::string start = "qzr: " + output + ": peak ";
    const std::size_t at = err.find(start);
    if (at != std::string::npos) {
        std::sscanf(err.c_str() + at + start.size(), "%lf dBFS, %lld", &level.dbfs, &level.clipped);
    }
    return level;
}

double PeakDbfs(const std::vector<std::int16_t>& samples) {
    return 20 * std::log10(std::min(Peak(samples, 0, static_cast<std::int64_t>(samples.size() / 2)),
                                    32767) /
                           32767.0);
}

TEST_F(RenderTest, TinySongHasTheRightLengthAndPitch) {
    const ProgramRun result = Qzr({"render", "tiny.opm.mml.qzr"});
    ASSERT_EQ(result.status, 0) << result.err;
    // Beside the song, with its last extension replaced; no progress bar into a pipe, only the
    // level of what was written.
    EXPECT_EQ(result.out, "");
    const auto samples = DecodeSamples(dir_ / "tiny.opm.mml.wav");
    const LevelLine level = ParseLevel(result.err, "tiny.opm.mml.wav");
    EXPECT_NEAR(level.dbfs, PeakDbfs(samples), 0.051) << result.err;
    EXPECT_EQ(level.clipped, 0) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    ASSERT_EQ(static_cast<std::int64_t>(samples.size()),
              2 * (FramesForTicks(64 * 6) + kTailFrames));

    EXPECT_NEAR(RisingZeroCrossings(samples, kRate / 10, kRate), 440, 2);
    EXPECT_GT(Peak(samples, kRate / 10, kRate), 1000);
    // The note is keyed off in its last row and releases at the fastest rate.
    EXPECT_LT(Peak(samples, FramesForTicks(64 * 6) + kRate / 10, kRate), 16);
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
    const ProgramRun piped =
        RunProgram({QzrPath(), "render", "tiny.opm.mml.qzr", "-o", "-", "--seconds", "1"},
                   dir_.Path(), std::chrono::minutes(5), OutputKind::kBytes);
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

// After the pass the music plays on under the fade (the note starts again), where without a
// fade the release tail is silent.
TEST_F(RenderTest, FadePlaysOnIntoTheNextPass) {
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "fade.wav", "--fade", "1"}).status, 0);
    const auto samples = DecodeSamples(dir_ / "fade.wav");
    const std::int64_t passEnd = FramesForTicks(64 * 6);
    ASSERT_EQ(static_cast<std::int64_t>(samples.size()), 2 * (passEnd + kRate));
    const int full = Peak(samples, kRate / 10, kRate / 10);
    // A tenth of a second into the fade, nine tenths of the level are left.
    EXPECT_NEAR(Peak(samples, passEnd + kRate / 10, kRate / 20), full * 0.88, full * 0.06);
    EXPECT_LT(Peak(samples, passEnd + kRate - kRate / 100, kRate / 100), full / 50);
}

// --gain scales every sample; what reaches full scale is counted and warned about.
TEST_F(RenderTest, GainScalesAndClippingIsReported) {
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "plain.wav", "--seconds", "1"}).status, 0);
    const ProgramRun half = Qzr(
        {"render", "tiny.opm.mml.qzr", "-o", "half.wav", "--seconds", "1", "--gain", "-6.0206"});
    ASSERT_EQ(half.status, 0) << half.err;
    const auto plain = DecodeSamples(dir_ / "plain.wav");
    const auto halved = DecodeSamples(dir_ / "half.wav");
    ASSERT_EQ(halved.size(), plain.size());
    int worst = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        worst = std::max(worst, std::abs(2 * halved[i] - plain[i]));
    }
    EXPECT_LE(worst, 1);
    EXPECT_NEAR(ParseLevel(half.err, "half.wav").dbfs, PeakDbfs(halved), 0.051) << half.err;
    EXPECT_EQ(half.err.find("warning"), std::string::npos) << half.err;

    const ProgramRun loud =
        Qzr({"render", "tiny.opm.mml.qzr", "-o", "loud.wav", "--seconds", "1", "--gain", "40"});
    ASSERT_EQ(loud.status, 0) << loud.err;
    const auto clipped = DecodeSamples(dir_ / "loud.wav");
    const auto atFullScale = std::count_if(
        clipped.begin(), clipped.end(), [](std::int16_t s) { return s >= 32767 || s <= -32767; });
    EXPECT_GT(atFullScale, 0);
    EXPECT_EQ(ParseLevel(loud.err, "loud.wav").clipped, atFullScale) << loud.err;
    EXPECT_NE(loud.err.find("qzr: warning: loud.wav: "), std::string::npos) << loud.err;
}

// Stems: the mix as rendered without them, each channel's stem what the chip puts out with that
// channel alone (so a solo render's mix), and the stems adding up to the mix within what the
// DAC's floating-point format rounds away, scaled by the player's volume.
TEST_F(RenderTest, StemsAreEachChannelAloneAndAddUpToTheMix) {
    CompileInto(
        dir_.Path(), "two.opm.mml",
        MakeSource("Two", 6, 64, SongKind::OPM, {"ch1", "o4", "a1", "ch2", "o5", "e2", "g2"}),
        SongKind::OPM);
    const std::vector<std::string> cut{"--seconds", "1.5"};
    const auto render = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"render", "two.opm.mml.qzr"});
        args.insert(args.end(), cut.begin(), cut.end());
        const ProgramRun result = Qzr(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    };
    const ProgramRun stems = render({"-o", "two.wav", "--stems", "parts"});
    EXPECT_NE(stems.err.find("qzr: parts: the mix and 8 stems"), std::string::npos) << stems.err;
    render({"-o", "plain.wav"});
    render({"-o", "solo1.wav", "--solo", "1"});
    render({"-o", "solo2.wav", "--solo", "2"});

    const auto mix = DecodeSamples(dir_ / "parts/two.wav");
    EXPECT_EQ(mix, DecodeSamples(dir_ / "plain.wav"));
    std::vector<std::vector<std::int16_t>> parts;
    for (int c = 1; c <= 8; ++c) {
        parts.push_back(DecodeSamples(dir_ / ("parts/two.ch" + std::to_string(c) + ".wav")));
        ASSERT_EQ(parts.back().size(), mix.size()) << c;
    }
    EXPECT_EQ(parts[0], DecodeSamples(dir_ / "solo1.wav"));
    EXPECT_EQ(parts[1], DecodeSamples(dir_ / "solo2.wav"));
    EXPECT_GT(Peak(parts[1], 0, kRate), 1000);
    for (std::size_t c = 2; c < 8; ++c) EXPECT_EQ(Peak(parts[c], 0, kRate), 0) << c + 1;

    // The DAC keeps 10 bits of a value: its exponent e at the loudest (the chip's own level) is
    // what rounding costs at most, 2^(e - 1) for each channel and the mix.
    const int peak = Peak(mix, 0, static_cast<std::int64_t>(mix.size() / 2));
    const double chipPeak = peak * 1024.0 / 1200.0;
    const int e = std::clamp(static_cast<int>(std::floor(std::log2(chipPeak))) + 1 - 9, 0, 6);
    const double bound = 9 * std::ldexp(1.0, e - 1) * 1200.0 / 1024.0 + 9;
    int worst = 0;
    for (std::size_t i = 0; i < mix.size(); ++i) {
        int sum = 0;
        for (const auto& part : parts) sum += part[i];
        worst = std::max(worst, std::abs(sum - mix[i]));
    }
    EXPECT_LE(worst, bound);
    EXPECT_EQ(Qzr({"render", "two.opm.mml.qzr", "-o", "-", "--stems", "x"}).status, 2);
}

TEST_F(RenderTest, SongThatNeverWrapsNeedsSeconds) {
    CompileInto(dir_.Path(), "still.opm.mml",
                MakeSource("Still", 0, 64, SongKind::OPM, {"ch1", "a"}), SongKind::OPM);
    const ProgramRun refused = Qzr({"render", "still.opm.mml.qzr"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--seconds"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "still.opm.mml.wav"));

    ASSERT_EQ(Qzr({"render", "still.opm.mml.qzr", "--seconds", "0.5"}).status, 0);
    EXPECT_EQ(DecodeSamples(dir_ / "still.opm.mml.wav").size(), 2u * kRate / 2);
}

// Every run writes a temporary of its own: the output ends as one run's whole render, and every
// run that says it succeeded did put its render in place.
TEST_F(RenderTest, RunsAtOnceToOneOutputLeaveOneWholeRender) {
    constexpr int kRuns = 8;
    const auto seconds = [](int run) { return std::to_string(0.3 + 0.05 * run); };
    {
        std::vector<std::unique_ptr<ChildProcess>> runs;
        for (int run = 0; run < kRuns; ++run) {
            runs.push_back(std::make_unique<ChildProcess>(
                std::vector<std::string>{QzrPath(), "render", "tiny.opm.mml.qzr", "-o", "out.wav",
                                         "--seconds", seconds(run)},
                dir_.Path()));
        }
        for (auto& run : runs) EXPECT_EQ(run->Wait(), 0) << run->Err();
    }
    EXPECT_TRUE(HeaderMatchesSize(ReadBytes(dir_ / "out.wav")));
    const auto result = DecodeSamples(dir_ / "out.wav");
    bool matched = false;
    for (int run = 0; run < kRuns && !matched; ++run) {
        const std::string alone = "alone" + std::to_string(run) + ".wav";
        ASSERT_EQ(
            Qzr({"render", "tiny.opm.mml.qzr", "-o", alone, "--seconds", seconds(run)}).status, 0);
        matched = DecodeSamples(dir_ / alone) == result;
    }
    EXPECT_TRUE(matched) << "the output is no run's render";
    std::set<std::string> known{"tiny.opm.mml", "tiny.opm.mml.qzr", "sine.voice", "out.wav"};
    for (int run = 0; run < kRuns; ++run) known.insert("alone" + std::to_string(run) + ".wav");
    EXPECT_EQ(OtherFiles(dir_.Path(), known), std::vector<std::string>{});
}

// Ctrl-C in the middle of a render: the process ends by it, the file that was there is untouched
// and nothing else is left behind.
TEST_F(RenderTest, InterruptedRenderLeavesNoFileBehind) {
    ExpectEndingLeavesNoFileBehind([](const ChildProcess& run) { run.Interrupt(); },
                                   InterruptedStatus());
}

// An empty or cut-off file, or another chip's song, is no song of its kind: its "length" (a
// 17-hour one for an empty file) says nothing, so it renders only for the length given.
TEST_F(RenderTest, FileThatIsNoSongOfItsKindRendersOnlyWithSeconds) {
    const Bytes tiny = ReadBytes(song_);
    const Bytes tinyOPN2 = ReadBytes(CompileInto(
        dir_.Path(), "tiny.opn2.mml",
        MakeSource("Tiny", 2, 64, SongKind::OPN2, {"ch1", "o4", "a1"}), SongKind::OPN2));
    struct Case {
        std::string name;
        Bytes bytes;
        std::string chip;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"empty.qzr", {}, "opm", "the file is empty"},
        {"cut.qzr", Bytes(tiny.begin(), tiny.begin() + 200), "opm", "inside its 272-byte header"},
        {"other.qzr", tinyOPN2, "opm", "the shape of an OPN2 song"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir_ / c.name, c.bytes);
        const ProgramRun refused = Qzr({"render", c.name, "--chip", c.chip, "-o", "out.wav"});
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.err.find(c.reason), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("--seconds"), std::string::npos) << refused.err;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wav"));
        const ProgramRun given =
            Qzr({"render", c.name, "--chip", c.chip, "-o", "out.wav", "--seconds", "0.5"});
        ASSERT_EQ(given.status, 0) << given.err;
        EXPECT_EQ(DecodeSamples(dir_ / "out.wav").size(), 2u * kRate / 2);
        std::filesystem::remove(dir_ / "out.wav");
    }
}

// "-o -" writes the WAV as it renders: its header, stating the planned length, comes out long
// before the render could have ended, and nothing is held back in memory.
TEST_F(RenderTest, StandardOutputStreamsAWavOfThePlannedLength) {
    CompileInto(dir_.Path(), "still.opm.mml",
                MakeSource("Still", 0, 64, SongKind::OPM, {"ch1", "a"}), SongKind::OPM);
    constexpr std::uint32_t kSeconds = 3000;
    ChildProcess run({QzrPath(), "render", "still.opm.mml.qzr", "-o", "-", "--seconds",
                      std::to_string(kSeconds)},
                     dir_.Path(), OutputKind::kBytes);
    const bool streaming = run.WaitFor(
        [](const std::string& out, const std::string&) { return out.size() >= 44 + 4 * kRate; },
        std::chrono::seconds(10));
    ASSERT_TRUE(streaming) << "no second of sound on standard output within 10 s";
    const Bytes head(run.Out().begin(), run.Out().begin() + 44);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RIFF");
    EXPECT_EQ(LE32(head, 40), kSeconds * kRate * 4);
    EXPECT_EQ(LE32(head, 4), 36 + kSeconds * kRate * 4);
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
        {"render", "tiny.opm.mml.qzr", "--seconds", "nan"},
        {"render", "tiny.opm.mml.qzr", "--seconds", "-inf"},
        {"render", "tiny.opm.mml.qzr", "--fade", "inf"},
        {"render", "tiny.opm.mml.qzr", "--max-seconds", "0"},
        {"render", "tiny.opm.mml.qzr", "--max-seconds", "1", "-o", "keep.opm.wav"},
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
        const ProgramRun result = Qzr(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
    // Neither the song nor a file in the way was touched.
    EXPECT_EQ(ReadText(dir_ / "keep.opm.wav"), "mine");
    EXPECT_TRUE(std::filesystem::exists(song_));
}

std::string HashText(const FrameHash& hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash.Value()));
    return text;
}

// The golden songs rendered whole: the WAV file's every byte, and the FLAC's decoded samples
// (the WAV's), pinned by their hashes.
TEST(RenderGolden, TheGoldenSongsRenderToThePinnedBytes) {
    TempDir dir("qzr_render_golden");
    struct Case {
        std::string song;
        std::vector<std::string> options;
        std::string output;  // without its extension: each case is written as WAV and as FLAC
    };
    const std::vector<Case> cases{
        {"harbour_lights.opm.mml.qzr", {}, "opm"},
        {"harbour_lights.opn2.mml.qzr", {}, "opn2"},
        {"harbour_lights.opm.mml.qzr", {"--rate", "48000", "--loops", "2"}, "opm-48k"},
    };
    std::string hashes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::filesystem::copy_file(SourcePath("tests/golden/" + c.song), dir / c.song,
                                   std::filesystem::copy_options::overwrite_existing);
        for (const std::string extension : {".wav", ".flac"}) {
            std::vector<std::string> args{QzrPath(), "render", c.song, "-o", c.output + extension};
            args.insert(args.end(), c.options.begin(), c.options.end());
            const ProgramRun run = RunProgram(args, dir.Path());
            ASSERT_EQ(run.status, 0) << run.err;
        }
        const auto samples = DecodeSamples(dir / (c.output + ".wav"));
        EXPECT_EQ(DecodeSamples(dir / (c.output + ".flac")), samples);
        FrameHash wav;
        for (const std::uint8_t byte : ReadBytes(dir / (c.output + ".wav"))) wav.AddByte(byte);
        FrameHash flac;
        for (const std::int16_t sample : samples) flac.Add(sample);
        std::string line = c.song;
        for (const auto& option : c.options) line += " " + option;
        hashes += line + " -> " + c.output + ".wav " + HashText(wav) + ", samples " +
                  HashText(flac) + "\n";
    }
    ExpectPinnedRenderHashes(hashes);
}

}  // namespace
}  // namespace qzr::test
