// Compiles a generated source of 1,000,000 body tokens. Run with --write-source DIR to leave that
// source (DIR/bench.opm.mml) and its voice file behind, for timing the real program.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "qzr/compiler/compile_song.h"

namespace {

constexpr int kBodyTokens = 1'000'000;

std::string GeneratedSource(int channels) {
    std::string text = "bench\n6\n4096\n";
    for (int v = 0; v < channels; ++v) text += "11\nbench.voice\n";
    std::mt19937 random(2024);
    const char* notes[] = {"c", "d+", "e", "f", "g-", "a", "b-", "b"};
    const char* lengths[] = {"", "64", "32", "16.", "8", "4", "4.", "2"};
    for (int token = 0; token < kBodyTokens; ++token) {
        const auto pick = random() % 100;
        if (token % 500 == 0) {
            text += "ch" + std::to_string(token / 500 % channels + 1);
        } else if (pick < 60) {
            text += std::string(notes[random() % 8]) + lengths[random() % 8];
        } else if (pick < 75) {
            text += std::string("r") + lengths[random() % 8];
        } else if (pick < 85) {
            text += "o" + std::to_string(random() % 8);
        } else if (pick < 90) {
            text += pick % 2 == 0 ? "legato on" : "legato off";
        } else if (pick < 95) {
            text += "l%" + std::to_string(random() % 20 + 1);
        } else {
            text += "not a token";
        }
        text += '\n';
    }
    return text;
}

std::filesystem::path WriteFiles(const std::filesystem::path& folder, const std::string& source) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "bench.voice", std::ios::binary) << std::string(25, '\x11');
    const auto path = folder / "bench.opm.mml";
    std::ofstream(path, std::ios::binary) << source;
    return path;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_CompileMillionTokens(benchmark::State& state, const qzr::SongTarget& target, int channels) {
    const auto folder = std::filesystem::temp_directory_path() / "qzr-bench-compiler";
    const auto path = WriteFiles(folder, GeneratedSource(channels));
    std::size_t size = 0;
    for (auto _ : state) {
        const auto result = qzr::CompileFile(path, target, folder);
        size = result.song.size();
        benchmark::DoNotOptimize(result.song.data());
    }
    state.counters["tokens/s"] =
        benchmark::Counter(kBodyTokens, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["song_bytes"] = static_cast<double>(size);
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
    std::filesystem::remove_all(folder);
}

BENCHMARK_CAPTURE(BM_CompileMillionTokens, opm, qzr::kOPMTarget, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompileMillionTokens, opn2, qzr::kOPN2Target, 6)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-source") == 0) {
        WriteFiles(argv[2], GeneratedSource(8));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
