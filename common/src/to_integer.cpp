#include "qzr/common/to_integer.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace qzr {

std::int32_t ToInteger(const char* text) {
    if (text == nullptr) return 0;
    // strtod reads exactly the number forms we accept and never throws; it is not locale-bound
    // here because none of our programs change the C locale.
    const double value = std::strtod(text, nullptr);
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (std::isnan(value)) return 0;
    if (value >= kMax) return std::numeric_limits<std::int32_t>::max();
    if (value <= kMin) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace qzr
