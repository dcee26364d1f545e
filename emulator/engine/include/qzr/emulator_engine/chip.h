#pragma once

#include <cstdint>
#include <memory>

namespace qzr::emulator {

// One native sample of the chip's digital output, left first.
struct NativeFrame {
    std::int16_t left = 0;
    std::int16_t right = 0;
};

// What the engine needs from a sound chip stepped one native sample at a time. The engine is
// the only caller, always from the rendering thread.
class Chip {
public:
    virtual ~Chip() = default;
    // Back to the power-on state: silent, every register cleared.
    virtual void Reset() = 0;
    // One register write, made between the previous sample and the next one; at most one per
    // sample.
    virtual void Write(std::uint8_t reg, std::uint8_t value) = 0;
    // Computes the next native sample.
    virtual NativeFrame Generate() = 0;
};

// Our YM2151. It knows no clock; the engine chooses one.
std::unique_ptr<Chip> MakeYM2151Chip();

}  // namespace qzr::emulator
