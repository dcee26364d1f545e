#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "qzr/emulator_engine/engine.h"

namespace qzr::emulator {

// The latest native samples of each channel's stem (left and right averaged), for oscilloscopes:
// written by the rendering thread, copied by any thread, without a lock. Each sample's eight
// values are kept in two atomic words, so a reader never sees half a value; a copy taken while
// the writer laps it may mix samples of two moments, which a picture of a wave can bear.
class ChannelScopeRing {
public:
    static constexpr std::size_t kSamples = 4096;

    void Clear();
    // Rendering thread.
    void Push(const YM2151::ChannelFrame& stems);
    // The latest `out.size()` samples, oldest first (at most kSamples); returns how many there
    // were (fewer just after a start).
    std::size_t CopyLatest(std::span<ChannelSamples> out) const;

private:
    std::array<std::array<std::atomic<std::uint64_t>, 2>, kSamples> samples_{};
    std::atomic<std::uint64_t> written_{0};
};

}  // namespace qzr::emulator
