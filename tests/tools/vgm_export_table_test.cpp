// Exports read back through the VGM reader against the player's own writes, recorded tick by
// tick over the recording port, for both chips over a table of speeds and row counts. Built
// twice: the whole table (QZR_WHOLE_TABLE, too slow under the sanitizers) and a short one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qzr/format/player_timing.h"
#include "qzr/player_core/player.h"
#include "qzr/test_support/register_recorder.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/tools/vgm_tools.h"

namespace qzr::test {
namespace {

constexpr double kSamplesPerTick = 44'100.0 * kTickPeriodMs / 1000.0;  // 220.5
constexpr double kMostSamples = 4'294'967'295.0;

// Rows with notes and keys that change from row to row, so every row writes.
SongImage TableSong(SongKind kind, int speed, int rows) {
    const SongTarget& target = TargetFor(kind);
    SongBytes bytes(target);
    bytes.Speed(static_cast<std::uint8_t>(speed)).RowCount(static_cast<std::uint16_t>(rows));
    bytes.DistinctVoices().Rows(rows);
    for (int r = 0; r < rows; ++r) {
        bytes.Event(r, r % target.channelCount, static_cast<std::uint8_t>(1 + r % 96),
                    static_cast<std::uint8_t>(1 + r % 2));
    }
    return SongImage(kind, bytes.Get());
}

struct Recorded {
    std::vector<RegisterRecorder::Write> writes;
    std::vector<std::int64_t> ticks;  // the tick of each write, 0 for the loading
    std::size_t firstRowWrite = 0;
};

// The player over the recording port: loaded, then ticked through one pass to just before row 0
// plays again.
Recorded RecordPass(const SongImage& song) {
    RegisterRecorder port;
    player::InitOPM(port, 44'100, 200);
    port.Clear();
    player::PlaySongImage(port, song);
    Recorded out;
    out.writes = port.TakeWrites();
    out.ticks.assign(out.writes.size(), 0);
    out.firstRowWrite = out.writes.size();
    const std::int64_t end = song.TicksPerRow() + song.TicksPerPass();
    for (std::int64_t tick = 1; tick < end; ++tick) {
        port.FireTick();
        const auto made = port.TakeWrites();
        out.writes.insert(out.writes.end(), made.begin(), made.end());
        out.ticks.resize(out.writes.size(), tick);
    }
    player::StopSong(port);
    player::ReleaseOPM(port);
    return out;
}

TEST(VgmExportTable, TheFirstPassIsThePlayersWritesAtTheirTicks) {
#ifdef QZR_WHOLE_TABLE
    const std::vector<int> speeds = {1, 2, 3, 99, 100, 254, 255};
    const std::vector<int> rowCounts = {1, 2, 49'151, 49'152, 65'535};
#else
    const std::vector<int> speeds = {1, 2, 3, 255};
    const std::vector<int> rowCounts = {1, 2, 600};
#endif
    for (const SongKind kind : {SongKind::OPM, SongKind::OPN2}) {
        for (const int speed : speeds) {
            for (const int rows : rowCounts) {
                SCOPED_TRACE(std::string(SongKindName(kind)) + " speed " + std::to_string(speed) +
                             ", " + std::to_string(rows) + " rows");
                const SongImage song = TableSong(kind, speed, rows);
                const double exactEnd =
                    static_cast<double>(song.TicksPerRow() + song.TicksPerPass()) * kSamplesPerTick;
                std::string error;
                const auto exported = tools::ExportVgm(song, {"t", "", {}}, error);
                if (exactEnd > kMostSamples) {
                    // Refused, with the length in samples.
                    EXPECT_FALSE(exported);
                    EXPECT_NE(error.find(std::to_string(
                                  static_cast<long long>(std::floor(exactEnd + 0.5)))),
                              std::string::npos)
                        << error;
                    continue;
                }
                ASSERT_TRUE(exported) << error;
                const auto bytes = vgm::WriteVgm(*exported, error);
                ASSERT_TRUE(bytes) << error;
                const auto read = vgm::ReadVgm(*bytes, error);
                ASSERT_TRUE(read) << error;

                const Recorded expected = RecordPass(song);
                std::vector<RegisterRecorder::Write> writes;
                bool timesWithinHalfASample = true;
                for (std::size_t i = 0; i < read->writes.size(); ++i) {
                    writes.emplace_back(read->writes[i].reg, read->writes[i].value);
                    if (i < expected.ticks.size()) {
                        const double exact =
                            static_cast<double>(expected.ticks[i]) * kSamplesPerTick;
                        timesWithinHalfASample &=
                            std::abs(static_cast<double>(read->writes[i].sample) - exact) <= 0.5;
                    }
                }
                EXPECT_EQ(writes, expected.writes);
                EXPECT_TRUE(timesWithinHalfASample);
                // The loop: from row 0's first write over one pass, the header's counts exact.
                ASSERT_TRUE(read->loopSample);
                EXPECT_EQ(read->loopWrite, expected.firstRowWrite);
                EXPECT_LE(std::abs(static_cast<double>(*read->loopSample) -
                                   static_cast<double>(song.TicksPerRow()) * kSamplesPerTick),
                          0.5);
                EXPECT_LE(std::abs(static_cast<double>(read->totalSamples) - exactEnd), 0.5);
            }
        }
    }
}

}  // namespace
}  // namespace qzr::test
