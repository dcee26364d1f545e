#pragma once

#include <cstddef>
#include <cstdint>

#include "qzr/format/song_kind.h"

// What the player makes of a song's rows in time and in memory; the tools that plan, render and
// show songs count with the same numbers.
namespace qzr {

// The player asks the emulator for a tick every 5 ms.
inline constexpr std::int32_t kTickPeriodMs = 5;

// The output level the player sets: a little above the chip's own level of 1024.
inline constexpr std::int32_t kPlayerVolume = 1200;

// The player's event area: exactly 65,535 OPN2 rows of 12 bytes, or 49,151 OPM rows of 16.
inline constexpr std::size_t kEventAreaSize = 786'420;
static_assert(kEventAreaSize == 65'535 * static_cast<std::size_t>(kOPN2Target.RowSize()));

// The rows the player can hold of a song of this kind; an OPM song that declares more plays
// these and loops after them. An OPN2 count always fits.
constexpr std::uint16_t PlayedRowLimit(SongKind kind) {
    return static_cast<std::uint16_t>(kEventAreaSize /
                                      static_cast<std::size_t>(TargetFor(kind).RowSize()));
}
static_assert(PlayedRowLimit(SongKind::OPM) == 49'151);
static_assert(PlayedRowLimit(SongKind::OPN2) == 65'535);

// Ticks from one row to the next: the OPM tick counts rows of `speed` ticks, the OPN2 tick counts
// groups of three ticks.
constexpr std::int64_t TicksPerRow(SongKind kind, int speed) {
    return kind == SongKind::OPM ? speed : 3 * static_cast<std::int64_t>(speed);
}

}  // namespace qzr
