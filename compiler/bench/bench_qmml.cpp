// Builds a qmml source that fills eight OPM channels to their 49,151 rows with one-row notes,
// each preceded by an octave and a length change, written with repeats and macros: about 1.2
// million items after expansion. Run with --write-source DIR to leave it (DIR/bench.opm.qmml)
// behind, for timing `qzr build`.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "qzr/compiler/qmml_compile.h"

namespace {

constexpr int kRows = 49'151;  // 767 x 64 + 15 x 4 + 3
constexpr int kItemsAfterExpansion = 8 * kRows * 3;

std::string Source() {
    return "#title bench\n#chip opm\n"
           "@1 { 4 0\n"
           "  M1: 31 0 0 15 0 127 0 1 0 0 0\n  M2: 31 0 0 15 0 127 0 1 0 0 0\n"
           "  C1: 31 0 0 15 0 127 0 1 0 0 0\n  C2: 31 0 0 15 0 0 0 1 0 0 0 }\n"
           "!n = o3 l64 c o5 l64 d o4 l64 e o6 l64 f\n"
           "!m = [!n]16\n"
           "ch1,2,3,4,5,6,7,8 @1 [!m]767 [!n]15 o3 l64 c o5 l64 d o4 l64 e\n";
}

void BM_BuildFullChannels(benchmark::State& state) {
    const std::string text = Source();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    qzr::qmml::Options options;
    options.sourceName = "bench.opm.qmml";
    std::size_t size = 0;
    for (auto _ : state) {
        const qzr::qmml::Result result = qzr::qmml::Compile(bytes, options);
        if (!result.Ok()) state.SkipWithError("the benchmark source does not compile");
        size = result.song.size();
        benchmark::DoNotOptimize(result.song.data());
    }
    state.counters["items/s"] =
        benchmark::Counter(kItemsAfterExpansion, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["song_bytes"] = static_cast<double>(size);
}

void BM_LowerFullChannels(benchmark::State& state) {
    const std::string text = Source();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    qzr::qmml::Options options;
    options.sourceName = "bench.opm.qmml";
    const qzr::qmml::Result result = qzr::qmml::Compile(bytes, options);
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string lowered = qzr::qmml::ClassicSourceText(result.classic);
        size = lowered.size();
        benchmark::DoNotOptimize(lowered.data());
    }
    state.counters["classic_lines"] = static_cast<double>(result.classic.body.size());
    state.counters["text_bytes"] = static_cast<double>(size);
}

BENCHMARK(BM_BuildFullChannels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LowerFullChannels)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-source") == 0) {
        std::filesystem::create_directories(argv[2]);
        std::ofstream(std::filesystem::path(argv[2]) / "bench.opm.qmml", std::ios::binary)
            << Source();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
