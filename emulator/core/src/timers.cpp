#include "timers.h"

namespace qzr::emulator::detail {

bool Timers::RunSample(std::uint8_t control, std::uint16_t na, std::uint8_t nb) {
    bool loadA = false;
    const bool runA = (control & 0x01) != 0;
    if (!runA) {
        counterA_ = 0;
    } else if (!runningA_) {
        counterA_ = na & 1023;
        loadA = true;
    } else if (++counterA_ > 1023) {
        counterA_ = na & 1023;
        loadA = true;
        if (control & 0x04) flags_ |= 1;
    }
    runningA_ = runA;

    prescalerB_ = static_cast<std::uint8_t>((prescalerB_ + 1) & 15);
    const bool runB = (control & 0x02) != 0;
    if (!runB) {
        counterB_ = 0;
    } else if (!runningB_) {
        counterB_ = nb;
    } else if (prescalerB_ == 0) {
        if (counterB_ == 255) {
            counterB_ = nb;
            if (control & 0x08) flags_ |= 2;
        } else {
            ++counterB_;
        }
    }
    runningB_ = runB;
    return loadA;
}

}  // namespace qzr::emulator::detail
