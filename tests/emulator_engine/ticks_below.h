#pragma once

#include <cstddef>
#include <cstdint>

namespace qzr::emulator::test {

// How many ticks of `periodMs` fall before native sample `position` at the library's clock.
// Counted in 64 bits: a 32-bit count times the clock would pass 2^32 after 1,271 ticks.
inline std::size_t TicksBelow(std::uint64_t position, std::uint64_t periodMs = 5) {
    std::uint64_t ticks = 0;
    while ((ticks + 1) * 3'378'641 * periodMs / 64'000 < position) ++ticks;
    return static_cast<std::size_t>(ticks);
}

}  // namespace qzr::emulator::test
