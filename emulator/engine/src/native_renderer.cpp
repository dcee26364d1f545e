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
                               ChannelMeters* meters)
    : chip_(chip),
      queue_(queue),
      tick_(tick),
      position_(position),
      schedule_(options.clockHz, static_cast<std::uint64_t>(std::max(options.tickPeriodMs, 1))),
      tickEverySample_(options.tickEverySample),
      meters_(meters) {
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

void NativeRenderer::Render(std::span<StereoSample> out) {
    if (meters_ == nullptr) {
        for (StereoSample& frame : out) {
            PrepareSample();
            frame = chip_.Generate();
            ++next_;
            position_.store(next_, std::memory_order_relaxed);
        }
        return;
    }
    std::array<int, std::tuple_size_v<YM2151::ChannelFrame>> loudest{};
    YM2151::ChannelFrame stems{};
    for (StereoSample& frame : out) {
        PrepareSample();
        frame = chip_.GenerateWithStems(stems);
        for (std::size_t c = 0; c < stems.size(); ++c) {
            loudest[c] =
                std::max({loudest[c], std::abs(int{stems[c].left}), std::abs(int{stems[c].right})});
        }
        ++next_;
        position_.store(next_, std::memory_order_relaxed);
    }
    for (std::size_t c = 0; c < loudest.size(); ++c) {
        int held = (*meters_)[c].load(std::memory_order_relaxed);
        while (loudest[c] > held &&
               !(*meters_)[c].compare_exchange_weak(held, loudest[c], std::memory_order_relaxed)) {
        }
    }
}

void NativeRenderer::Render(std::span<StereoSample> out, std::span<YM2151::ChannelFrame> stems) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        PrepareSample();
        out[i] = chip_.GenerateWithStems(stems[i]);
        ++next_;
        position_.store(next_, std::memory_order_relaxed);
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
