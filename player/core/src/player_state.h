#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "qzr/format/player_timing.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/player_core/chip_port.h"

namespace qzr::player {

inline constexpr int kChannels = ym2151::kChannelCount;

// The player's one record, shared by the host's thread and the emulator's tick.
//
// The gate: `playing` (active only at 1) and `tickBusy` keep the two flows apart without a lock
// on the audio thread. A tick announces itself in `tickBusy`, then tests `playing`; the host
// clears `playing`, then waits for `tickBusy` to fall. With sequentially consistent order at
// least one of them sees the other, so every plain field below is touched by the tick only while
// the gate is open and by the host only while it is shut and no tick is in flight. This also
// keeps each register write (select, then data) whole.
struct PlayerState {
    std::atomic<std::int32_t> playing{0};
    std::atomic<bool> tickBusy{false};
    std::atomic<std::uint16_t> position{0};  // next row to play; read at any time
    std::atomic<ChipPort*> port{nullptr};    // where the tick writes; set by the host

    std::uint32_t tickCount = 0;     // ticks (OPN2: groups of three) since the last row
    std::uint32_t subTickCount = 0;  // OPN2 only: ticks within the group of three
    std::uint32_t readOffset = 0;    // bytes into eventArea: always rowSize x position
    std::uint16_t rowCount = 0;      // rows loaded; the song wraps after them
    std::uint8_t speed = 0;          // ticks (OPN2: groups) per row
    TickProcedure tickProcedure = nullptr;

    // Host-only values set by InitOPM.
    std::int32_t tickInterval = 0;
    std::int32_t opmRowsOffset = 0;
    std::int32_t opn2RowsOffset = 0;

    // The bytes of the row most recently played, per channel; never cleared, so an OPN2 song
    // replays what the last OPM row left in channels 6 and 7.
    std::array<std::uint8_t, kChannels> channelNote{};
    std::array<std::uint8_t, kChannels> channelKey{};
    std::array<std::uint8_t, kEventAreaSize> eventArea{};
};

extern constinit PlayerState gPlayer;

// Host side: shut the gate and wait until no tick is in the middle of a row.
void CloseGate(PlayerState& state);

}  // namespace qzr::player
