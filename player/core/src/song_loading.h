#pragma once

#include "player_state.h"
#include "qzr/format/song_image.h"
#include "qzr/player_core/chip_port.h"

// Reading a song image into the player: voices straight into the chip, the two header values
// into the state, the rows into eventArea. Host thread only, with the gate shut.
namespace qzr::player {

// The volume, then for each voice v its control byte and its 24 operator bytes into channel v.
void ProgramVoices(const SongImage& song, ChipPort& port);

// speed and rowCount.
void ReadHeader(const SongImage& song, PlayerState& state);

// rowCount rows from rowsOffset into eventArea; rows missing at the end of the file load as
// bytes of 255.
void LoadRows(const SongImage& song, long rowsOffset, PlayerState& state);

}  // namespace qzr::player
