// The player library under a careless host: several threads calling the play operations at once
// while the emulator ticks (and, in qzrplay_unload_*.cpp, a host that unloads the library before
// it exits). Also run in the ThreadSanitizer build.
#include <atomic>
#include <thread>
#include <vector>

#include "qzr/test_support/song_bytes.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

using RecordingPlayer = RecordingPlayerTest;

// Eight rows at speed 1 with a note in every row on channel 1 (OPM) or 1 to 6 (OPN2).
SongBytes BusySong(const SongTarget& target) {
    SongBytes song{target};
    song.DistinctVoices().Speed(1).RowCount(8);
    for (int row = 0; row < 8; ++row) {
        for (int c = 0; c < target.channelCount; ++c) {
            song.Event(row, c, static_cast<std::uint8_t>(row + c + 1), row % 2 == 0 ? 1 : 2);
        }
    }
    return song;
}

// Each operation runs whole: no register write of one is split by another's, no data race (in
// the ThreadSanitizer build), and the player is in a defined state after them.
TEST_F(RecordingPlayer, HostThreadsPlayingAndStoppingAtOnceTakeTurns) {
    Recorder("RecorderSetRecording", 0);
    const auto opm = WriteSong("opm.qzr", BusySong(kOPMTarget).Get());
    const auto opn2 = WriteSong("opn2.qzr", BusySong(kOPN2Target).Get());
    constexpr int kHosts = 4;
    constexpr int kRounds = 6;
    std::atomic<bool> hostsDone{false};
    std::vector<int> results(kHosts * kRounds, -1);
    {
        std::jthread emulator([&hostsDone] {
            while (!hostsDone.load()) Recorder("RecorderFireTicks", 3);
        });
        std::vector<std::jthread> hosts;
        for (int h = 0; h < kHosts; ++h) {
            hosts.emplace_back([&, h] {
                for (int round = 0; round < kRounds; ++round) {
                    int& result = results[static_cast<std::size_t>(h * kRounds + round)];
                    switch ((h + round) % 3) {
                        case 0:
                            result = PlaySongFile(opm);
                            break;
                        case 1:
                            result = PlaySongFile(opn2, true);
                            break;
                        default:
                            result = Player("StopSong");
                    }
                }
            });
        }
        for (auto& host : hosts) host.join();
        hostsDone.store(true);
    }
    EXPECT_EQ(results, std::vector<int>(kHosts * kRounds, 0));
    EXPECT_EQ(Recorder("RecorderTornWrites"), 0);

    // A play after them starts from row 0 and moves a row a tick.
    EXPECT_EQ(PlaySongFile(opm), 0);
    EXPECT_EQ(Player("GetSongPosition"), 0);
    Recorder("RecorderFireTicks", 3);
    EXPECT_EQ(Player("GetSongPosition"), 3);
}

}  // namespace
}  // namespace qzr::test
