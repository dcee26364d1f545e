#include "silent_clock.h"

#include <algorithm>
#include <chrono>

namespace qzr::emulator {

namespace {
// 20 ms chunks: ticks arrive in groups of four at 5 ms, half the size of a sound device's
// buffers, and the thread wakes seldom enough to cost little.
constexpr int kChunksPerSecond = 50;
// Behind by more than this, a device would have run dry: resume from now instead of bursting.
constexpr std::chrono::milliseconds kMaxLag{200};

int ChunkFrames(int rate) { return std::max(1, rate / kChunksPerSecond); }
}  // namespace

SilentClock::SilentClock(FrameRenderer& renderer, int rate, PacingClock& clock,
                         OutputLoadMeter& load)
    : renderer_(renderer),
      clock_(clock),
      load_(load),
      chunkTime_(std::chrono::nanoseconds(std::chrono::seconds(1)) * ChunkFrames(rate) / rate),
      pacer_(rate, ChunkFrames(rate), kMaxLag),
      chunk_(static_cast<std::size_t>(ChunkFrames(rate)) * 2),
      thread_([this] { Run(); }) {}

SilentClock::~SilentClock() {
    stop_.Request();
    thread_.join();
}

void SilentClock::Run() {
    pacer_.Begin(clock_.Now());
    while (!stop_.Requested()) {
        const std::chrono::nanoseconds now = clock_.Now();
        const std::chrono::nanoseconds due = pacer_.NextDue();
        if (pacer_.TakeDueChunk(now)) {
            if (now - due > chunkTime_) load_.Late();
            renderer_.Render(chunk_);
            continue;
        }
        if (!clock_.SleepUntil(pacer_.NextDue(), stop_)) break;
    }
}

}  // namespace qzr::emulator
