#include "write_queue.h"

#include <utility>

namespace qzr::emulator {

namespace {
constexpr std::size_t kInitialCapacity = 4096;  // a power of two; the ring index masks with it
}

WriteQueue::WriteQueue() : ring_(kInitialCapacity) {}

void WriteQueue::Push(RegisterWrite write) {
    const std::lock_guard lock(mutex_);
    if (size_ == ring_.size()) GrowLocked();
    ring_[(head_ + size_) & (ring_.size() - 1)] = write;
    ++size_;
    pending_.store(true, std::memory_order_release);
}

void WriteQueue::DiscardAndRequestReset() {
    const std::lock_guard lock(mutex_);
    head_ = 0;
    size_ = 0;
    resetPending_ = true;
    pending_.store(true, std::memory_order_release);
}

void WriteQueue::Clear() {
    const std::lock_guard lock(mutex_);
    head_ = 0;
    size_ = 0;
    resetPending_ = false;
    pending_.store(false, std::memory_order_release);
}

WriteQueue::ForSample WriteQueue::TakeForSample() {
    ForSample next;
    if (!pending_.load(std::memory_order_acquire)) return next;
    const std::lock_guard lock(mutex_);
    next.reset = std::exchange(resetPending_, false);
    if (size_ > 0) {
        next.write = ring_[head_];
        head_ = (head_ + 1) & (ring_.size() - 1);
        --size_;
    }
    pending_.store(size_ > 0, std::memory_order_release);
    return next;
}

void WriteQueue::GrowLocked() {
    std::vector<RegisterWrite> bigger(ring_.size() * 2);
    for (std::size_t i = 0; i < size_; ++i) bigger[i] = ring_[(head_ + i) & (ring_.size() - 1)];
    ring_ = std::move(bigger);
    head_ = 0;
}

}  // namespace qzr::emulator
