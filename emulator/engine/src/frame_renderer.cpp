#include "frame_renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <tuple>

namespace qzr::emulator {

namespace {
// Native samples handed to soxr per request: small, so ticks run little ahead of the sound.
constexpr std::size_t kInputBlock = 256;
// Output frames resampled per soxr call before scaling to 16 bits.
constexpr std::size_t kOutputBlock = 1024;
static_assert(sizeof(StereoSample) == 2 * sizeof(std::int16_t), "soxr reads frames as int16 pairs");
constexpr std::size_t kStemStreams = 1 + std::tuple_size_v<YM2151::ChannelFrame>;
}  // namespace

std::int16_t ScaleToPcm16(float value, int volume) {
    // 32768 full scale over the 1024 of unity volume.
    const float scaled = value * static_cast<float>(volume) * 32.0f;
    const float clamped = std::clamp(scaled, -32768.0f, 32767.0f);
    return static_cast<std::int16_t>(std::lrint(clamped));
}

FrameRenderer::FrameRenderer(NativeRenderer& native, bool fmEnabled, const std::atomic<int>& volume,
                             OutputLoadMeter& load, int outputRate, std::size_t streams)
    : native_(native),
      fmEnabled_(fmEnabled),
      volume_(volume),
      load_(load),
      outputRate_(outputRate),
      streams_(streams),
      input_(kInputBlock),
      stemInput_(streams > 1 ? kInputBlock : 0),
      interleavedInput_(streams > 1 ? kInputBlock * 2 * streams : 0),
      resampled_(kOutputBlock * 2 * streams) {}

std::unique_ptr<FrameRenderer> FrameRenderer::Create(NativeRenderer& native, std::uint64_t clockHz,
                                                     int outputRate, bool fmEnabled,
                                                     const std::atomic<int>& volume,
                                                     OutputLoadMeter& load, bool withStems) {
    const std::size_t streams = withStems ? kStemStreams : 1;
    std::unique_ptr<FrameRenderer> renderer(
        new FrameRenderer(native, fmEnabled, volume, load, outputRate, streams));
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: soxr may otherwise start OpenMP workers that outlive a stop.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    renderer->resampler_.reset(
        soxr_create(static_cast<double>(clockHz) / static_cast<double>(kClocksPerSample),
                    static_cast<double>(outputRate), static_cast<unsigned>(2 * streams), &error,
                    &io, &quality, &runtime));
    if (error != nullptr || !renderer->resampler_) return nullptr;
    error = soxr_set_input_fn(renderer->resampler_.get(), &FrameRenderer::SupplyInput,
                              renderer.get(), kInputBlock);
    if (error != nullptr) return nullptr;
    return renderer;
}

std::size_t FrameRenderer::SupplyInput(void* self, soxr_in_t* data, std::size_t requested) {
    auto& renderer = *static_cast<FrameRenderer*>(self);
    const std::size_t count = std::clamp<std::size_t>(requested, 1, renderer.input_.size());
    const std::span<StereoSample> block(renderer.input_.data(), count);
    if (renderer.streams_ == 1) {
        renderer.native_.Render(block);
        *data = renderer.input_.data();
        return count;
    }
    const std::span<YM2151::ChannelFrame> stems(renderer.stemInput_.data(), count);
    renderer.native_.Render(block, stems);
    std::int16_t* to = renderer.interleavedInput_.data();
    for (std::size_t i = 0; i < count; ++i) {
        *to++ = block[i].left;
        *to++ = block[i].right;
        for (const StereoSample& stem : stems[i]) {
            *to++ = stem.left;
            *to++ = stem.right;
        }
    }
    *data = renderer.interleavedInput_.data();
    return count;
}

void FrameRenderer::Render(std::span<std::int16_t> interleaved, std::span<std::int16_t> stems) {
    using std::chrono::steady_clock;
    const auto began = steady_clock::now();
    RenderUntimed(interleaved, stems);
    const auto frames = static_cast<std::int64_t>(interleaved.size() / 2);
    load_.Rendered(steady_clock::now() - began,
                   std::chrono::nanoseconds(frames * 1'000'000'000 / outputRate_));
}

void FrameRenderer::RenderUntimed(std::span<std::int16_t> interleaved,
                                  std::span<std::int16_t> stems) {
    const std::size_t stemValues = 2 * (streams_ - 1);  // per frame
    std::size_t frames = interleaved.size() / 2;
    std::int16_t* out = interleaved.data();
    std::int16_t* stemOut = stems.data();
    if (stems.size() < frames * stemValues) stemOut = nullptr;  // not asked for: dropped
    while (frames > 0) {
        const std::size_t want = std::min(frames, kOutputBlock);
        const std::size_t got = soxr_output(resampler_.get(), resampled_.data(), want);
        if (got == 0) {
            // Only a resampler failure gets here; silence is the defined outcome.
            std::fill(out, out + frames * 2, std::int16_t{0});
            if (stemOut != nullptr)
                std::fill(stemOut, stemOut + frames * stemValues, std::int16_t{0});
            return;
        }
        const int volume = fmEnabled_ ? volume_.load(std::memory_order_relaxed) : 0;
        const float* from = resampled_.data();
        for (std::size_t f = 0; f < got; ++f) {
            *out++ = ScaleToPcm16(*from++, volume);
            *out++ = ScaleToPcm16(*from++, volume);
            for (std::size_t v = 0; v < stemValues; ++v, ++from) {
                if (stemOut != nullptr) *stemOut++ = ScaleToPcm16(*from, volume);
            }
        }
        frames -= got;
    }
}

}  // namespace qzr::emulator
