#pragma once

#include <cstdint>

namespace qzr::emulator::detail {

// The noise register: a 16-bit register shifted every cycle, which takes a new LFSR bit only on
// "step" cycles. Steps come in bursts of 16 cycles chosen by a 5-bit counter compared with
// NFRQ; between bursts the register merely rotates, which keeps the sequence clean.
class NoiseGenerator {
public:
    void Reset() { *this = NoiseGenerator{}; }

    // Runs the 32 cycles of one sample. `nfrqBefore` is NFRQ before a write made just ahead of
    // this sample, `nfrq` the value from then on. Returns the register's output bit at the end
    // of each cycle: bit c for cycle c.
    std::uint32_t RunSample(std::uint8_t nfrqBefore, std::uint8_t nfrq) {
        return Shift(StepCycles(nfrqBefore, nfrq));
    }

    // The two halves of RunSample, apart for tests. StepCycles advances the counter through one
    // sample and returns which cycles step (bit c for cycle c); Shift runs the register through
    // one sample with those steps.
    std::uint32_t StepCycles(std::uint8_t nfrqBefore, std::uint8_t nfrq);
    std::uint32_t Shift(std::uint32_t steps);

private:
    std::uint16_t reg_ = 0;
    std::uint8_t store_ = 0;                // the 1-bit store between steps
    std::uint8_t counterFirst_ = 0;         // counter during cycles 0..15 of the next sample
    std::uint8_t counterSecondBefore_ = 0;  // counter during cycles 16..31 of the last sample
};

}  // namespace qzr::emulator::detail
