#pragma once

#include <cstdint>

namespace qzr::emulator::detail {

// Timer A (10 bits, one count a sample) and timer B (8 bits, one count every 16 samples from a
// free-running prescaler), their flags, and the load events that drive CSM key-on.
class Timers {
public:
    void Reset() { *this = Timers{}; }

    // Register 0x14 bits 4 and 5 clear the flags when written.
    void ClearFlags(std::uint8_t control) {
        if (control & 0x10) flags_ &= static_cast<std::uint8_t>(~1u);
        if (control & 0x20) flags_ &= static_cast<std::uint8_t>(~2u);
    }

    // The work of one sample (the timers look at their run bits at cycle 1). Returns true when
    // timer A loads this sample: at its start and at every overflow.
    bool RunSample(std::uint8_t control, std::uint16_t na, std::uint8_t nb);

    std::uint8_t Flags() const { return flags_; }

private:
    std::uint16_t counterA_ = 0;
    std::uint8_t counterB_ = 0;
    std::uint8_t prescalerB_ = 0;
    bool runningA_ = false;
    bool runningB_ = false;
    std::uint8_t flags_ = 0;
};

inline bool Timers::RunSample(std::uint8_t control, std::uint16_t na, std::uint8_t nb) {
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
