#pragma once

#include <cstdint>
#include <string>

namespace qzr::vgm {

// "0x1A2B": how every message names a byte offset in a file.
std::string Hex(std::uint64_t value);

}  // namespace qzr::vgm
