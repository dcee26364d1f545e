#pragma once

#include <cstdint>

#include "qzr/player_core/chip_port.h"

// The player engine: one song at a time, played row by row from the emulator's tick. All
// operations except the two ticks are called from one host thread at a time; GetSongPosition
// may be called from any thread.
namespace qzr::player {

// Starts the emulator with the sample rate (Hz) and output latency (ms) and waits 2 ms.
// Returns what the emulator's start returned.
int InitOPM(ChipPort& port, std::int32_t sampleRate, std::int32_t latency);

// Frees the emulator; the player's state and installed tick stay as they are.
int ReleaseOPM(ChipPort& port);

// Load an OPM (PlaySong) or OPN2 (PlaySong2) song file, program its voices, and hand the
// matching tick to the emulator; the song then loops until StopSong or the next play. A file
// that cannot be opened prints "Can't open file PATH" on stderr and returns 0 with nothing
// changed. Otherwise returns what the emulator's tick hand-over returned.
int PlaySong(ChipPort& port, const char* path);
int PlaySong2(ChipPort& port, const char* path);

// Silences the song: every channel keyed off, then the chip reset. Returns once no tick is in
// the middle of a row. Returns what the chip reset returned.
int StopSong(ChipPort& port);

// Index of the next row to play, 0 when stopped.
int GetSongPosition();

// The tick procedures handed to the emulator: a row every `speed` ticks (OPM) or every
// 3 x `speed` ticks (OPN2). They return at once unless a song is playing. The emulator calls
// at most one tick at a time.
void TickOPM() noexcept;
void TickOPN2() noexcept;

}  // namespace qzr::player
