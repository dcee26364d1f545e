#include <new>

#include "qzr/emulator_engine/pacing_clock.h"

namespace qzr::emulator {

namespace {

class SteadyClock final : public PacingClock {
public:
    std::chrono::nanoseconds Now() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    bool SleepUntil(std::chrono::nanoseconds deadline, StopSignal& stop) override {
        // A wait on the stop rather than sleep_until, so that a stop request wakes the sleeper
        // at once.
        return stop.WaitUntil(std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline)));
    }
};

}  // namespace

PacingClock& SteadyPacingClock() {
    // Built in static storage and never destroyed: when the library is unloaded while the silent
    // clock runs, this object is made after the library's engine, so a destructor would run
    // first, under the clock thread that the engine's own teardown has yet to stop.
    alignas(SteadyClock) static unsigned char storage[sizeof(SteadyClock)];
    static SteadyClock* const clock = new (storage) SteadyClock;
    return *clock;
}

}  // namespace qzr::emulator
