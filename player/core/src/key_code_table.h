#pragma once

#include <array>
#include <cstdint>

#include "qzr/format/rows.h"

namespace qzr::player {

// YM2151 key codes for note codes 1 to 96 (octave x 12 + semitone, 1 = c). The chip has four
// note slots per three semitones, so the codes 3, 7, 11 and 15 of each octave are skipped.
consteval std::array<std::uint8_t, kHighestNote + 1> BuildKeyCodeTable() {
    constexpr std::array<std::uint8_t, 12> kStep{0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    std::array<std::uint8_t, kHighestNote + 1> table{};
    for (int note = 1; note <= kHighestNote; ++note) {
        const int octave = (note - 1) / 12;
        table[static_cast<std::size_t>(note)] = static_cast<std::uint8_t>(
            16 * octave + kStep[static_cast<std::size_t>((note - 1) % 12)]);
    }
    return table;
}

inline constexpr auto kKeyCodeTable = BuildKeyCodeTable();
static_assert(kKeyCodeTable[0] == 0 && kKeyCodeTable[13] == 0x10 && kKeyCodeTable[96] == 0x7E);

}  // namespace qzr::player
