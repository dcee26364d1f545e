#pragma once

#include <soxr.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "native_renderer.h"
#include "output_load_meter.h"

namespace qzr::emulator {

// The output side of rendering: pulls native samples through soxr (high quality) to the output
// rate, applies the volume and saturates to 16 bits. Ticks run inside Render, from the
// resampler's input callback, so they keep time with the native samples. With stems, each
// channel's stem goes through the same resampler beside the mix (one soxr of 18 channels), so
// the stems keep the mix's timing and filtering exactly.
class FrameRenderer {
public:
    // The native rate is clockHz / 64. nullptr when soxr cannot be set up for these rates.
    static std::unique_ptr<FrameRenderer> Create(NativeRenderer& native, std::uint64_t clockHz,
                                                 int outputRate, bool fmEnabled,
                                                 const std::atomic<int>& volume,
                                                 OutputLoadMeter& load, bool withStems = false);

    // Exactly interleaved.size() / 2 stereo frames, left first. Rendering thread only. `stems`
    // (only with stems) holds, per frame, channel 0's left and right, then channel 1's, ...:
    // 16 values a frame. The time it takes goes to the load meter.
    void Render(std::span<std::int16_t> interleaved, std::span<std::int16_t> stems = {});
    bool WithStems() const { return streams_ > 1; }

private:
    struct SoxrDeleter {
        void operator()(soxr_t resampler) const noexcept { soxr_delete(resampler); }
    };
    using SoxrPtr = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

    FrameRenderer(NativeRenderer& native, bool fmEnabled, const std::atomic<int>& volume,
                  OutputLoadMeter& load, int outputRate, std::size_t streams);
    void RenderUntimed(std::span<std::int16_t> interleaved, std::span<std::int16_t> stems);
    static std::size_t SupplyInput(void* self, soxr_in_t* data, std::size_t requested);

    NativeRenderer& native_;
    bool fmEnabled_;
    const std::atomic<int>& volume_;
    OutputLoadMeter& load_;
    int outputRate_;
    std::size_t streams_;  // stereo streams: the mix, then each channel's stem
    SoxrPtr resampler_;
    std::vector<StereoSample> input_;
    std::vector<YM2151::ChannelFrame> stemInput_;
    std::vector<std::int16_t> interleavedInput_;  // mix and stems side by side, for soxr
    std::vector<float> resampled_;
};

// Volume (1024 = unity) applied to a resampled value in [-1, 1), rounded and saturated to 16
// bits: loud output clips, it never wraps.
std::int16_t ScaleToPcm16(float value, int volume);

}  // namespace qzr::emulator
