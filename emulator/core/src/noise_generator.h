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
    std::uint32_t Shift(std::uint32_t steps) {
        if (steps == 0) {
            // 32 plain rotations of a 16-bit register leave it as it was.
            const auto r = static_cast<std::uint32_t>((reg_ >> 1) | ((reg_ & 1u) << 15));
            return r | (r << 16);
        }
        return ShiftWithSteps(steps);
    }

private:
    static std::uint8_t NextCounter(std::uint8_t counter, std::uint8_t limit) {
        return counter == limit ? 0 : static_cast<std::uint8_t>((counter + 1) & 31);
    }
    std::uint32_t ShiftWithSteps(std::uint32_t steps);

    std::uint16_t reg_ = 0;
    std::uint8_t store_ = 0;                // the 1-bit store between steps
    std::uint8_t counterFirst_ = 0;         // counter during cycles 0..15 of the next sample
    std::uint8_t counterSecondBefore_ = 0;  // counter during cycles 16..31 of the last sample
};

inline std::uint32_t NoiseGenerator::StepCycles(std::uint8_t nfrqBefore, std::uint8_t nfrq) {
    const auto limitBefore = static_cast<std::uint8_t>((nfrqBefore & 31) ^ 31);
    const auto limit = static_cast<std::uint8_t>((nfrq & 31) ^ 31);
    const std::uint8_t first = counterFirst_;
    const std::uint8_t second = NextCounter(first, limit);  // changes at cycle 15

    // A cycle steps when the counter, two cycles earlier, equals the limit. The decision for
    // cycle 1 is made in the last cycle of the previous sample, the one that accepts a write
    // made just ahead of this sample: it already compares with the new NFRQ; cycle 0's, made a
    // cycle earlier, with the old one.
    std::uint32_t steps = 0;
    if (counterSecondBefore_ == limitBefore) steps |= 0x00000001u;  // cycle 0
    if (counterSecondBefore_ == limit) steps |= 0x00000002u;        // cycle 1
    if (first == limit) steps |= 0x0003FFFCu;                       // cycles 2..17
    if (second == limit) steps |= 0xFFFC0000u;                      // cycles 18..31
    counterSecondBefore_ = second;
    counterFirst_ = NextCounter(second, limit);  // changes at cycle 31
    return steps;
}

}  // namespace qzr::emulator::detail
