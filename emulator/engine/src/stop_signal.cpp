#include "qzr/emulator_engine/stop_signal.h"

namespace qzr::emulator {

void StopSignal::Request() {
    {
        const std::lock_guard lock(mutex_);
        requested_ = true;
    }
    requestedChanged_.notify_all();
}

bool StopSignal::Requested() const {
    const std::lock_guard lock(mutex_);
    return requested_;
}

bool StopSignal::WaitUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(mutex_);
    return !requestedChanged_.wait_until(lock, until, [this] { return requested_; });
}

void StopSignal::Wait() {
    std::unique_lock lock(mutex_);
    requestedChanged_.wait(lock, [this] { return requested_; });
}

}  // namespace qzr::emulator
