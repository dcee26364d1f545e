#include "tick_schedule.h"

#include <cassert>

namespace qzr::emulator {

TickSchedule::TickSchedule(std::uint64_t clockHz, std::uint64_t periodMs)
    : stepWhole_(clockHz * periodMs / kDenominator),
      stepRemainder_(clockHz * periodMs % kDenominator),
      next_(stepWhole_),
      remainder_(stepRemainder_) {
    assert(periodMs >= 1);
}

void TickSchedule::Advance() {
    ++ticksRun_;
    next_ += stepWhole_;
    remainder_ += stepRemainder_;
    if (remainder_ >= kDenominator) {
        remainder_ -= kDenominator;
        ++next_;
    }
}

}  // namespace qzr::emulator
