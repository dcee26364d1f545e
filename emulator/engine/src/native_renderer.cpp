#include "native_renderer.h"

#include <algorithm>
#include <cstdlib>

namespace qzr::emulator {

namespace {
thread_local bool tInsideTick = false;
}

bool InsideTick() { return tInsideTick; }

NativeRenderer::NativeRenderer(Chip& chip, WriteQueue& queue,
                               const std::atomic<TickProcedure>& tick,
                               std::atomic<std::uint64_t>& position, const StartOptions& options,
                               std::optional<Metering> metering)
    : chip_(chip),
      queue_(queue),
      tick_(tick),
      position_(position),
      schedule_(options.clockHz, static_cast<std::uint64_t>(std::max(options.tickPeriodMs, 1))),
      tickEverySample_(options.tickEverySample),
      metering_(metering) {
    position_.store(0, std::memory_order_relaxed);
}

void NativeRenderer::PrepareSample() {
    // The tick comes first, so the writes it makes can reach the chip in this very sample.
    if (tickEverySample_) RunTick();
    while (!tickEverySample_ && schedule_.NextTickSample() == next_) {
        schedule_.Advance();
        RunTick();
    }
    const WriteQueue::ForSample pending = queue_.TakeForSample();
    if (pending.reset) chip_.Reset();
    if (pending.write) chip_.Write(pending.write->reg, pending.write->value);
}

std::size_t NativeRenderer::QuietRun(std::size_t most) const {
    // PrepareSample has run the ticks due at next_, so the next one is later.
    if (tickEverySample_ || !queue_.Idle()) return 1;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(most, schedule_.NextTickSample() - next_));
}

void NativeRenderer::Advance(std::size_t samples) {
    next_ += samples;
    position_.store(next_, std::memory_order_relaxed);
}

void NativeRenderer::Render(std::span<StereoSample> out) {
    if (metering_) return RenderMetered(out);
    while (!out.empty()) {
        PrepareSample();
        const std::span<StereoSample> run = out.first(QuietRun(out.size()));
        chip_.GenerateBlock(run);
        Advance(run.size());
        out = out.subspan(run.size());
    }
}

void NativeRenderer::RenderMetered(std::span<StereoSample> out) {
    std::array<int, std::tuple_size_v<YM2151::ChannelFrame>> loudest{};
    while (!out.empty()) {
        PrepareSample();
        const std::size_t count = QuietRun(std::min(out.size(), meterStems_.size()));
        const std::span<YM2151::ChannelFrame> stems(meterStems_.data(), count);
        chip_.GenerateBlockWithStems(out.first(count), stems);
        for (const YM2151::ChannelFrame& frame : stems) {
            metering_->scopes.Push(frame);
            for (std::size_t c = 0; c < frame.size(); ++c) {
                loudest[c] = std::max(
                    {loudest[c], std::abs(int{frame[c].left}), std::abs(int{frame[c].right})});
            }
        }
        Advance(count);
        out = out.subspan(count);
    }
    for (std::size_t c = 0; c < loudest.size(); ++c) {
        std::atomic<int>& meter = metering_->peaks[c];
        int held = meter.load(std::memory_order_relaxed);
        while (loudest[c] > held &&
               !meter.compare_exchange_weak(held, loudest[c], std::memory_order_relaxed)) {
        }
    }
}

void NativeRenderer::Render(std::span<StereoSample> out, std::span<YM2151::ChannelFrame> stems) {
    while (!out.empty()) {
        PrepareSample();
        const std::size_t count = QuietRun(out.size());
        chip_.GenerateBlockWithStems(out.first(count), stems.first(count));
        Advance(count);
        out = out.subspan(count);
        stems = stems.subspan(count);
    }
}

void NativeRenderer::RunTick() {
    const TickProcedure tick = tick_.load(std::memory_order_acquire);
    if (tick == nullptr) return;
    tInsideTick = true;
    tick();
    tInsideTick = false;
}

}  // namespace qzr::emulator
