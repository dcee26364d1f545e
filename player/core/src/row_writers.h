#pragma once

#include <cstdint>

#include "player_state.h"
#include "qzr/player_core/chip_port.h"

namespace qzr::player {

// One register write: select, then data, each cut to 8 bits.
void WriteOPMReg(ChipPort& port, int reg, int value);

// For every channel with a note code 1 to 96, its key code; other note bytes keep the pitch.
void WriteKeyCodes(const PlayerState& state, ChipPort& port);

// For every channel: key byte 1 keys off then on (the note starts again), 2 keys off.
void WriteKeyStates(const PlayerState& state, ChipPort& port);

}  // namespace qzr::player
