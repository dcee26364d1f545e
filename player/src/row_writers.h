#pragma once

#include <cstdint>

#include "player_state.h"
#include "qzr/player/chip_port.h"

namespace qzr::player {

inline constexpr std::uint8_t kRegKeyOn = 0x08;
inline constexpr std::uint8_t kRegControlBase = 0x20;  // RL, FB, CONNECT per channel
inline constexpr std::uint8_t kRegKeyCodeBase = 0x28;
inline constexpr std::uint8_t kRegOperatorBase = 0x40;  // + 8 x voice byte + channel
inline constexpr std::uint8_t kAllSlots = 0x78;         // key-on bits of the four operators

// One register write: select, then data, each cut to 8 bits.
void WriteOPMReg(ChipPort& port, int reg, int value);

// For every channel with a note code 1 to 96, its key code; other note bytes keep the pitch.
void WriteKeyCodes(const PlayerState& state, ChipPort& port);

// For every channel: key byte 1 keys off then on (the note starts again), 2 keys off.
void WriteKeyStates(const PlayerState& state, ChipPort& port);

}  // namespace qzr::player
