#pragma once

#include <bit>
#include <cstdint>

namespace qzr::emulator::detail {

// The output accumulators are 18 bits wide and wrap; the sum is then saturated to 16 bits.
inline std::int32_t WrapAndSaturate(std::int32_t sum) {
    const std::int32_t wrapped = ((sum & 0x3FFFF) ^ 0x20000) - 0x20000;
    return wrapped > 32767 ? 32767 : (wrapped < -32768 ? -32768 : wrapped);
}

// The serial DAC's floating-point format keeps 10 mantissa bits and a 3-bit exponent: the value
// it produces is v with its low e - 1 bits cleared (rounding toward minus infinity), e the
// smallest exponent that fits v.
inline std::int16_t DacValue(std::int32_t v) {
    // v >> shift fits -512..511 once the magnitude bits (v's bits that differ from its sign)
    // fit in 9.
    const auto magnitude = static_cast<std::uint32_t>(v ^ (v >> 31));
    const auto width = static_cast<int>(std::bit_width(magnitude));
    const int shift = width <= 9 ? 0 : (width - 9 > 6 ? 6 : width - 9);
    return static_cast<std::int16_t>((v >> shift) * (1 << shift));
}

}  // namespace qzr::emulator::detail
