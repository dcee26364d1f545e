#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qzr::emulator {

// A stop request that a sleeping thread waits on, set once and never cleared. Ours rather than
// std::stop_token with a std::stop_callback: where the standard library has no futex (MinGW's
// GCC 12), removing a callback that another thread is running waits on a semaphore whose wake-up
// can be lost, and the stop then never returns. A mutex and a condition variable cannot lose one.
class StopSignal {
public:
    // Sets the request and wakes every waiter.
    void Request();
    bool Requested() const;
    // Waits until `until` or the request, whichever is first. Returns false once requested.
    bool WaitUntil(std::chrono::steady_clock::time_point until);
    // Waits for the request.
    void Wait();

private:
    mutable std::mutex mutex_;
    std::condition_variable requestedChanged_;
    bool requested_ = false;
};

}  // namespace qzr::emulator
