// What the tick pays for resolving every emulator call by name: one steady-path CallByName, and
// one full row (8 key codes and 16 key writes, 48 calls), through the real player library on
// the recording emulator with its record switched off.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "qzr/common/call_by_name.h"
#include "qzr/test_support/song_bytes.h"

namespace {

constexpr const char* kPlayer = QZR_RECORDER_DIR "/qzrplay.dll";
constexpr const char* kRecorder = QZR_RECORDER_DIR "/x68sound.dll";

void BM_CallByNameSteadyPath(benchmark::State& state) {
    qzr::CallByName("RecorderSetRecording", kRecorder, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qzr::CallByName("X68Sound_OpmReg", kRecorder, 0x28));
    }
}
BENCHMARK(BM_CallByNameSteadyPath);

void BM_FullRow(benchmark::State& state) {
    const auto song = std::filesystem::temp_directory_path() / "qzr_bench_full_row.qzr";
    qzr::test::SongBytes bytes{qzr::kOPMTarget};
    bytes.Speed(1).RowCount(1);
    for (int channel = 0; channel < 8; ++channel) bytes.Event(0, channel, 49, 1);
    bytes.WriteTo(song);
    qzr::CallByName("InitOPM", kPlayer, 44100, 200);
    qzr::CallByName("PlaySong", kPlayer, song.string().c_str());
    qzr::CallByName("RecorderSetRecording", kRecorder, 0);
    for (auto _ : state) {
        // One tick at speed 1 plays the whole row.
        benchmark::DoNotOptimize(qzr::CallByName("RecorderFireTick", kRecorder));
    }
    state.SetItemsProcessed(state.iterations() * 48);
    qzr::CallByName("StopSong", kPlayer);
    std::filesystem::remove(song);
}
BENCHMARK(BM_FullRow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
