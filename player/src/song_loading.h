#pragma once

#include "player_state.h"
#include "qzr/player/chip_port.h"
#include "qzr/format/song_target.h"
#include "song_file.h"

// Reading a song file into the player: voices straight into the chip, the two header values
// into the state, the rows into eventArea. Host thread only, with the gate shut.
namespace qzr::player {

inline constexpr int kTotalVolume = 1200;  // a little above the chip's own level of 1024
inline constexpr std::uint16_t kMaxRowsOPM = kEventAreaSize / 16;  // 49,151

// The volume, then for each voice v its control byte and its 24 operator bytes into channel v.
void ProgramVoices(const SongTarget& target, SongReader& song, ChipPort& port);

// speed and rowCount.
void ReadHeaderOPM(SongReader& song, PlayerState& state);
void ReadHeaderOPN2(SongReader& song, PlayerState& state);

// rowCount rows from rowsOffset into eventArea; rows missing at the end of the file load as
// bytes of 255.
void LoadRows(const SongTarget& target, long rowsOffset, SongReader& song, PlayerState& state);

}  // namespace qzr::player
