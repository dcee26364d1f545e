// The two ticks as the emulator drives them: timing, rows, looping and stopping.
#include "qzr/test_support/song_bytes.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

using RecordingPlayer = RecordingPlayerTest;
using Writes = std::vector<Write>;

// Key codes of a few note codes (octave in bits 4 to 6, note in bits 0 to 3).
constexpr int kCode1 = 0x00, kCode13 = 0x10, kCode20 = 0x19, kCode30 = 0x26, kCode49 = 0x40,
              kCode50 = 0x41, kCode96 = 0x7E;

TEST_F(RecordingPlayer, RowsComeEverySpeedTicksOrEveryThreeTimesSpeedForOPN2) {
    struct Case {
        bool opn2;
        std::uint8_t speed;
        int ticks;
        std::vector<int> writingTicks;
    };
    const std::vector<Case> cases{
        {false, 1, 5, {1, 2, 3, 4, 5}}, {false, 255, 520, {255, 510}},  {false, 0, 800, {}},
        {true, 1, 10, {3, 6, 9}},       {true, 255, 1540, {765, 1530}}, {true, 0, 800, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.opn2 ? "OPN2" : "OPM") + " speed " + std::to_string(c.speed));
        SongBytes song{c.opn2 ? kOPN2Target : kOPMTarget};
        song.Speed(c.speed).RowCount(4);
        for (int row = 0; row < 4; ++row) song.Event(row, 0, 1, 1);
        PlaySongFile(WriteSong("timing.qzr", song.Get()), c.opn2);
        EXPECT_EQ(TicksThatWrite(c.ticks), c.writingTicks);
    }
}

TEST_F(RecordingPlayer, SongLoopsAtRowCountAndReportsItsPosition) {
    for (const bool opn2 : {false, true}) {
        SCOPED_TRACE(opn2 ? "OPN2" : "OPM");
        SongBytes song{opn2 ? kOPN2Target : kOPMTarget};
        // Row 3 lies beyond the row count and must never play.
        song.Speed(2).RowCount(3).Event(0, 0, 1, 1).Event(1, 0, 20, 0).Event(2, 0, 30, 2);
        song.Event(3, 0, 96, 1);
        PlaySongFile(WriteSong("loop.qzr", song.Get()), opn2);
        EXPECT_EQ(Player("GetSongPosition"), 0);
        const int ticksPerRow = opn2 ? 6 : 2;
        std::vector<int> positions;
        Writes writes;
        for (int step = 0; step < 7; ++step) {
            const Writes row = WritesOfTicks(ticksPerRow);
            writes.insert(writes.end(), row.begin(), row.end());
            positions.push_back(Player("GetSongPosition"));
        }
        EXPECT_EQ(positions, (std::vector<int>{1, 2, 0, 1, 2, 0, 1}));
        const Writes firstRow{{0x28, kCode1}, {8, 0}, {8, 0x78}};
        const Writes rows{{0x28, kCode1},  {8, 0},          {8, 0x78},
                          {0x28, kCode20}, {0x28, kCode30}, {8, 0}};
        Writes expected;
        for (int loop = 0; loop < 2; ++loop)
            expected.insert(expected.end(), rows.begin(), rows.end());
        expected.insert(expected.end(), firstRow.begin(), firstRow.end());
        EXPECT_EQ(writes, expected);
    }
}

TEST_F(RecordingPlayer, RowWritesKeyCodesBeforeKeysAndIgnoresNotesAboveTheTable) {
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(1);
    song.Event(0, 0, 97, 1).Event(0, 1, 255, 2).Event(0, 2, 96, 0).Event(0, 3, 0, 3);
    song.Event(0, 4, 1, 255).Event(0, 5, 49, 2).Event(0, 6, 13, 1).Event(0, 7, 0, 0);
    PlaySongFile(WriteSong("row.qzr", song.Get()));
    EXPECT_EQ(WritesOfTicks(1), (Writes{{0x2A, kCode96},
                                        {0x2C, kCode1},
                                        {0x2D, kCode49},
                                        {0x2E, kCode13},
                                        {8, 0},
                                        {8, 0x78},
                                        {8, 1},
                                        {8, 5},
                                        {8, 6},
                                        {8, 0x7E}}));
    // A song of one row plays it again at every row step; its position stays 0.
    EXPECT_EQ(WritesOfTicks(1).size(), 10u);
    EXPECT_EQ(Player("GetSongPosition"), 0);
}

TEST_F(RecordingPlayer, RowCountZeroPlaysNothing) {
    for (const bool opn2 : {false, true}) {
        SCOPED_TRACE(opn2 ? "OPN2" : "OPM");
        SongBytes song{opn2 ? kOPN2Target : kOPMTarget};
        song.Speed(1).RowCount(0).Event(0, 0, 1, 1).Rows(4);
        PlaySongFile(WriteSong("empty.qzr", song.Get()), opn2);
        EXPECT_EQ(WritesOfTicks(70'000), Writes{});
        EXPECT_EQ(Player("GetSongPosition"), 0);
    }
}

TEST_F(RecordingPlayer, SongLongerThanTheEventAreaLoopsAfterTheRowsThatFit) {
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(60'000).Rows(60'000);
    song.Event(0, 0, 1, 1).Event(49'150, 0, 13, 2).Event(49'151, 0, 96, 1);
    PlaySongFile(WriteSong("long.qzr", song.Get()));
    const Writes writes = WritesOfTicks(49'152);
    EXPECT_EQ(writes, (Writes{{0x28, kCode1},
                              {8, 0},
                              {8, 0x78},  // row 0
                              {0x28, kCode13},
                              {8, 0},  // row 49,150, the last that fits
                              {0x28, kCode1},
                              {8, 0},
                              {8, 0x78}}));
    EXPECT_EQ(Player("GetSongPosition"), 1);
}

TEST_F(RecordingPlayer, StopSongKeysOffEveryChannelResetsAndSilencesTheTick) {
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(4).Event(0, 0, 1, 1).Event(1, 0, 1, 1).Event(2, 0, 1, 1);
    PlaySongFile(WriteSong("stop.qzr", song.Get()));
    Recorder("RecorderFireTicks", 2);
    EXPECT_EQ(Player("GetSongPosition"), 2);
    Recorder("RecorderClear");
    EXPECT_EQ(Player("StopSong"), 0);
    std::vector<CallSummary> expected;
    for (int channel = 0; channel < 8; ++channel) {
        expected.insert(expected.end(),
                        {{EmulatorEntry::OpmReg, 8}, {EmulatorEntry::OpmPoke, channel}});
    }
    expected.emplace_back(EmulatorEntry::Reset, -1);
    EXPECT_EQ(Summarize(RecordedCalls()), expected);
    EXPECT_EQ(Player("GetSongPosition"), 0);
    EXPECT_EQ(WritesOfTicks(10), Writes{});
    // Playing the same file again starts from its first row.
    PlaySongFile(dir_ / "stop.qzr");
    EXPECT_EQ(WritesOfTicks(1), (Writes{{0x28, kCode1}, {8, 0}, {8, 0x78}}));
}

TEST_F(RecordingPlayer, OPN2SongRepeatsWhatTheLastOPMRowLeftInChannelsSixAndSeven) {
    SongBytes opm{kOPMTarget};
    opm.Speed(1).RowCount(1).Event(0, 6, 50, 1).Event(0, 7, 0, 2);
    PlaySongFile(WriteSong("opm.qzr", opm.Get()));
    Recorder("RecorderFireTick");
    SongBytes opn2{kOPN2Target};
    opn2.Speed(1).RowCount(2).Event(0, 0, 13, 1);
    PlaySongFile(WriteSong("opn2.qzr", opn2.Get()), true);
    const Writes channelsSixAndSeven{{0x2E, kCode50}, {8, 6}, {8, 0x7E}, {8, 7}};
    EXPECT_EQ(
        WritesOfTicks(3),
        (Writes{{0x28, kCode13}, {0x2E, kCode50}, {8, 0}, {8, 0x78}, {8, 6}, {8, 0x7E}, {8, 7}}));
    EXPECT_EQ(WritesOfTicks(3), channelsSixAndSeven);
}

// The emulator's tick may come in during any call of a play or stop: here the recorder fires it
// inside every call. The previous song's tick must play nothing of what is being loaded, and the
// new song must start at its own first row, aligned, even when an OPN2 song replaces an OPM one.
TEST_F(RecordingPlayer, PlayAndStopKeepTheRunningTickAwayUntilTheHandOver) {
    SongBytes first{kOPMTarget};
    first.Speed(1).RowCount(8);
    for (int row = 0; row < 8; ++row) first.Event(row, 0, 1, 1);
    SongBytes second{kOPMTarget};
    second.Speed(1).RowCount(8);
    for (int row = 0; row < 8; ++row) second.Event(row, 1, 20, 1);
    SongBytes third{kOPN2Target};
    third.Speed(1).RowCount(8);
    for (int row = 0; row < 8; ++row) third.Event(row, 2, 30, 2);

    const auto tickCalls = [] {
        int count = 0;
        for (const RecordedCall& call : RecordedCalls()) count += call.fromTick;
        return count;
    };
    PlaySongFile(WriteSong("first.qzr", first.Get()));
    Recorder("RecorderFireTicks", 3);

    Recorder("RecorderClear");
    Recorder("RecorderSetFireOnCall", 1);
    PlaySongFile(WriteSong("second.qzr", second.Get()));
    Recorder("RecorderSetFireOnCall", 0);
    EXPECT_EQ(tickCalls(), 0);
    EXPECT_EQ(Recorder("RecorderTornWrites"), 0);
    EXPECT_EQ(Player("GetSongPosition"), 0);
    EXPECT_EQ(WritesOfTicks(1), (Writes{{0x29, kCode20}, {8, 1}, {8, 0x79}}));

    Recorder("RecorderClear");
    Recorder("RecorderSetFireOnCall", 1);
    PlaySongFile(WriteSong("third.qzr", third.Get()), true);
    Recorder("RecorderSetFireOnCall", 0);
    EXPECT_EQ(tickCalls(), 0);
    Recorder("RecorderClear");
    EXPECT_EQ(TicksThatWrite(7), (std::vector<int>{3, 6}));
    EXPECT_EQ(WritesOfTicks(3), (Writes{{0x2A, kCode30}, {8, 2}}));

    Recorder("RecorderClear");
    Recorder("RecorderSetFireOnCall", 1);
    Player("StopSong");
    Recorder("RecorderSetFireOnCall", 0);
    EXPECT_EQ(tickCalls(), 0);
    EXPECT_EQ(Recorder("RecorderTornWrites"), 0);
}

}  // namespace
}  // namespace qzr::test
