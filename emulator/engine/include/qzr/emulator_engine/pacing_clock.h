#pragma once

#include <chrono>

#include "qzr/emulator_engine/stop_signal.h"

namespace qzr::emulator {

// The time source of the silent clock. Production uses the steady clock; tests inject a
// virtual one, so pacing can be checked without waiting in real time.
class PacingClock {
public:
    virtual ~PacingClock() = default;
    // Monotonic time since an arbitrary origin.
    virtual std::chrono::nanoseconds Now() = 0;
    // Waits until Now() >= deadline. Returns false, possibly early, once `stop` is requested.
    virtual bool SleepUntil(std::chrono::nanoseconds deadline, StopSignal& stop) = 0;
};

// std::chrono::steady_clock, with a sleep that a stop request cuts short.
PacingClock& SteadyPacingClock();

}  // namespace qzr::emulator
