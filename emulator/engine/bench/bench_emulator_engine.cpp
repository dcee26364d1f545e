// The engine's two costs: real-time playback (CPU share of one core while the silent clock
// keeps real time) and offline rendering with resampling (times faster than real time).
// Both with all eight channels of four operators sounding and the player's tick load.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "qzr/emulator_engine/engine.h"
#include "qzr/format/ym2151_registers.h"

namespace {

using qzr::emulator::Engine;
using qzr::emulator::Output;
using qzr::emulator::StartOptions;
using qzr::emulator::StartResult;
namespace ym2151 = qzr::ym2151;

constexpr int kRate = 44'100;

Engine* gEngine = nullptr;
int gTickCount = 0;

// Every sixth tick a row: eight key codes, then eight key-offs and eight key-ons.
void RowTick() {
    if (++gTickCount % 6 != 0) return;
    const int row = gTickCount / 6;
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        gEngine->Write(static_cast<std::uint8_t>(ym2151::kRegKeyCodeBase + ch),
                       static_cast<std::uint8_t>(0x30 + (row + ch * 5) % 0x40));
    }
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        gEngine->Write(ym2151::kRegKeyOn, ch);
        gEngine->Write(ym2151::kRegKeyOn, static_cast<std::uint8_t>(ym2151::kKeyOnSlotMask | ch));
    }
}

// All eight channels, four operators each, all heard (connection 7) with some feedback.
void VoiceAllChannels(Engine& engine) {
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        engine.Write(static_cast<std::uint8_t>(ym2151::kRegChannelControlBase + ch), 0xC7 | 0x18);
        for (std::uint8_t op = 0; op < 4; ++op) {
            const auto slot = static_cast<std::uint8_t>(ch + 8 * op);
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegDetuneMulBase + slot),
                         static_cast<std::uint8_t>(op + 1));
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegTotalLevelBase + slot), 0x10);
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegAttackBase + slot), 0x1F);
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegDecay1Base + slot), 0x02);
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegDecay2Base + slot), 0x01);
            engine.Write(static_cast<std::uint8_t>(ym2151::kRegReleaseBase + slot), 0x27);
        }
        engine.Write(ym2151::kRegKeyOn, static_cast<std::uint8_t>(ym2151::kKeyOnSlotMask | ch));
    }
}

void StartSounding(Engine& engine, Output output) {
    StartOptions options;
    options.sampleRate = kRate;
    options.output = output;
    gEngine = &engine;
    gTickCount = 0;
    if (engine.Start(options) != StartResult::Started) std::abort();
    engine.SetTickProcedure(&RowTick);
    VoiceAllChannels(engine);
}

void BM_OfflineRenderWithResampling(benchmark::State& state) {
    Engine engine;
    StartSounding(engine, Output::Offline);
    std::vector<std::int16_t> second(kRate * 2);
    for (auto _ : state) {
        engine.Render(second);
        benchmark::DoNotOptimize(second.data());
    }
    // Seconds of sound per second of CPU: how many times faster than real time.
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    engine.Stop();
}
BENCHMARK(BM_OfflineRenderWithResampling)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The engine's own share: the same rendering with a chip that costs nothing, so what remains
// is the queue, the ticks, soxr and the 16-bit conversion.
class SilentChip final : public qzr::emulator::Chip {
public:
    void Reset() override {}
    void Write(std::uint8_t, std::uint8_t) override {}
    qzr::emulator::StereoSample Generate() override { return {}; }
};

void BM_EngineOverheadWithoutChip(benchmark::State& state) {
    Engine engine(std::make_unique<SilentChip>());
    StartSounding(engine, Output::Offline);
    std::vector<std::int16_t> second(kRate * 2);
    for (auto _ : state) {
        engine.Render(second);
        benchmark::DoNotOptimize(second.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    engine.Stop();
}
BENCHMARK(BM_EngineOverheadWithoutChip)->Unit(benchmark::kMillisecond)->MinTime(3.0);

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_RealTimePlaybackCpu(benchmark::State& state) {
    // The silent clock paces exactly as playback to a device does, minus the device itself.
    Engine engine;
    for (auto _ : state) {
        StartSounding(engine, Output::SilentClock);
        const double cpuBefore = ProcessCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        engine.Stop();
        state.SetIterationTime(wall);
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    }
}
BENCHMARK(BM_RealTimePlaybackCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
