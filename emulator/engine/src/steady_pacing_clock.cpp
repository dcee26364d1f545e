#include <condition_variable>
#include <mutex>

#include "qzr/emulator/pacing_clock.h"

namespace qzr::emulator {

namespace {

class SteadyClock final : public PacingClock {
public:
    std::chrono::nanoseconds Now() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    bool SleepUntil(std::chrono::nanoseconds deadline, std::stop_token stop) override {
        // A condition variable rather than sleep_until, so a stop request wakes the sleeper.
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        const std::chrono::steady_clock::time_point until(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline));
        wake.wait_until(lock, stop, until, [] { return false; });
        return !stop.stop_requested();
    }
};

}  // namespace

PacingClock& SteadyPacingClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace qzr::emulator
