// The player engine inside the test process, over a RegisterRecorder.
#include <gtest/gtest.h>

#include <algorithm>

#include "qzr/player_core/player.h"
#include "qzr/test_support/register_recorder.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

// Plays one row per note code 1 to 96 on channel 0 and collects the key codes written.
TEST(PlayerCore, KeyCodesClimbThroughTheChipsNoteCodes) {
    RegisterRecorder chip;
    TempDir dir{"core"};
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(96);
    for (int note = 1; note <= 96; ++note)
        song.Event(note - 1, 0, static_cast<std::uint8_t>(note), 0);
    song.WriteTo(dir / "scale.qzr");
    player::InitOPM(chip, 44100, 200);
    player::PlaySong(chip, (dir / "scale.qzr").string().c_str());
    chip.Clear();
    for (int tick = 0; tick < 96; ++tick) ASSERT_TRUE(chip.FireTick());
    player::StopSong(chip);

    std::vector<int> codes;
    for (const auto& [reg, value] : chip.Writes()) {
        if (reg == 0x28) codes.push_back(value);
    }
    ASSERT_EQ(codes.size(), 96u);
    EXPECT_EQ(codes[0], 0x00);   // octave 0, c
    EXPECT_EQ(codes[11], 0x0E);  // octave 0, b
    EXPECT_EQ(codes[12], 0x10);  // octave 1, c
    EXPECT_EQ(codes[57], 0x4C);  // octave 4, a
    EXPECT_EQ(codes[95], 0x7E);  // octave 7, b
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_NE(codes[i] & 3, 3) << "the chip has no note at codes 3, 7, 11 and 15";
        if (i >= 12) {
            EXPECT_EQ(codes[i] - codes[i - 12], 16);
        }
    }
}

TEST(PlayerCore, SecondInitOPMDuringPlaybackKeepsTheSongGoing) {
    RegisterRecorder chip;
    TempDir dir{"core"};
    SongBytes song{kOPN2Target};
    song.Speed(1).RowCount(4).Event(0, 0, 1, 1).Event(1, 0, 1, 1).Event(2, 0, 1, 1);
    song.WriteTo(dir / "song.qzr");
    player::InitOPM(chip, 44100, 200);
    player::PlaySong2(chip, (dir / "song.qzr").string().c_str());
    for (int tick = 0; tick < 4; ++tick) chip.FireTick();
    EXPECT_EQ(player::GetSongPosition(), 1);
    player::InitOPM(chip, 44100, 200);
    chip.Clear();
    for (int tick = 0; tick < 3; ++tick) chip.FireTick();
    EXPECT_EQ(player::GetSongPosition(), 2);
    EXPECT_EQ(chip.Writes(), (std::vector<RegisterRecorder::Write>{{0x28, 0}, {8, 0}, {8, 0x78}}));
    player::StopSong(chip);
}

}  // namespace
}  // namespace qzr::test
