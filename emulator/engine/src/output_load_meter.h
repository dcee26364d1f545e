#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "qzr/emulator_engine/engine.h"

namespace qzr::emulator {

// Keeps how hard the rendering thread works to keep up: for each chunk it renders, the time the
// rendering took against the time the chunk sounds for. Written by the rendering thread, read
// from any thread.
class OutputLoadMeter {
public:
    void Clear();
    void Rendered(std::chrono::nanoseconds busy, std::chrono::nanoseconds sounds);
    // The chunk was rendered too late for a device holding two chunks (an underrun).
    void Late() { late_.fetch_add(1, std::memory_order_relaxed); }
    OutputLoad Read() const;

private:
    std::atomic<std::uint64_t> chunks_{0};
    std::atomic<std::uint64_t> late_{0};
    std::atomic<std::int64_t> busyNs_{0};
    std::atomic<std::int64_t> soundsNs_{0};
    std::atomic<std::uint32_t> busiestPpm_{0};  // of one chunk's time, in millionths
};

}  // namespace qzr::emulator
