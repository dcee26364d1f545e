#pragma once

#include <cstdint>

namespace qzr {

// Reads the text as a floating-point number (leading white space, optional sign, decimal digits
// with optional fraction and exponent, or hexadecimal after "0x"; reading stops at the first
// character that does not fit) and truncates it toward zero. No number gives 0, NaN gives 0, and
// values beyond the 32-bit range saturate at its ends.
std::int32_t ToInteger(const char* text);

}  // namespace qzr
