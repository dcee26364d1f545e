#pragma once

#include <soxr.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "native_renderer.h"

namespace qzr::emulator {

// The output side of rendering: pulls native samples through soxr (high quality) to the output
// rate, applies the volume and saturates to 16 bits. Ticks run inside Render, from the
// resampler's input callback, so they keep time with the native samples.
class FrameRenderer {
public:
    // The native rate is clockHz / 64. nullptr when soxr cannot be set up for these rates.
    static std::unique_ptr<FrameRenderer> Create(NativeRenderer& native, std::uint64_t clockHz,
                                                 int outputRate, bool fmEnabled,
                                                 const std::atomic<int>& volume);

    // Exactly interleaved.size() / 2 stereo frames, left first. Rendering thread only.
    void Render(std::span<std::int16_t> interleaved);

private:
    struct SoxrDeleter {
        void operator()(soxr_t resampler) const noexcept { soxr_delete(resampler); }
    };
    using SoxrPtr = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

    FrameRenderer(NativeRenderer& native, bool fmEnabled, const std::atomic<int>& volume);
    static std::size_t SupplyInput(void* self, soxr_in_t* data, std::size_t requested);

    NativeRenderer& native_;
    bool fmEnabled_;
    const std::atomic<int>& volume_;
    SoxrPtr resampler_;
    std::vector<StereoSample> input_;
    std::vector<float> resampled_;
};

// Volume (1024 = unity) applied to a resampled value in [-1, 1), rounded and saturated to 16
// bits: loud output clips, it never wraps.
std::int16_t ScaleToPcm16(float value, int volume);

}  // namespace qzr::emulator
