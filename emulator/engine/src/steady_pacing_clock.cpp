#include <condition_variable>
#include <mutex>
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

    bool SleepUntil(std::chrono::nanoseconds deadline, std::stop_token stop) override {
        // A condition variable rather than sleep_until, so that a stop request wakes the
        // sleeper at once. Not condition_variable_any: its shared state would make this library
        // impossible to unload (a unique symbol), and unloading must stop the clock.
        std::mutex mutex;
        std::condition_variable wake;
        bool stopped = false;
        const std::stop_callback onStop(stop, [&] {
            {
                const std::lock_guard lock(mutex);
                stopped = true;
            }
            wake.notify_all();
        });
        const std::chrono::steady_clock::time_point until(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline));
        std::unique_lock lock(mutex);
        wake.wait_until(lock, until, [&] { return stopped; });
        return !stopped;
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
