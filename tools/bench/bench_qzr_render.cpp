// What `qzr render` costs against the chip core alone: the example songs rendered through the
// player, the engine and the resampler, and the same span of native samples computed by a bare
// core with every channel sounding.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "qzr/compiler/compile_song.h"
#include "qzr/emulator_core/ym2151.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/song_image.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/tools/render.h"
#include "qzr/tools/vgm_tools.h"
#include "qzr/vgm/vgm_layout.h"

namespace {

using qzr::SongKind;
namespace ym2151 = qzr::ym2151;

struct CompiledExample {
    std::filesystem::path path;
    qzr::SongImage view;
};

CompiledExample CompileExample(const char* name, SongKind kind) {
    const std::filesystem::path examples = std::filesystem::path(QZR_SOURCE_DIR) / "examples";
    auto result = qzr::CompileFile(examples / name, qzr::TargetFor(kind), examples);
    const auto path =
        std::filesystem::temp_directory_path() / (std::string("bench_") + name + ".qzr");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(result.song.data()),
               static_cast<std::streamsize>(result.song.size()));
    return {path, qzr::SongImage(kind, std::move(result.song))};
}

void RenderExample(benchmark::State& state, const char* name, SongKind kind) {
    const CompiledExample example = CompileExample(name, kind);
    qzr::tools::RenderOptions options;
    options.kind = kind;
    std::string error;
    const auto length = qzr::tools::PlanRender(example.view, options, error);
    for (auto _ : state) {
        std::int64_t sum = 0;
        const bool ok = qzr::tools::RenderFrames(
            example.view, options, *length,
            [&sum](std::span<const std::int16_t> frames) {
                sum += frames.front();
                return true;
            },
            {}, error);
        benchmark::DoNotOptimize(sum);
        if (!ok) state.SkipWithError(error.c_str());
    }
    state.counters["song_seconds"] =
        static_cast<double>(length->frames) / qzr::tools::kDefaultSampleRate;
    std::filesystem::remove(example.path);
}

// The bare core over the same span, every channel keyed on with a full-level voice.
void CoreAlone(benchmark::State& state) {
    const CompiledExample example = CompileExample("harbour_lights.opm.mml", SongKind::OPM);
    qzr::tools::RenderOptions options;
    std::string error;
    const auto length = qzr::tools::PlanRender(example.view, options, error);
    const auto nativeSamples = static_cast<std::size_t>(
        std::ceil(static_cast<double>(length->frames) / qzr::tools::kDefaultSampleRate *
                  qzr::emulator::kNativeRateHz));
    std::vector<qzr::emulator::StereoSample> out(4096);
    for (auto _ : state) {
        qzr::emulator::YM2151 chip;
        for (int c = 0; c < 8; ++c) {
            const auto voice = example.view.Voice(c);
            chip.Write(static_cast<std::uint8_t>(ym2151::kRegChannelControlBase + c),
                       voice.control);
            for (int j = 0; j < 24; ++j) {
                chip.Write(static_cast<std::uint8_t>(ym2151::kRegOperatorBase + 8 * j + c),
                           voice.operatorBytes[static_cast<std::size_t>(j)]);
            }
            chip.Write(static_cast<std::uint8_t>(ym2151::kRegKeyCodeBase + c), 0x4A);
            chip.Write(ym2151::kRegKeyOn, static_cast<std::uint8_t>(ym2151::kKeyOnSlotMask | c));
        }
        for (std::size_t done = 0; done < nativeSamples; done += out.size()) {
            chip.Generate(std::span(out.data(), std::min(out.size(), nativeSamples - done)));
        }
        benchmark::DoNotOptimize(out.data());
    }
    std::filesystem::remove(example.path);
}

// The export of one pass to VGM bytes (the player over the recording port, then the writer), and
// the export played back through qzr render's VGM path. "times_real_time": song seconds per
// second of work.
void ExportExampleToVgm(benchmark::State& state) {
    const CompiledExample example = CompileExample("harbour_lights.opm.mml", SongKind::OPM);
    std::string error;
    double seconds = 0;
    for (auto _ : state) {
        const auto song = qzr::tools::ExportVgm(example.view, {"bench", "", {}}, error);
        const auto bytes = song ? qzr::vgm::WriteVgm(*song, error) : std::nullopt;
        if (!bytes) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(bytes);
        seconds += static_cast<double>(song->totalSamples) / qzr::vgm::kSampleRateHz;
    }
    state.counters["times_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    std::filesystem::remove(example.path);
}

void RenderExampleVgm(benchmark::State& state) {
    const CompiledExample example = CompileExample("harbour_lights.opm.mml", SongKind::OPM);
    std::string error;
    const auto song = qzr::tools::ExportVgm(example.view, {"bench", "", {}}, error);
    qzr::tools::RenderOptions options;
    const auto length = qzr::tools::PlanVgmRender(*song, options, error);
    double seconds = 0;
    for (auto _ : state) {
        std::int64_t sum = 0;
        const bool ok = qzr::tools::RenderVgmFrames(
            *song, options, *length,
            [&sum](std::span<const std::int16_t> frames) {
                sum += frames.front();
                return true;
            },
            error);
        benchmark::DoNotOptimize(sum);
        if (!ok) state.SkipWithError(error.c_str());
        seconds += static_cast<double>(length->frames) / options.sampleRate;
    }
    state.counters["times_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    std::filesystem::remove(example.path);
}

BENCHMARK(ExportExampleToVgm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RenderExampleVgm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RenderExample, harbour_lights_opm, "harbour_lights.opm.mml", SongKind::OPM)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderExample, harbour_lights_opn2, "harbour_lights.opn2.mml", SongKind::OPN2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CoreAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
