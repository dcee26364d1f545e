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

}  // namespace

const RomTables& Roms() {
    static const RomTables tables = BuildRoms();
    return tables;
}

}  // namespace qzr::emulator::detail
