#include "noise_generator.h"

namespace qzr::emulator::detail {
namespace {

std::uint8_t NextCounter(std::uint8_t counter, std::uint8_t limit) {
    return counter == limit ? 0 : static_cast<std::uint8_t>((counter + 1) & 31);
}

}  // namespace

std::uint32_t NoiseGenerator::StepCycles(std::uint8_t nfrqBefore, std::uint8_t nfrq) {
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

std::uint32_t NoiseGenerator::Shift(std::uint32_t steps) {
    if (steps == 0) {
        // 32 plain rotations of a 16-bit register leave it as it was.
        const auto r = static_cast<std::uint32_t>((reg_ >> 1) | ((reg_ & 1u) << 15));
        return r | (r << 16);
    }
    std::uint32_t reg = reg_;
    std::uint32_t store = store_;
    std::uint32_t out = 0;
    for (int c = 0; c < 32; ++c) {
        std::uint32_t in;
        if ((steps >> c) & 1u) {
            in = (((reg >> 2) & 1u) ^ store) | static_cast<std::uint32_t>(reg == 0 && store == 0);
            store = reg & 1u;
        } else {
            in = reg & 1u;
        }
        reg = (reg >> 1) | (in << 15);
        out |= (reg & 1u) << c;
    }
    reg_ = static_cast<std::uint16_t>(reg);
    store_ = static_cast<std::uint8_t>(store);
    return out;
}

}  // namespace qzr::emulator::detail
