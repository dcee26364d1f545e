#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "qzr/emulator_core/ym2151.h"

namespace {

using qzr::emulator::StereoSample;
using qzr::emulator::YM2151;

// Eight channels, four operators each, all sounding: a sustained chord with slow decays, so
// every operator stays audible and every envelope keeps stepping.
void KeyOnFullChord(YM2151& chip) {
    auto write = [&chip](std::uint8_t reg, std::uint8_t value) {
        chip.Write(reg, value);
        chip.Generate();
    };
    write(0x18, 0xC8);
    write(0x19, 0x20);
    write(0x19, 0x90);
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        write(static_cast<std::uint8_t>(0x20 + ch), static_cast<std::uint8_t>(0xC0 | 5 << 3 | ch));
        write(static_cast<std::uint8_t>(0x28 + ch), static_cast<std::uint8_t>(0x30 + ch * 5));
        write(static_cast<std::uint8_t>(0x38 + ch), 0x21);
        for (std::uint8_t op = 0; op < 4; ++op) {
            const auto slot = static_cast<std::uint8_t>(ch + 8 * op);
            write(static_cast<std::uint8_t>(0x40 + slot), static_cast<std::uint8_t>(0x31 + op));
            write(static_cast<std::uint8_t>(0x60 + slot), op == 3 ? 8 : 30);
            write(static_cast<std::uint8_t>(0x80 + slot), 0x5F);
            write(static_cast<std::uint8_t>(0xA0 + slot), 0x83);
            write(static_cast<std::uint8_t>(0xC0 + slot), 0x02);
            write(static_cast<std::uint8_t>(0xE0 + slot), 0x24);
        }
        write(0x08, static_cast<std::uint8_t>(0x78 | ch));
    }
}

void BM_EightChannelsFourOperators(benchmark::State& state) {
    YM2151 chip;
    KeyOnFullChord(chip);
    std::vector<StereoSample> buffer(4096);
    for (auto _ : state) {
        chip.Generate(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    const double samples =
        static_cast<double>(state.iterations()) * static_cast<double>(buffer.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(samples));
    // Real-time factor at the native rate of the usual clock.
    const double nativeRate = 3'579'545.0 / 64.0;
    state.counters["realtime_x"] =
        benchmark::Counter(samples / nativeRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EightChannelsFourOperators)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
