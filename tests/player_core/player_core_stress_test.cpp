// The host plays, stops and plays again while the emulator ticks on a thread of its own and a
// third thread watches the position: no races, no torn register writes, no position outside
// the song. Runs the engine in process, so that the ThreadSanitizer build sees every access
// without the cost of a by-name look-up per register write.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "qzr/player_core/player.h"
#include "qzr/test_support/register_recorder.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

constexpr int kOPMRows = 7;
constexpr int kOPN2Rows = 5;

TEST(PlayerCoreStress, HostPlaysAndStopsWhileTheEmulatorTicks) {
    TempDir dir{"stress"};
    SongBytes opm{kOPMTarget};
    opm.Speed(1).RowCount(kOPMRows).Rows(kOPMRows);
    for (int row = 0; row < kOPMRows; ++row) {
        for (int channel = 0; channel < 8; ++channel) {
            opm.Event(row, channel, 49, static_cast<std::uint8_t>(1 + row % 2));
        }
    }
    SongBytes opn2{kOPN2Target};
    opn2.Speed(0).RowCount(kOPN2Rows);
    for (int row = 0; row < kOPN2Rows; ++row) opn2.Event(row, 5, 13, 1);
    const auto opmPath = (dir / "opm.qzr").string();
    const auto opn2Path = (dir / "opn2.qzr").string();
    opm.WriteTo(opmPath);
    opn2.WriteTo(opn2Path);

    RegisterRecorder chip;
    player::InitOPM(chip, 44100, 200);
    std::atomic<bool> done{false};
    std::atomic<int> ticks{0};
    std::thread emulator{[&] {
        while (!done.load()) {
            chip.FireTick();
            ticks.fetch_add(1);
        }
    }};
    std::atomic<int> highestPosition{0};
    std::atomic<int> outside{0};
    std::thread watcher{[&] {
        while (!done.load()) {
            const int position = player::GetSongPosition();
            if (position < 0 || position >= kOPMRows) outside.fetch_add(1);
            highestPosition.store(std::max(highestPosition.load(), position));
        }
    }};

    for (int operation = 0; operation < 1000; ++operation) {
        switch (operation % 3) {
            case 0:
                player::PlaySong(chip, opmPath.c_str());
                break;
            case 1:
                player::StopSong(chip);
                break;
            default:
                player::PlaySong2(chip, opn2Path.c_str());
                break;
        }
        // Let some ticks run between operations.
        const int until = ticks.load() + 20;
        while (ticks.load() < until) std::this_thread::yield();
    }
    done.store(true);
    emulator.join();
    watcher.join();
    player::StopSong(chip);

    EXPECT_EQ(chip.TornWrites(), 0);
    EXPECT_EQ(outside.load(), 0);
    EXPECT_GT(highestPosition.load(), 1) << "the songs never got past their first rows";
    EXPECT_GT(chip.Writes().size(), 667u * 150u) << "voices and rows were written";
}

}  // namespace
}  // namespace qzr::test
