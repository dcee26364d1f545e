#pragma once

#include <cstdint>

namespace qzr::emulator {

// One native sample of the chip's digital output, left first: the values its serial DAC
// produces (16-bit range, low bits cleared by the chip's floating-point format). The core
// returns it, the engine resamples it, ymrender writes it.
struct StereoSample {
    std::int16_t left = 0;
    std::int16_t right = 0;
    friend bool operator==(const StereoSample&, const StereoSample&) = default;
};

}  // namespace qzr::emulator
