#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzr::test {

using Bytes = std::vector<std::uint8_t>;

// Offset of the first byte where the two differ (a length difference counts), or nullopt.
std::optional<std::size_t> FirstDifference(const Bytes& actual, const Bytes& expected);

// Both sides in hex around the first difference, for a failure message; empty when equal.
std::string HexContext(const Bytes& actual, const Bytes& expected, std::size_t around = 16);

}  // namespace qzr::test
