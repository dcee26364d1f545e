#pragma once

#include <cstdint>

namespace qzr::emulator::detail {

enum class LfoWave : std::uint8_t { Saw = 0, Square = 1, Triangle = 2, Noise = 3 };

// Register bits the LFO reads bit by bit inside a round.
struct LfoControl {
    LfoWave wave = LfoWave::Saw;
    bool reset = false;  // test register bit 1: holds the waveform position at 0
};

// The LFO: a 16-bit waveform position V clocked by a prescaled rate generator, and a bit-serial
// multiplier that latches an AM value and a PM value once every 8 samples. It works in rounds
// of 16 cycles that begin at cycles 15 and 31 of every sample; round r (0..15) of the 8-sample
// cycle does one fixed job.
class Lfo {
public:
    void Reset() { *this = Lfo{}; }

    // A write to the rate register reloads the prescaler early in the next sample.
    void RequestRateReload() { rateReloadPending_ = true; }

    // Runs the two rounds that begin at cycle 31 of sample n - 1 and cycle 15 of sample n.
    // `before` is the control as the first bit of the first of them sees it (a write made just
    // ahead of sample n lands on that round's first cycle). `noiseBefore`, `noiseNow`: the noise
    // register's output bits of samples n - 1 and n (bit c = end of cycle c).
    void RunSample(std::uint64_t n, std::uint8_t rate, std::uint8_t amd, std::uint8_t pmd,
                   LfoControl before, LfoControl now, std::uint32_t noiseBefore,
                   std::uint32_t noiseNow);

    std::uint8_t Am() const { return am_; }  // 0..253
    // Bit 7: sign (1 = pitch down); bits 6-0: magnitude.
    std::uint8_t Pm() const { return pm_; }
    std::uint16_t Position() const { return v_; }

private:
    [[gnu::always_inline]] inline void RunRound(int r, bool clock, LfoControl first,
                                                LfoControl rest, std::uint8_t amd, std::uint8_t pmd,
                                                std::uint64_t noiseWindow, int noiseAt);

    std::uint16_t v_ = 0;
    std::uint16_t prescaler_ = 0;
    std::uint16_t product_ = 0;
    std::uint8_t mainClocks_ = 0;  // 4-bit count of main clocks, spreads the extra clocks
    std::uint8_t am_ = 0;
    std::uint8_t pm_ = 0;
    bool extraClock_ = false;
    bool rateReloadPending_ = false;
};

}  // namespace qzr::emulator::detail
