#include "noise_generator.h"

#include <algorithm>
#include <bit>

namespace qzr::emulator::detail {

std::uint32_t NoiseGenerator::ShiftWithSteps(std::uint32_t steps) {
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
