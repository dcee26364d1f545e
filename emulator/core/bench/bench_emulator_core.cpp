// Measures the core as every program uses it; bench_loads.h holds the loads.
#include "bench_loads.h"

namespace {

using namespace qzr::bench;

void BM_EightChannelsFourOperators(benchmark::State& state) {
    YM2151 chip;
    KeyOnFullChord(chip);
    std::vector<StereoSample> buffer(4096);
    for (auto _ : state) {
        chip.Generate(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, buffer.size());
}
BENCHMARK(BM_EightChannelsFourOperators)->Unit(benchmark::kMillisecond);

void BM_WorstCase(benchmark::State& state) {
    YM2151 chip;
    SetUpWorstCase(chip);
    std::vector<StereoSample> buffer(4096);
    unsigned turn = 0;
    for (auto _ : state) {
        RunWorstCase(chip, buffer, turn);
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, buffer.size());
}
BENCHMARK(BM_WorstCase)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
