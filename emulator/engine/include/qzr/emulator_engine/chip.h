#pragma once

#include <cstdint>
#include <memory>
#include <span>

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
    // Many samples with no write between them: the same as one call each, in less time.
    virtual void GenerateBlock(std::span<StereoSample> out) {
        for (StereoSample& frame : out) frame = Generate();
    }
    // The same with the stems; stems.size() must equal out.size().
    virtual void GenerateBlockWithStems(std::span<StereoSample> out,
                                        std::span<YM2151::ChannelFrame> stems) {
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = GenerateWithStems(stems[i]);
    }
};

// Our YM2151. It knows no clock; the engine chooses one.
std::unique_ptr<Chip> MakeYM2151Chip();

}  // namespace qzr::emulator
