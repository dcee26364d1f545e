#include "envelope.h"

#include <bit>

namespace qzr::emulator::detail {

StepTable BuildStepTable(std::uint16_t k) {
    StepTable steps{};
    const int p = k == 0 ? -1 : std::countr_zero(k);
    for (int rate = 2; rate < 64; ++rate) {
        const int q = rate >> 2;
        const int f = rate & 3;
        int size = 0;
        if (rate < 48) {
            if (p >= 0 &&
                (p == 11 - q || (p == 12 - q && f >= 2) || (p == 13 - q && (f & 1) != 0))) {
                size = 1;
            }
        } else {
            size = 1 << (q - 12);
            const bool doubled =
                (f == 1 && (k & 3) == 1) || (f == 2 && (k & 1) == 1) || (f == 3 && (k & 3) != 2);
            if (doubled && size < 8) size *= 2;
        }
        steps[static_cast<std::size_t>(rate)] = static_cast<std::uint8_t>(size);
    }
    return steps;
}

}  // namespace qzr::emulator::detail
