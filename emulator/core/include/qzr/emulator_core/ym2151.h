#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "qzr/emulator_core/stereo_sample.h"

namespace qzr::emulator {

// The usual input clock. The core itself knows no clock: it works in native samples, one per
// 64 input clocks (55,930.390625 Hz at this clock).
inline constexpr std::uint32_t kStandardClockHz = 3'579'545;
inline constexpr std::uint32_t kInputClocksPerSample = 64;

enum class EnvelopePhase : std::uint8_t { Attack, Decay, Sustain, Release };

// What one operator slot holds between samples, for tests and diagnostics.
// Slot s = channel + 8 * k, k = 0 M1, 1 M2, 2 C1, 3 C2.
struct SlotView {
    std::uint32_t phase;      // 20-bit phase accumulator
    std::uint32_t increment;  // phase increment formed in the last sample (20 bits)
    std::uint16_t level;      // envelope level, 0 loudest .. 1023 silent (0.09375 dB a unit)
    EnvelopePhase phaseState;
    std::uint8_t keyCode;  // 5-bit key code after PM and DT2, as used by DT1 and key scaling
    std::int16_t output;   // operator output of the last sample (-8168..8168)
};

// A YM2151 (OPM) stepped one native sample at a time, bit-exact to the chip's digital output.
// Not thread-safe: one thread owns an instance. Integer-only sample path; no allocation after
// construction unless more than 4,096 writes are held at once.
class YM2151 {
public:
    YM2151();
    ~YM2151();
    YM2151(YM2151&&) noexcept;
    YM2151& operator=(YM2151&&) noexcept;
    YM2151(const YM2151&) = delete;
    YM2151& operator=(const YM2151&) = delete;

    // The chip's reset (IC held for a sample, then released): every register 0, envelopes at
    // rest, timers, LFO and noise cleared, output pipeline empty. The next Generate() computes
    // sample 0, so output is silent at once.
    void Reset();

    // A data write to register `reg`, made between the previous Generate() and the next one.
    // The chip takes one write per sample (see WritePacer): writes beyond the first are held
    // and made before the following samples, one each, in order. None is lost.
    void Write(std::uint8_t reg, std::uint8_t value);

    // Computes the next native sample n (0 after a reset) and returns output frame n: the pair
    // the chip's DAC latches during sample n. That includes the chip's own latency: a carrier
    // keyed on (attack rate 31) by a write made before sample n is first heard in frame n + 4.
    StereoSample Generate();
    // Many samples, with no writes between them except those already held.
    void Generate(std::span<StereoSample> out);
    // The same, with each channel's part of each frame (the channel tap, for stems): channel
    // c's carriers summed into its own left and right values with the same timing as the mix,
    // before the 18-bit sum and the DAC (so the channels do not add up to the frame exactly).
    // channels.size() must equal out.size(). Generate without it does none of this work; so
    // when the tap is first asked for after samples made without it, the first three frames'
    // channel values lack the parts those samples had in the mix's pipeline.
    using ChannelFrame = std::array<StereoSample, 8>;
    void Generate(std::span<StereoSample> out, std::span<ChannelFrame> channels);
    // A channel's tapped part as the chip would put it out if it sounded alone: through the
    // 18-bit accumulator, the saturation and the DAC's floating-point format (a stem).
    static StereoSample ChannelAlone(StereoSample part);

    // Status byte: bit 0 timer A flag, bit 1 timer B flag; busy (bit 7) always 0, since writes
    // are spaced one per sample.
    std::uint8_t Status() const;
    // The IRQ pin: active while either timer flag is set.
    bool IrqPending() const;

    // Number of samples computed since the last reset.
    std::uint64_t SampleIndex() const;

    // Inspection for tests and diagnostics; slot 0..31.
    SlotView InspectSlot(int slot) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qzr::emulator
