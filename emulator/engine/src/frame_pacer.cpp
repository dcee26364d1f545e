#include "frame_pacer.h"

namespace qzr::emulator {

FramePacer::FramePacer(int rate, int chunkFrames, std::chrono::nanoseconds maxLag)
    : rate_(static_cast<std::uint64_t>(rate)),
      chunkFrames_(static_cast<std::uint64_t>(chunkFrames)),
      maxLag_(maxLag) {}

void FramePacer::Begin(std::chrono::nanoseconds now) {
    origin_ = now;
    framesSinceOrigin_ = 0;
}

std::chrono::nanoseconds FramePacer::FrameTime(std::uint64_t frames) const {
    // Split so that frames * 1e9 cannot overflow in a long run.
    constexpr std::uint64_t kNanosPerSecond = 1'000'000'000;
    const std::uint64_t whole = frames / rate_;
    const std::uint64_t part = frames % rate_;
    return std::chrono::nanoseconds(
        static_cast<std::int64_t>(whole * kNanosPerSecond + part * kNanosPerSecond / rate_));
}

std::chrono::nanoseconds FramePacer::NextDue() const {
    return origin_ + FrameTime(framesSinceOrigin_);
}

bool FramePacer::TakeDueChunk(std::chrono::nanoseconds now) {
    const std::chrono::nanoseconds due = NextDue();
    if (now < due) return false;
    if (now - due > maxLag_) Begin(now);
    framesSinceOrigin_ += chunkFrames_;
    framesTaken_ += chunkFrames_;
    return true;
}

}  // namespace qzr::emulator
