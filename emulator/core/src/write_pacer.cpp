#include "qzr/emulator_core/write_pacer.h"

#include <utility>

namespace qzr::emulator {

namespace {
constexpr std::size_t kInitialCapacity = 4096;  // a power of two
}

WritePacer::WritePacer() : ring_(kInitialCapacity) {}

void WritePacer::Push(RegisterWrite write) {
    if (size_ == ring_.size()) Grow();
    ring_[(head_ + size_) & (ring_.size() - 1)] = write;
    ++size_;
}

std::optional<RegisterWrite> WritePacer::TakeForSample() {
    if (size_ == 0) return std::nullopt;
    const RegisterWrite write = ring_[head_];
    head_ = (head_ + 1) & (ring_.size() - 1);
    --size_;
    return write;
}

void WritePacer::Clear() {
    head_ = 0;
    size_ = 0;
}

void WritePacer::Grow() {
    std::vector<RegisterWrite> bigger(ring_.size() * 2);
    for (std::size_t i = 0; i < size_; ++i) bigger[i] = ring_[(head_ + i) & (ring_.size() - 1)];
    ring_ = std::move(bigger);
    head_ = 0;
}

}  // namespace qzr::emulator
