#include "qzr/emulator_engine/engine.h"

#include <algorithm>
#include <exception>
#include <mutex>

#include "audio_device.h"
#include "frame_renderer.h"
#include "native_renderer.h"
#include "output_load_meter.h"
#include "silent_clock.h"
#include "write_queue.h"

namespace qzr::emulator {

namespace {
constexpr int kMinBufferFrames = 64;
constexpr int kMaxBufferFrames = 16'384;

// Frames per device buffer: the latency shared among the buffers.
int DeviceBufferFrames(const StartOptions& options) {
    const long long buffers = std::max(1, options.bufferCount);
    const long long frames = static_cast<long long>(options.sampleRate) *
                             std::max(0, options.latencyMs) / (1000 * buffers);
    return static_cast<int>(std::clamp<long long>(frames, kMinBufferFrames, kMaxBufferFrames));
}
}  // namespace

struct Engine::Impl {
    explicit Impl(std::unique_ptr<Chip> c) : chip(std::move(c)) {}

    void StopLocked() {
        // Outputs first: once they are gone nothing renders, and the renderers can go.
        device.reset();
        silentClock.reset();
        frames.reset();
        native.reset();
        active.store(ActiveOutput::None);
        running.store(false);
        queue.Clear();
        tick.store(nullptr);
        volume.store(kUnityVolume);
    }

    std::unique_ptr<Chip> chip;
    WriteQueue queue;
    std::atomic<TickProcedure> tick{nullptr};
    std::atomic<int> volume{kUnityVolume};
    std::atomic<std::uint64_t> position{0};
    std::atomic<bool> running{false};
    NativeRenderer::ChannelMeters meters{};
    ChannelScopeRing scopes;
    OutputLoadMeter load;

    // Read without the lock, so that a tick may ask while an offline pull holds it.
    std::atomic<ActiveOutput> active{ActiveOutput::None};

    std::mutex lifecycle;  // Start, Stop, Render and the members below
    std::unique_ptr<NativeRenderer> native;
    std::unique_ptr<FrameRenderer> frames;
    std::unique_ptr<AudioDevice> device;
    std::unique_ptr<SilentClock> silentClock;
};

Engine::Engine(std::unique_ptr<Chip> chip) : impl_(std::make_unique<Impl>(std::move(chip))) {}

Engine::~Engine() { Stop(); }

StartResult Engine::Start(const StartOptions& options) {
    if (options.sampleRate < kMinSampleRate || options.sampleRate > kMaxSampleRate) {
        return StartResult::RateOutOfRange;
    }
    if (options.tickPeriodMs < 1 && !options.tickEverySample) return StartResult::PeriodTooShort;
    if (options.clockHz < kMinClockHz || options.clockHz > kMaxClockHz) {
        return StartResult::ClockOutOfRange;
    }
    // A tick that starts the engine would wait for its own renderer.
    if (InsideTick()) return StartResult::AlreadyRunning;
    Impl& s = *impl_;
    const std::lock_guard lock(s.lifecycle);
    if (s.active.load() != ActiveOutput::None) return StartResult::AlreadyRunning;
    try {
        s.chip->Reset();
        s.queue.Clear();
        for (auto& meter : s.meters) meter.store(0);
        s.scopes.Clear();
        s.load.Clear();
        s.native = std::make_unique<NativeRenderer>(
            *s.chip, s.queue, s.tick, s.position, options,
            options.channelMeters ? std::optional<NativeRenderer::Metering>({s.meters, s.scopes})
                                  : std::nullopt);
        const bool stems = options.channelStems && options.output == Output::Offline;
        s.frames = FrameRenderer::Create(*s.native, options.clockHz, options.sampleRate,
                                         options.fmEnabled, s.volume, s.load, stems);
        if (!s.frames) {
            s.StopLocked();
            return StartResult::Failed;
        }
        // Writes are accepted from here on, so none made after Start returns is lost.
        s.running.store(true);
        if (options.output == Output::Offline) {
            s.active.store(ActiveOutput::Offline);
            return StartResult::Started;
        }
        if (options.output == Output::DeviceOrSilentClock) {
            s.device = OpenAudioDevice(options.sampleRate, DeviceBufferFrames(options), *s.frames);
            if (s.device) {
                s.active.store(ActiveOutput::Device);
                return StartResult::Started;
            }
        }
        PacingClock& clock = options.clock != nullptr ? *options.clock : SteadyPacingClock();
        s.silentClock = std::make_unique<SilentClock>(*s.frames, options.sampleRate, clock, s.load);
        s.active.store(ActiveOutput::SilentClock);
        return StartResult::Started;
    } catch (const std::exception&) {
        // Out of memory or no thread to be had: report that nothing runs.
        s.StopLocked();
        return StartResult::Failed;
    }
}

void Engine::Stop() {
    // A tick cannot stop the thread it runs on.
    if (InsideTick()) return;
    const std::lock_guard lock(impl_->lifecycle);
    impl_->StopLocked();
}

ActiveOutput Engine::Active() const { return impl_->active.load(); }

void Engine::Write(std::uint8_t reg, std::uint8_t value) {
    if (!impl_->running.load(std::memory_order_acquire)) return;
    impl_->queue.Push({reg, value});
}

void Engine::Reset() {
    if (!impl_->running.load(std::memory_order_acquire)) return;
    impl_->queue.DiscardAndRequestReset();
}

void Engine::SetTotalVolume(int volume) { impl_->volume.store(std::max(0, volume)); }

void Engine::SetTickProcedure(TickProcedure tick) { impl_->tick.store(tick); }

std::size_t Engine::Render(std::span<std::int16_t> interleaved) {
    if (InsideTick()) return 0;
    Impl& s = *impl_;
    const std::lock_guard lock(s.lifecycle);
    if (s.active.load() != ActiveOutput::Offline) return 0;
    s.frames->Render(interleaved);
    return interleaved.size() / 2;
}

std::size_t Engine::RenderWithStems(std::span<std::int16_t> interleaved,
                                    std::span<std::int16_t> stems) {
    if (InsideTick()) return 0;
    Impl& s = *impl_;
    const std::lock_guard lock(s.lifecycle);
    if (s.active.load() != ActiveOutput::Offline || !s.frames->WithStems()) return 0;
    const std::size_t frames = interleaved.size() / 2;
    if (stems.size() != frames * kStemValuesPerFrame) return 0;
    s.frames->Render(interleaved, stems);
    return frames;
}

std::size_t Engine::RenderNative(std::span<StereoSample> frames) {
    if (InsideTick()) return 0;
    Impl& s = *impl_;
    const std::lock_guard lock(s.lifecycle);
    if (s.active.load() != ActiveOutput::Offline) return 0;
    s.native->Render(frames);
    return frames.size();
}

Engine::ChannelPeaks Engine::TakeChannelPeaks() {
    ChannelPeaks peaks{};
    for (std::size_t c = 0; c < peaks.size(); ++c) {
        peaks[c] = impl_->meters[c].exchange(0, std::memory_order_relaxed);
    }
    return peaks;
}

std::size_t Engine::CopyChannelSamples(std::span<ChannelSamples> out) const {
    return impl_->scopes.CopyLatest(out);
}

OutputLoad Engine::Load() const { return impl_->load.Read(); }

std::uint64_t Engine::NativeSamplePosition() const {
    return impl_->position.load(std::memory_order_relaxed);
}

}  // namespace qzr::emulator
