#pragma once

#include <cstdint>
#include <memory>

#include "qzr/emulator_core/ym2151.h"

namespace qzr::emulator {

// What the engine needs from a sound chip stepped one native sample at a time. The engine is
// the only caller, always from the rendering thread.
class Chip {
public:
    virtual ~Chip() = default;
    // Back to the power-on state: silent, every register cleared.
    virtual void Reset() = 0;
    // One register write, made between the previous sample and the next one; the engine makes
    // at most one per sample (WritePacer).
    virtual void Write(std::uint8_t reg, std::uint8_t value) = 0;
    // Computes the next native sample.
    virtual StereoSample Generate() = 0;
    // The same, with each channel's stem: what the chip would put out with that channel alone.
    // A chip without channel outputs gives silent stems.
    virtual StereoSample GenerateWithStems(YM2151::ChannelFrame& stems) {
        stems = {};
        return Generate();
    }
};

// Our YM2151. It knows no clock; the engine chooses one.
std::unique_ptr<Chip> MakeYM2151Chip();

}  // namespace qzr::emulator
