// The channel tap's price: the full chord with each channel's part taken as well, to set against
// BM_EightChannelsFourOperators (the same load without it, which does none of the tap's work).
#include "bench_loads.h"

namespace {

using namespace qzr::bench;

void BM_EightChannelsWithChannelTap(benchmark::State& state) {
    YM2151 chip;
    KeyOnFullChord(chip);
    std::vector<StereoSample> buffer(4096);
    std::vector<YM2151::ChannelFrame> channels(buffer.size());
    for (auto _ : state) {
        chip.Generate(buffer, channels);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::DoNotOptimize(channels.data());
    }
    Report(state, buffer.size());
}
BENCHMARK(BM_EightChannelsWithChannelTap)->Unit(benchmark::kMillisecond);

}  // namespace
