// The studio's live loop on the bundled example: from an edit of the source to the new song
// handed to the player at the row playing (what is heard one output latency, 40 ms, later), the
// GUI thread's share of a core while the song plays with the tokens, tracker and meters shown,
// and the audio thread's margin over a long play.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

#include "qzr/studio/studio_window.h"

namespace {

using Clock = std::chrono::steady_clock;

QString ExampleSource() {
    std::ifstream in(QZR_SOURCE_DIR "/examples/harbour_lights.opm.qmml", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return QString::fromStdString(text.str());
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// 100 edits while playing, each a different title so every one is a new song to hand over.
void BM_EditToHandOver(benchmark::State& state) {
    QDir::setCurrent(QZR_SOURCE_DIR "/examples");
    qzr::studio::StudioWindow window;
    const QString source = ExampleSource();
    window.Editor().setPlainText(source);
    window.PlayFromStart();
    std::vector<double> ms;
    int edit = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i, ++edit) {
            QString edited = source;
            edited.replace("#title Harbour Lights", "#title Harbour " + QString::number(edit));
            const auto began = Clock::now();
            window.Editor().setPlainText(edited);
            window.CompileNow();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - began).count());
        }
    }
    window.StopPlaying();
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["worst_ms"] = Percentile(ms, 1.0);
}
BENCHMARK(BM_EditToHandOver)->Iterations(1)->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Five seconds of play with the window showing it: the GUI thread's share of a core (this
// thread's CPU time) and the whole process's (the audio thread's besides).
void BM_GuiWhilePlaying(benchmark::State& state) {
    QDir::setCurrent(QZR_SOURCE_DIR "/examples");
    qzr::studio::StudioWindow window;
    window.Editor().setPlainText(ExampleSource());
    window.show();
    for (auto _ : state) {
        window.PlayFromStart();
        const std::clock_t cpuBefore = std::clock();
        const double guiBefore = ThreadCpuSeconds();
        const auto began = Clock::now();
        QTest::qWait(5000);
        const double wall = std::chrono::duration<double>(Clock::now() - began).count();
        const double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        const double gui = ThreadCpuSeconds() - guiBefore;
        window.StopPlaying();
        state.counters["process_cpu_percent"] = 100 * cpu / wall;
        state.counters["gui_thread_cpu_percent"] = 100 * gui / wall;
    }
}
BENCHMARK(BM_GuiWhilePlaying)->Iterations(1)->Unit(benchmark::kMillisecond);

// Play with the window showing it, meters and all, on the silent clock where there is no sound
// device: the chunks made too late (underruns), and the audio thread's busiest and average share
// of the sound's time; the margin is how many times faster than needed the busiest chunk was.
// QZR_BENCH_PLAY_SECONDS sets the length (600, ten minutes, unless given).
void BM_AudioMargin(benchmark::State& state) {
    QDir::setCurrent(QZR_SOURCE_DIR "/examples");
    const char* seconds = std::getenv("QZR_BENCH_PLAY_SECONDS");
    const int playMs = 1000 * (seconds != nullptr ? std::max(1, std::atoi(seconds)) : 600);
    qzr::studio::StudioWindow window;
    window.Editor().setPlainText(ExampleSource());
    window.show();
    for (auto _ : state) {
        window.PlayFromStart();
        QTest::qWait(playMs);
        const qzr::emulator::OutputLoad load = window.AudioLoad();
        window.StopPlaying();
        state.counters["late_chunks"] = static_cast<double>(load.lateChunks);
        state.counters["chunks"] = static_cast<double>(load.chunks);
        state.counters["busiest_percent"] = 100 * load.busiestShare;
        state.counters["average_percent"] = 100 * load.averageShare;
        state.counters["margin"] = load.busiestShare > 0 ? 1 / load.busiestShare : 0;
    }
}
BENCHMARK(BM_AudioMargin)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
