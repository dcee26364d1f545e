// The host plays, stops and plays again while the emulator ticks on a thread of its own and a
// third thread watches the position: no races, no torn register writes, no position outside
// the song.
#include <algorithm>
#include <atomic>
#include <thread>

#include "recording_player.h"
#include "song_bytes.h"

namespace qzr::test {
namespace {

constexpr int kOPMRows = 7;
constexpr int kOPN2Rows = 5;

TEST_F(RecordingPlayerTest, HostPlaysAndStopsWhileTheEmulatorTicks) {
    SongBytes opm{kOPMTarget};
    opm.Speed(1).RowCount(kOPMRows).Rows(kOPMRows);
    for (int row = 0; row < kOPMRows; ++row) {
        for (int channel = 0; channel < 8; ++channel) opm.Event(row, channel, 49, static_cast<std::uint8_t>(1 + row % 2));
    }
    SongBytes opn2{kOPN2Target};
    opn2.Speed(0).RowCount(kOPN2Rows);
    for (int row = 0; row < kOPN2Rows; ++row) opn2.Event(row, 5, 13, 1);
    const auto opmPath = WriteSong("opm.qzr", opm.Get());
    const auto opn2Path = WriteSong("opn2.qzr", opn2.Get());
    Recorder("RecorderSetRecording", 0);

    std::atomic<bool> done{false};
    std::atomic<int> ticks{0};
    std::thread emulator{[&] {
        while (!done.load()) {
            Recorder("RecorderFireTick");
            ticks.fetch_add(1);
        }
    }};
    std::atomic<int> highestPosition{0};
    std::atomic<int> outside{0};
    std::thread watcher{[&] {
        while (!done.load()) {
            const int position = Player("GetSongPosition");
            if (position < 0 || position >= kOPMRows) outside.fetch_add(1);
            highestPosition.store(std::max(highestPosition.load(), position));
        }
    }};

    for (int operation = 0; operation < 1000; ++operation) {
        switch (operation % 3) {
            case 0:
                PlaySongFile(opmPath);
                break;
            case 1:
                Player("StopSong");
                break;
            default:
                PlaySongFile(opn2Path, true);
                break;
        }
        // Let some ticks run between operations.
        const int until = ticks.load() + 20;
        while (ticks.load() < until) std::this_thread::yield();
    }
    done.store(true);
    emulator.join();
    watcher.join();

    EXPECT_EQ(Recorder("RecorderTornWrites"), 0);
    EXPECT_EQ(outside.load(), 0);
    EXPECT_GT(highestPosition.load(), 1) << "the songs never got past their first rows";
}

}  // namespace
}  // namespace qzr::test
