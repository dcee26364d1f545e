#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "chip_harness.h"

namespace qzr::emulator::test {

// Everything a program did, sample by sample: the frames and each slot's state after the
// sample was computed.
struct Trace {
    std::vector<StereoSample> frames;
    std::vector<std::array<SlotView, 32>> slots;
    std::vector<std::uint8_t> status;
};

inline Trace Record(const Program& program, std::uint64_t samples) {
    Trace t;
    YM2151 chip;
    Run(chip, program, samples, [&](std::uint64_t, StereoSample f) {
        t.frames.push_back(f);
        std::array<SlotView, 32> views{};
        for (int s = 0; s < 32; ++s) views[static_cast<std::size_t>(s)] = chip.InspectSlot(s);
        t.slots.push_back(views);
        t.status.push_back(chip.Status());
    });
    return t;
}

// First sample at which `get` differs between the two traces, or -1.
template <typename Get>
std::int64_t FirstDifference(const Trace& a, const Trace& b, Get get) {
    for (std::size_t n = 0; n < a.frames.size() && n < b.frames.size(); ++n) {
        if (get(a, n) != get(b, n)) return static_cast<std::int64_t>(n);
    }
    return -1;
}

}  // namespace qzr::emulator::test
