#pragma once

#include <chrono>
#include <cstdint>

namespace qzr::emulator {

// Decides when the silent clock renders its next chunk, so that frames are consumed at the
// output rate, as a sound device would consume them. Chunk i is due at start + i * chunk / rate
// (chunk 0 at once, as a device asks for its first buffer). A chunk rendered a little late is
// caught up at once; after a stall longer than the allowed lag (the machine was suspended, the
// process stopped) the schedule restarts from now instead of bursting, as a device that ran dry
// would.
class FramePacer {
public:
    FramePacer(int rate, int chunkFrames, std::chrono::nanoseconds maxLag);

    void Begin(std::chrono::nanoseconds now);
    // True when the next chunk is due at `now`; the caller then renders it.
    bool TakeDueChunk(std::chrono::nanoseconds now);
    // When the next chunk falls due.
    std::chrono::nanoseconds NextDue() const;
    std::uint64_t FramesTaken() const { return framesTaken_; }

private:
    std::chrono::nanoseconds FrameTime(std::uint64_t frames) const;

    std::uint64_t rate_;
    std::uint64_t chunkFrames_;
    std::chrono::nanoseconds maxLag_;
    std::chrono::nanoseconds origin_{0};
    std::uint64_t framesSinceOrigin_ = 0;
    std::uint64_t framesTaken_ = 0;
};

}  // namespace qzr::emulator
