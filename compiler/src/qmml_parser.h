#pragma once

#include <cstdint>
#include <span>

#include "qmml_program.h"
#include "qmml_report.h"

namespace qzr::qmml {

// Reads a whole source into a Program (its voice words are views into `source`, which must
// outlive it), reporting every error it finds and going on after each
// (a bad item is skipped, a bad line is skipped). One look at every byte, so the time is linear
// in the source; lines longer than kMaxLineBytes are reported and not read. Voice files are not
// opened here: their definitions keep the path as written. Macro uses are resolved at the end:
// uses of undefined macros, cycles and chains deeper than kMaxMacroDepth are reported and those
// macros marked broken.
Program ParseProgram(std::span<const std::uint8_t> source, Report& report);

// The semitone of a note letter (0 c, 1 d ... 6 b) above c.
int LetterSemitone(int letter);

}  // namespace qzr::qmml
