#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace qzr::emulator {

struct RegisterWrite {
    std::uint8_t reg = 0;
    std::uint8_t value = 0;
    friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

// Register writes from any thread, handed to the rendering thread one per native sample in
// arrival order. The lock is held only to move a write in or out, never while the chip runs
// or a tick is called, so a tick can write freely.
class WriteQueue {
public:
    WriteQueue();

    // Any thread.
    void Push(RegisterWrite write);
    // Any thread: drops the queued writes and asks for a chip reset before the next sample;
    // writes pushed afterwards come after the reset.
    void DiscardAndRequestReset();
    // Any thread: drops the queued writes and any pending reset.
    void Clear();

    // Rendering thread, once before each native sample.
    struct ForSample {
        bool reset = false;
        std::optional<RegisterWrite> write;
    };
    ForSample TakeForSample();

private:
    void GrowLocked();

    std::mutex mutex_;
    // A ring that only grows, so a warmed-up queue never allocates on the rendering thread.
    std::vector<RegisterWrite> ring_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    bool resetPending_ = false;
    // Lets the rendering thread skip the lock on the (usual) samples with nothing to do.
    std::atomic<bool> pending_{false};
};

}  // namespace qzr::emulator
