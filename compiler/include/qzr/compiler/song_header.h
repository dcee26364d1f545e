#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "qzr/compiler/byte_sink.h"
#include "qzr/compiler/compiler_state.h"
#include "qzr/format/song_target.h"

namespace qzr {

// The header steps of a compile, shared by the classic source reader and the qmml front end:
// whichever way a song is written, these are the only writers of its header bytes.

// Title (at most kTitleSize bytes are written), speed and row count. Each value reaches the file
// as its low 8 bits; the row count is split into a high part (the number of whole 256s, 0 for a
// negative value) and what remains, in the target's byte order.
void WriteSongHeader(ByteSink& sink, const SongTarget& target, std::string_view title,
                     std::int32_t speedValue, std::int32_t rowCountValue);

// A pan line: "11" both outputs, "10" left, "01" right; any other line keeps the flags of the
// voice before.
void SetPan(CompilerState& state, std::string_view panLine);

// Voice record `voice` from a voice file's first 25 bytes (missing ones as 0) and the pan
// flags: the operator bytes the target copies, then the control byte.
void WriteVoiceRecord(ByteSink& sink, const SongTarget& target, int voice,
                      const std::array<std::uint8_t, kVoiceFileBytes>& voiceBytes,
                      const CompilerState& state);

// The control byte: 8 x the high nibble + the low nibble + 64 x left + 128 x right, modulo 256.
// The terms are added, not merged bit by bit: a nibble of 8 or more carries into the bits above.
std::uint8_t ControlByte(std::uint8_t fbConnection, std::uint8_t panLeft, std::uint8_t panRight);

}  // namespace qzr
