#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "qzr/emulator_core/write_pacer.h"

namespace qzr::emulator {

// Register writes from any thread, handed to the rendering thread one per native sample in
// arrival order (the core's WritePacer keeps that pace). The lock is held only to move a write
// in or out, never while the chip runs or a tick is called, so a tick can write freely.
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
    // Rendering thread: nothing waits for the next sample (a write pushed meanwhile waits for
    // the next look).
    bool Idle() const { return !pending_.load(std::memory_order_acquire); }

private:
    std::mutex mutex_;
    // It grows only in Push, so the rendering thread never allocates.
    WritePacer writes_;
    bool resetPending_ = false;
    // Lets the rendering thread skip the lock on the (usual) samples with nothing to do.
    std::atomic<bool> pending_{false};
};

}  // namespace qzr::emulator
