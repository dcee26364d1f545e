#include "noise_generator.h"

#include <algorithm>
#include <bit>

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
    // The cycles are taken in runs of steps and of plain rotations, each run at once.
    std::uint32_t reg = reg_;
    std::uint32_t store = store_;
    std::uint32_t out = 0;
    int c = 0;
    while (c < 32) {
        const std::uint32_t ahead = steps >> c;
        const bool stepping = (ahead & 1u) != 0;
        const int k = std::min(32 - c, stepping ? std::countr_one(ahead) : std::countr_zero(ahead));
        const std::uint64_t runMask = (std::uint64_t{1} << k) - 1;
        if (stepping) {
            int done = 0;
            if (reg == 0 && store == 0) {
                // The all-zero escape (only ever from reset): the first step enters a 1.
                reg = 0x8000;
                done = 1;
            }
            // Seen in time order, the store and the register are one 17-bit LFSR:
            // y = store | reg << 1 (oldest bit first), and each step appends y0 ^ y3 as bit 17
            // of the sequence. Up to 14 new bits depend only on bits already known.
            std::uint64_t y = store | static_cast<std::uint64_t>(reg) << 1;
            for (int made = 0; made < k - done; made += 14) {
                const int t = std::min(14, k - done - made);
                const std::uint64_t fresh = ((y >> made) ^ (y >> (made + 3))) & ((1u << t) - 1);
                y |= fresh << (17 + made);
            }
            // After step i (counted from 1 within the made steps) the output bit 0 of the
            // register is bit i + 1 of the sequence.
            const std::uint64_t outs = (y >> 2) & (runMask >> done);
            out |= static_cast<std::uint32_t>(outs << done) << c;
            const std::uint64_t now = y >> (k - done);
            store = static_cast<std::uint32_t>(now & 1u);
            reg = static_cast<std::uint32_t>((now >> 1) & 0xFFFFu);
        } else {
            // k rotations: the output after rotation i is bit i mod 16 of the register.
            const std::uint64_t copies =
                reg | static_cast<std::uint64_t>(reg) << 16 | static_cast<std::uint64_t>(reg) << 32;
            out |= static_cast<std::uint32_t>((copies >> 1) & runMask) << c;
            const int r = k & 15;
            reg = ((reg >> r) | (reg << (16 - r))) & 0xFFFFu;
        }
        c += k;
    }
    reg_ = static_cast<std::uint16_t>(reg);
    store_ = static_cast<std::uint8_t>(store);
    return out;
}

}  // namespace qzr::emulator::detail
