#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <tuple>

#include "qzr/emulator_engine/chip.h"
#include "qzr/emulator_engine/pacing_clock.h"

namespace qzr::emulator {

// The master clock: 3,579,545 Hz lowered by one semitone. The player's key codes put note c on
// the chip's first note code (C# at the usual clock); one semitone lower, every note sounds at
// the pitch its name says, and o4 a is 440 Hz.
inline constexpr std::uint64_t kChipClockHz = 3'378'641;
inline constexpr std::uint64_t kClocksPerSample = 64;
inline constexpr double kNativeRateHz =
    static_cast<double>(kChipClockHz) / static_cast<double>(kClocksPerSample);

inline constexpr int kMinSampleRate = 8'000;
inline constexpr int kMaxSampleRate = 192'000;
inline constexpr int kUnityVolume = 1024;  // the chip's own level
// The input clocks a chip may be started at (StartOptions::clockHz): the ones chip music files
// give lie well inside.
inline constexpr std::uint64_t kMinClockHz = 1'000'000;
inline constexpr std::uint64_t kMaxClockHz = 8'000'000;

// Called once per tick on the rendering thread; it may write registers (and usually does).
using TickProcedure = void (*)();

enum class Output {
    DeviceOrSilentClock,  // the audio device, or the silent clock where none can be opened
    SilentClock,          // renders at real-time pace and discards the sound
    Offline,              // renders only when the caller pulls frames
};

enum class ActiveOutput { None, Device, SilentClock, Offline };

enum class StartResult {
    Started,
    RateOutOfRange,
    PeriodTooShort,
    ClockOutOfRange,
    AlreadyRunning,
    Failed
};

struct StartOptions {
    int sampleRate = 44'100;  // output rate, kMinSampleRate .. kMaxSampleRate
    int tickPeriodMs = 5;     // at least 1
    // true: the tick runs before every native sample instead, for a source that places each
    // write on its own sample (a VGM stream); tickPeriodMs is then not used.
    bool tickEverySample = false;
    std::uint64_t clockHz = kChipClockHz;  // the chip's input clock, kMinClockHz .. kMaxClockHz
    int bufferCount = 5;                   // device buffers that make up the latency
    int latencyMs = 200;                   // device latency
    bool fmEnabled = true;  // false: the chip runs and ticks come, but the output is silent
    Output output = Output::DeviceOrSilentClock;
    PacingClock* clock = nullptr;  // the silent clock's time source; null means the steady clock
    // Offline output only: each channel's stem is resampled beside the mix (RenderWithStems).
    // It costs the render about as much again; without it none of that work is done.
    bool channelStems = false;
    // Any output: each channel's loudest stem value is kept for TakeChannelPeaks (a level meter),
    // and its latest samples for CopyChannelSamples (an oscilloscope).
    bool channelMeters = false;
};

// How the rendering thread keeps up with a real-time output since Start: the chunks it rendered,
// those the silent clock made too late for a device holding two of them (an underrun), and the
// time rendering took against the time the sound lasts, on average and in the busiest chunk (a
// share of 1 would just keep up).
struct OutputLoad {
    std::uint64_t chunks = 0;
    std::uint64_t lateChunks = 0;
    double averageShare = 0;
    double busiestShare = 0;
};

// One native sample of each chip channel's stem, its left and right averaged (an oscilloscope's).
using ChannelSamples = std::array<std::int16_t, std::tuple_size_v<YM2151::ChannelFrame>>;

// Values per output frame of RenderWithStems' stems: each chip channel's left and right.
inline constexpr std::size_t kStemValuesPerFrame = 2 * std::tuple_size_v<YM2151::ChannelFrame>;

// The chip at its native rate (the clock / 64, kChipClockHz unless started at another), a
// register-write queue, the tick scheduler, resampling to the output rate and one of three outputs.
// Tick k (k = 1, 2, ... counted from Start) runs just before native sample floor(k * clock * period
// / 64,000) is computed, so ticks keep time with the sound whatever the resampler looks ahead.
//
// Threads: Write, Reset, SetTotalVolume, SetTickProcedure, Active and NativeSamplePosition may
// be called from any thread, including from inside the tick; the tick is never called while the
// engine holds a lock that they need. Start, Stop, Render and RenderNative are serialised among
// themselves; from inside the tick they do nothing (Start reports AlreadyRunning, the pulls
// return 0), since the tick runs on the thread they would have to wait for.
class Engine {
public:
    explicit Engine(std::unique_ptr<Chip> chip = MakeYM2151Chip());
    ~Engine();  // stops as Stop does
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Resets the chip, clears the queue and starts the chosen output. The tick procedure and
    // the volume set before are kept.
    StartResult Start(const StartOptions& options);
    // Stops the output and joins every thread the engine started; forgets the tick procedure and
    // sets the volume back to kUnityVolume. Harmless when not running.
    void Stop();
    ActiveOutput Active() const;

    // Queues one register write; writes reach the chip in arrival order, one per native sample.
    // Dropped when not running.
    void Write(std::uint8_t reg, std::uint8_t value);
    // Drops the queued writes and resets the chip before the next native sample.
    void Reset();
    // Output gain volume / 1024 (negative counts as 0); the output saturates to 16 bits.
    void SetTotalVolume(int volume);
    // Replaces the procedure called every tick; null calls nothing.
    void SetTickProcedure(TickProcedure tick);

    // Offline output only: fills `interleaved` (left, right, left, ...) with the next frames at
    // the output rate, running the ticks that fall inside. Returns the frames written, 0 when
    // the offline output is not running.
    std::size_t Render(std::span<std::int16_t> interleaved);
    // Offline output started with channelStems only: as Render, and `stems` gets each frame's
    // channel stems (channel 0's left and right, then channel 1's, ...; kStemValuesPerFrame a
    // frame): what the chip puts out with that channel alone, at the same volume. 0 when not
    // so started or when stems.size() is not kStemValuesPerFrame times the frames.
    std::size_t RenderWithStems(std::span<std::int16_t> interleaved, std::span<std::int16_t> stems);
    // Offline output only: the chip's own samples at the native rate, without resampling or
    // gain. Shares the timeline with Render; use one or the other in a run.
    std::size_t RenderNative(std::span<StereoSample> frames);

    // Started with channelMeters: each chip channel's loudest value (the magnitude of the chip's
    // output with that channel alone, 0 to 32,768) since the last call; any thread. All 0
    // otherwise.
    using ChannelPeaks = std::array<int, std::tuple_size_v<YM2151::ChannelFrame>>;
    ChannelPeaks TakeChannelPeaks();
    // Started with channelMeters: the latest out.size() native samples of the channels' stems
    // (at most 4,096, about 74 ms), oldest first; any thread. Returns how many were copied.
    std::size_t CopyChannelSamples(std::span<ChannelSamples> out) const;

    // Any thread.
    OutputLoad Load() const;

    // The native sample about to be computed; inside a tick, the sample the tick precedes.
    std::uint64_t NativeSamplePosition() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qzr::emulator
