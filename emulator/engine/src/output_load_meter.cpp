#include "output_load_meter.h"

#include <algorithm>

namespace qzr::emulator {

void OutputLoadMeter::Clear() {
    chunks_.store(0, std::memory_order_relaxed);
    late_.store(0, std::memory_order_relaxed);
    busyNs_.store(0, std::memory_order_relaxed);
    soundsNs_.store(0, std::memory_order_relaxed);
    busiestPpm_.store(0, std::memory_order_relaxed);
}

void OutputLoadMeter::Rendered(std::chrono::nanoseconds busy, std::chrono::nanoseconds sounds) {
    if (sounds.count() <= 0) return;
    chunks_.fetch_add(1, std::memory_order_relaxed);
    busyNs_.fetch_add(busy.count(), std::memory_order_relaxed);
    soundsNs_.fetch_add(sounds.count(), std::memory_order_relaxed);
    const auto ppm = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(busy.count() * 1'000'000 / sounds.count(), 0, UINT32_MAX));
    // Only the rendering thread raises it.
    if (ppm > busiestPpm_.load(std::memory_order_relaxed)) {
        busiestPpm_.store(ppm, std::memory_order_relaxed);
    }
}

OutputLoad OutputLoadMeter::Read() const {
    OutputLoad load;
    load.chunks = chunks_.load(std::memory_order_relaxed);
    load.lateChunks = late_.load(std::memory_order_relaxed);
    const auto sounds = soundsNs_.load(std::memory_order_relaxed);
    if (sounds > 0) {
        load.averageShare = static_cast<double>(busyNs_.load(std::memory_order_relaxed)) /
                            static_cast<double>(sounds);
    }
    load.busiestShare = busiestPpm_.load(std::memory_order_relaxed) / 1e6;
    return load;
}

}  // namespace qzr::emulator
