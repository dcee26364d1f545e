#include "tables.h"

#include <cmath>
#include <numbers>

namespace qzr::emulator::detail {
namespace {

// Ordinary rounding, x.5 up. The values are far from .5 boundaries, so any IEEE double
// evaluation gives the same integers; a test pins all entries anyway.
std::uint16_t RoundToUnsigned(double x) { return static_cast<std::uint16_t>(std::floor(x + 0.5)); }

RomTables BuildRoms() {
    RomTables t{};
    for (int i = 0; i < 256; ++i) {
        const double angle = (i + 0.5) * std::numbers::pi / 512.0;
        t.logSine[static_cast<std::size_t>(i)] =
            RoundToUnsigned(-std::log2(std::sin(angle)) * 256.0);
        t.exponent[static_cast<std::size_t>(i)] =
            RoundToUnsigned(1024.0 * std::exp2(static_cast<double>(255 - i) / 256.0));
    }
    return t;
}

OperatorTables BuildOperatorTables(const RomTables& roms) {
    OperatorTables t{};
    for (std::size_t x = 0; x < 512; ++x) t.halfWaveLog[x] = roms.logSine[x < 256 ? x : 511 - x];
    for (std::size_t a = 0; a < t.magnitude.size(); ++a) {
        // The chip clamps the attenuation to 12 bits; from 3328 on the result is 0 anyway.
        const std::size_t clamped = a < 4095 ? a : 4095;
        t.magnitude[a] =
            static_cast<std::uint16_t>((4u * roms.exponent[clamped & 255]) >> (clamped >> 8));
    }
    return t;
}

}  // namespace

const OperatorTables& OperatorLookup() {
    static const OperatorTables tables = BuildOperatorTables(Roms());
    return tables;
}

const RomTables& Roms() {
    static const RomTables tables = BuildRoms();
    return tables;
}

}  // namespace qzr::emulator::detail
