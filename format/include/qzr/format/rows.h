#pragma once

#include <cstdint>
#include <string>

// The vocabulary of a song's rows: each row holds, per channel, a note byte and a key byte.
namespace qzr {

// The key byte: 1 keys the channel off and on again (the note starts), 2 keys it off, 0 leaves
// it as it is. Other values do nothing.
enum class KeyByte : std::uint8_t { None = 0, On = 1, Off = 2 };

// Note bytes 1 to 96 are notes (octave x 12 + semitone + 1, so 1 is o0 c and 96 is o7 b); 0 and
// the codes above 96 keep the channel's pitch.
inline constexpr int kHighestNote = 96;

constexpr bool IsNote(std::uint8_t code) { return code != 0 && code <= kHighestNote; }

// "C-4", "C#4" ... for note codes 1 to 96; "---" for 0, "?xx" (hex) for codes above 96.
std::string TrackerNoteName(std::uint8_t code);

// One channel's event of a row as a tracker shows it, in 7 columns: "C-4 on ", "... off",
// "C-4    " (a pitch without a key change), "... ?7F" (a key byte that does nothing). A row
// without a note byte shows "..." where the name would be.
std::string TrackerEventText(std::uint8_t note, std::uint8_t key);

}  // namespace qzr
