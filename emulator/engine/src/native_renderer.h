#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "channel_scope_ring.h"
#include "qzr/emulator_engine/chip.h"
#include "qzr/emulator_engine/engine.h"
#include "tick_schedule.h"
#include "write_queue.h"

namespace qzr::emulator {

// True on a thread that is inside a tick procedure called by a renderer.
bool InsideTick();

// Steps the chip one native sample at a time: the ticks due before the sample, then at most one
// queued write (after a requested reset), then the sample. The samples up to the next tick that
// find no write waiting are made as one block, which gives the same samples in less time. Only
// the rendering thread calls it.
class NativeRenderer {
public:
    // `position` receives the number of the next sample to compute, for readers on any thread.
    // Each channel's loudest stem value, raised as samples are made; the reader takes and
    // clears them.
    using ChannelMeters = std::array<std::atomic<int>, std::tuple_size_v<YM2151::ChannelFrame>>;
    // What metering keeps: the loudest values and the latest samples.
    struct Metering {
        ChannelMeters& peaks;
        ChannelScopeRing& scopes;
    };

    // With `metering`, every sample is made with its stems and the meters follow them.
    NativeRenderer(Chip& chip, WriteQueue& queue, const std::atomic<TickProcedure>& tick,
                   std::atomic<std::uint64_t>& position, const StartOptions& options,
                   std::optional<Metering> metering = std::nullopt);

    void Render(std::span<StereoSample> out);
    // The same with each channel's stem; stems.size() must equal out.size().
    void Render(std::span<StereoSample> out, std::span<YM2151::ChannelFrame> stems);

private:
    // Runs the ticks due before the next sample and hands the chip its write.
    void PrepareSample();
    // How many samples, from the prepared one and at most `most`, need nothing before them.
    std::size_t QuietRun(std::size_t most) const;
    void Advance(std::size_t samples);
    void RenderMetered(std::span<StereoSample> out);
    void RunTick();

    Chip& chip_;
    WriteQueue& queue_;
    const std::atomic<TickProcedure>& tick_;
    std::atomic<std::uint64_t>& position_;
    TickSchedule schedule_;
    bool tickEverySample_;
    std::uint64_t next_ = 0;
    std::optional<Metering> metering_;
    // The stems a metered block is made with (kept here: the rendering thread never allocates).
    std::array<YM2151::ChannelFrame, 256> meterStems_{};
};

}  // namespace qzr::emulator
