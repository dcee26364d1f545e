#include "qzr/compiler/translate_token.h"

#include <limits>
#include <string>

#include "qzr/common/text_helpers.h"
#include "qzr/common/to_integer.h"
#include "qzr/format/rows.h"

namespace qzr {

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    if (b > 0 && a > kMax - b) return kMax;
    if (b < 0 && a < kMin - b) return kMin;
    return a + b;
}

namespace {

constexpr auto kKeyNone = static_cast<std::uint8_t>(KeyByte::None);
constexpr auto kKeyOn = static_cast<std::uint8_t>(KeyByte::On);
constexpr auto kKeyOff = static_cast<std::uint8_t>(KeyByte::Off);

// Only the low 8 bits reach the file, and 2^32 is a multiple of 256, so unsigned wrap-around
// keeps the code exact for any octave.
std::uint8_t NoteCode(std::int32_t octave, int semitone) {
    const std::uint32_t code =
        static_cast<std::uint32_t>(octave) * 12u + static_cast<std::uint32_t>(semitone);
    return static_cast<std::uint8_t>(code & 0xFFu);
}

std::int32_t StepOctave(std::int32_t octave, std::uint32_t step) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(octave) + step);
}

}  // namespace

void WriteNote(CompilerState& state, int semitone, std::int32_t lengthRows, RowWriter& rows,
               NoteStart start) {
    rows.Put(state.row, state.channelOffset, NoteCode(state.octave, semitone));
    rows.Put(state.row, state.channelOffset + 1, start == NoteStart::KeyOn ? kKeyOn : kKeyNone);
    // Key off goes into the note's last row, so the next note's key on never shares its byte;
    // for a one-row note it replaces the key on.
    if (!state.legato) {
        rows.Put(SaturatingAdd(state.row, std::int64_t{lengthRows} - 1), state.channelOffset + 1,
                 kKeyOff);
    }
    state.row = SaturatingAdd(state.row, lengthRows);
}

const Keyword* TranslateToken(CompilerState& state, const KeywordTable& keywords,
                              std::string_view line, RowWriter& rows) {
    const Keyword* keyword = keywords.Find(line);
    if (keyword != nullptr) ApplyKeyword(state, *keyword, rows);
    return keyword;
}

void ApplyKeyword(CompilerState& state, const Keyword& keyword, RowWriter& rows, NoteStart start) {
    switch (keyword.kind) {
        case KeywordKind::Channel:
            state.channelOffset = 2 * keyword.value;
            state.row = 0;
            break;
        case KeywordKind::LegatoOn:
            state.legato = true;
            break;
        case KeywordKind::LegatoOff:
            state.legato = false;
            break;
        case KeywordKind::DefaultLength:
            state.defaultLength = keyword.rows;
            break;
        case KeywordKind::Octave:
            state.octave = keyword.value;
            break;
        case KeywordKind::OctaveUp:
            state.octave = StepOctave(state.octave, 1u);
            break;
        case KeywordKind::OctaveDown:
            state.octave = StepOctave(state.octave, ~0u);
            break;
        case KeywordKind::Rest:
            if (keyword.rows != 0) state.explicitLength = keyword.rows;
            state.row = SaturatingAdd(
                state.row, keyword.rows != 0 ? state.explicitLength : state.defaultLength);
            break;
        case KeywordKind::Note:
            if (keyword.rows != 0) state.explicitLength = keyword.rows;
            WriteNote(state, keyword.value,
                      keyword.rows != 0 ? state.explicitLength : state.defaultLength, rows, start);
            break;
    }
}

bool ApplyLengthRule(CompilerState& state, std::string_view line) {
    // Only lines that start with "l" can match "l%*"; most lines are skipped without a copy.
    if (line.empty() || line.front() != 'l') return false;
    const std::string text(line);
    if (WildcardMatch(text.c_str(), "l%*") != 1) return false;
    state.defaultLength = ToInteger(FieldOf(text.c_str(), "%", 2));
    return true;
}

}  // namespace qzr
