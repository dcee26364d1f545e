#pragma once

#include <string>

namespace qzr::test {

// Compares with a golden text in tests/golden/tools, or rewrites it under QZR_UPDATE_GOLDEN=1.
void ExpectGolden(const std::string& actual, const std::string& name);

}  // namespace qzr::test
