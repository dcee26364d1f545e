// The road of one song: an MML source compiled by opmcomp, played by the player library on the
// recording emulator.
#include <string>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/song_bytes.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

using RecordingPlayer = RecordingPlayerTest;
using Writes = std::vector<Write>;

constexpr int kFeedbackConnection = 0x35;  // feedback 3, connection 5
constexpr int kPanBoth = 64 + 128;

TEST_F(RecordingPlayer, CompiledSongPlaysItsVoicesNoteAndLoop) {
    std::string source = "Road of one song\n6\n256\n";
    Writes voiceWrites;
    for (int v = 0; v < 8; ++v) {
        const VoiceRecordBytes voice = DistinctVoice(v);
        Bytes voiceFile(voice.begin(), voice.begin() + 24);
        voiceFile.push_back(kFeedbackConnection);
        WriteBytes(dir_ / ("voice" + std::to_string(v) + ".bin"), voiceFile);
        source += "11\nvoice" + std::to_string(v) + ".bin\n";
        voiceWrites.emplace_back(0x20 + v, 8 * 3 + 5 + kPanBoth);
        for (int j = 0; j < 24; ++j)
            voiceWrites.emplace_back(0x40 + 8 * j + v, voice[static_cast<std::size_t>(j)]);
    }
    source += "ch1\no4\nc4\n";
    WriteText(dir_ / "song.mml", source);
    const ProgramRun compiled = RunProgram("opmcomp", "song.mml", dir_.Path());
    ASSERT_EQ(compiled.status, 0) << compiled.out << compiled.err;

    EXPECT_EQ(PlaySongFile(dir_ / "song.mml.qzr"), 0);
    EXPECT_EQ(WritesIn(RecordedCalls()), voiceWrites);
    // Note 49 (o4 c) is key code 0x40; the quarter note is 16 rows, released in its last row.
    const Writes keyOn{{0x28, 0x40}, {8, 0}, {8, 0x78}};
    const Writes keyOff{{8, 0}};
    EXPECT_EQ(WritesOfTicks(5), Writes{});
    EXPECT_EQ(WritesOfTicks(1), keyOn);
    EXPECT_EQ(WritesOfTicks(6 * 14), Writes{});
    EXPECT_EQ(WritesOfTicks(6), keyOff);
    EXPECT_EQ(Player("GetSongPosition"), 16);
    EXPECT_EQ(WritesOfTicks(6 * 240), Writes{});
    EXPECT_EQ(Player("GetSongPosition"), 0);
    EXPECT_EQ(WritesOfTicks(6), keyOn);
}

}  // namespace
}  // namespace qzr::test
