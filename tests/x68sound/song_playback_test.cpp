// The whole road: an MML song compiled by opmcomp, played by the player library (loaded by name)
// on this emulator library, rendered offline; the notes are found in the samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qzr/common/call_by_name.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"
#include "qzr/test_support/tone_analysis.h"

namespace qzr::emulator {
namespace {

constexpr int kRate = 44'100;
constexpr const char* kEmulator = "x68sound.dll";
constexpr const char* kPlayer = "qzrplay.dll";

// A pure sine: connection 7 with only C2 heard, full level, instant attack and quick release.
// Bytes: DT1/MUL, TL, KS/AR, AMS/D1R, DT2/D2R, D1L/RR for M1, M2, C1, C2; then FB/CON.
const qzr::test::Bytes kSineVoice{0x01, 0x01, 0x01, 0x01, 0x7F, 0x7F, 0x7F, 0x00, 0x1F,
                                  0x1F, 0x1F, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x0F, 0x0F, 0x0F, 0x0F, 0x07};

// Speed 6 (30 ms rows at 5 ms ticks), 64 rows: o4 a for a quarter (16 rows), a quarter rest,
// o5 c for a quarter, then rests until the song loops.
std::string SongSource() {
    std::string source = "Road test\n6\n64\n";
    for (int channel = 0; channel < 8; ++channel) source += "11\nsine.voice\n";
    return source + "ch1\no4\na4\nr4\no5\nc4\n";
}

struct Note {
    double onsetSeconds;
    double releaseSeconds;
    double frequencyHz;
};

// Tick k comes just before native sample floor(k x 3,378,641 x 5 / 64,000); row r of a song at
// speed 6 is played by tick 6 (r + 1) after the hand-over, and a quarter note keys off in its
// sixteenth row.
double TickSeconds(std::uint64_t tick) {
    return static_cast<double>(tick * 3'378'641 * 5 / 64'000) / (3'378'641.0 / 64.0);
}
Note Expected(int firstRow, double frequencyHz) {
    const auto row = static_cast<std::uint64_t>(firstRow);
    return {TickSeconds(6 * (row + 1)), TickSeconds(6 * (row + 16)), frequencyHz};
}

// Sounding stretches of one side, found on 1 ms blocks against a threshold.
std::vector<Note> FindNotes(const std::vector<double>& samples) {
    constexpr std::size_t kBlock = kRate / 1000;
    constexpr double kThreshold = 300.0;
    std::vector<Note> notes;
    std::optional<std::size_t> start;
    for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
        const std::span<const double> block(samples.data() + at, kBlock);
        const bool sounding = test::Peak(block) > kThreshold;
        if (sounding && !start) start = at;
        if (!sounding && start) {
            // The frequency from the steady middle, away from attack and release.
            const std::size_t length = at - *start;
            const std::span<const double> middle(samples.data() + *start + length / 8,
                                                 length * 3 / 4);
            notes.push_back({static_cast<double>(*start) / kRate, static_cast<double>(at) / kRate,
                             test::ToneFrequency(middle, kRate)});
            start.reset();
        }
    }
    if (start) {
        const std::span<const double> rest(samples.data() + *start, samples.size() - *start);
        notes.push_back({static_cast<double>(*start) / kRate,
                         static_cast<double>(samples.size()) / kRate,
                         test::ToneFrequency(rest.subspan(rest.size() / 8), kRate)});
    }
    return notes;
}

TEST(SongPlayback, ACompiledSongPlaysItsNotesAtTheirTimesThroughThePlayerLibrary) {
    const qzr::test::TempDir dir("song-playback");
    qzr::test::WriteBytes(dir / "sine.voice", kSineVoice);
    qzr::test::WriteText(dir / "song.mml", SongSource());
    const qzr::test::ProgramRun compiled = qzr::test::RunProgram("opmcomp", "song.mml", dir.Path());
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    const std::string song = (dir / "song.mml.qzr").string();

    // Offline first: the player's own start then finds the emulator running (-1) and goes on.
    ASSERT_EQ(CallByName("X68Sound_StartOffline", kEmulator, kRate, 1, 0, 5, 5, 200, 1), 0);
    EXPECT_EQ(CallByName("InitOPM", kPlayer, kRate, 200), -1);
    EXPECT_EQ(CallByName("PlaySong", kPlayer, song.c_str()), 0);

    std::vector<std::int16_t> out(static_cast<std::size_t>(kRate) * 22 / 10 * 2);
    ASSERT_EQ(CallByName("X68Sound_Render", kEmulator, out.data(), out.size() / 2),
              static_cast<int>(out.size() / 2));
    EXPECT_EQ(CallByName("StopSong", kPlayer), 0);
    EXPECT_EQ(CallByName("ReleaseOPM", kPlayer), 0);

    const std::vector<Note> expected{Expected(0, 440.0), Expected(32, 523.2511),
                                     Expected(64, 440.0)};
    for (const int channel : {0, 1}) {
        SCOPED_TRACE(channel == 0 ? "left" : "right");
        const auto notes = FindNotes(test::Channel(out, channel));
        // The loop's first note is cut off by the end of the render: no release to check.
        ASSERT_EQ(notes.size(), expected.size());
        for (std::size_t i = 0; i < notes.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(notes[i].onsetSeconds, expected[i].onsetSeconds, 0.002);
            if (i + 1 < notes.size()) {
                EXPECT_NEAR(notes[i].releaseSeconds, expected[i].releaseSeconds, 0.010);
            }
            EXPECT_LT(std::abs(test::Cents(notes[i].frequencyHz, expected[i].frequencyHz)), 1.0)
                << notes[i].frequencyHz << " Hz";
        }
    }
}

}  // namespace
}  // namespace qzr::emulator
