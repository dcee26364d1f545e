#pragma once

#include <cstdint>
#include <string_view>

#include "qzr/compiler/compiler_state.h"
#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/row_writer.h"

namespace qzr {

// Applies one body line that spells a keyword exactly: changes the state or places a note or
// rest for the current channel. Returns the keyword, or nullptr for a line that means nothing
// (it then changes nothing).
const Keyword* TranslateToken(CompilerState& state, const KeywordTable& keywords,
                              std::string_view line, RowWriter& rows);

// How a note begins: with a key on (a new attack), or slurred from the note before it, with key
// byte 0 beside its note byte, so the pitch changes and nothing attacks again. The classic
// source has no spelling for a slur; only the qmml front end asks for one.
enum class NoteStart : std::uint8_t { KeyOn, Slur };

// What TranslateToken does once the line has matched `keyword`.
void ApplyKeyword(CompilerState& state, const Keyword& keyword, RowWriter& rows,
                  NoteStart start = NoteStart::KeyOn);

// A note of `lengthRows` rows at the current row: note code and key on in its first row, key off
// (unless legato) in its last row, then the channel moves on by the length. Lengths below 1 are
// used as they are; the row writer drops what would fall outside the rows area.
void WriteNote(CompilerState& state, int semitone, std::int32_t lengthRows, RowWriter& rows,
               NoteStart start = NoteStart::KeyOn);

// The free length form: a line starting with "l%" sets the default length to the number after
// the "%" (up to a second "%"). Returns whether the line had that form.
bool ApplyLengthRule(CompilerState& state, std::string_view line);

// a + b, held at the ends of the 64-bit range instead of overflowing.
std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b);

}  // namespace qzr
