#include "write_queue.h"

#include <utility>

namespace qzr::emulator {

WriteQueue::WriteQueue() = default;

void WriteQueue::Push(RegisterWrite write) {
    const std::lock_guard lock(mutex_);
    writes_.Push(write);
    pending_.store(true, std::memory_order_release);
}

void WriteQueue::DiscardAndRequestReset() {
    const std::lock_guard lock(mutex_);
    writes_.Clear();
    resetPending_ = true;
    pending_.store(true, std::memory_order_release);
}

void WriteQueue::Clear() {
    const std::lock_guard lock(mutex_);
    writes_.Clear();
    resetPending_ = false;
    pending_.store(false, std::memory_order_release);
}

WriteQueue::ForSample WriteQueue::TakeForSample() {
    ForSample next;
    if (!pending_.load(std::memory_order_acquire)) return next;
    const std::lock_guard lock(mutex_);
    next.reset = std::exchange(resetPending_, false);
    next.write = writes_.TakeForSample();
    pending_.store(writes_.Held() > 0, std::memory_order_release);
    return next;
}

}  // namespace qzr::emulator
