#pragma once

#include <algorithm>
#include <cstdint>

#include "tables.h"

namespace qzr::emulator::detail {

// One operator evaluation: 10-bit sine index (phase top bits plus modulation, any integer; only
// its low 10 bits count) and attenuation e (0..1023, 0.09375 dB units). Returns the signed
// 14-bit output -8168..8168; a negative half-wave is the exact negation of the positive one.
inline std::int32_t OperatorOutput(const RomTables& roms, std::int32_t index, std::uint32_t e) {
    const auto x = static_cast<std::uint32_t>(index) & 1023u;
    std::uint32_t j = x & 255u;
    if ((x & 256u) != 0) j = 255u - j;
    const std::uint32_t a = std::min<std::uint32_t>(4095u, roms.logSine[j] + 4u * e);
    const auto magnitude = static_cast<std::int32_t>((4u * roms.exponent[a & 255u]) >> (a >> 8));
    return (x & 512u) != 0 ? -magnitude : magnitude;
}

// The same evaluation through the rearranged tables, for the sample loop. e must be 0..1023.
inline std::int32_t FastOperatorOutput(const OperatorTables& t, std::int32_t index,
                                       std::uint32_t e) {
    const auto x = static_cast<std::uint32_t>(index);
    const auto magnitude = static_cast<std::int32_t>(t.magnitude[t.halfWaveLog[x & 511u] + 4u * e]);
    return (x & 512u) != 0 ? -magnitude : magnitude;
}

// The value the noise channel puts in place of its last operator: the noise bit chooses the
// sign; the negative side is one's complement, and saturates to -8 near silence.
inline std::int32_t NoiseOutput(bool noiseBit, std::uint32_t e) {
    const auto m = static_cast<std::int32_t>(255u - (e >> 2));
    if (noiseBit) return 8 * m;
    return e <= 1021 ? -(8 * m + 1) : -8;
}

}  // namespace qzr::emulator::detail
