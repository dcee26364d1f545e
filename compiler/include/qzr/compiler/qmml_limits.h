#pragma once

#include <cstddef>
#include <cstdint>

namespace qzr::qmml {

// The bounds that keep reading, expanding and reporting a qmml source linear in its size and
// small in memory, whatever the source says. Each is reported with its number when passed.

// A source is read whole; a larger file is refused before anything else. Its music takes at most
// 24 bytes of memory a byte of source while it is expanded.
inline constexpr std::size_t kMaxSourceBytes = 2u << 20;  // 2 MiB
// A longer line is reported and skipped; its bytes are looked at once.
inline constexpr std::size_t kMaxLineBytes = 16'384;
// [ ... ]N takes N from 1 to this.
inline constexpr std::int32_t kMaxRepeatCount = 65'535;
// Brackets open at once inside one line or one macro.
inline constexpr int kMaxRepeatNesting = 16;
// Macros using macros, counted from the line that uses the first.
inline constexpr int kMaxMacroDepth = 16;
// Lines an inline voice { ... } may span.
inline constexpr int kMaxVoiceLines = 64;
// Items visited while expanding, every pass of a repeat counted once more: about 14 times what
// eight full OPM channels of one-row notes with an octave and a length each take.
inline constexpr std::int64_t kMaxExpansionSteps = 16'777'216;
// Lengths, #rows and #bar in rows; no channel can play more rows anyway.
inline constexpr std::int64_t kMaxLengthRows = 65'535;
// Voice numbers @0 to @255.
inline constexpr int kMaxVoiceNumber = 255;
// Transposition k-48 to k+48.
inline constexpr int kMaxTranspose = 48;
// Diagnostics kept with their text; the rest are only counted.
inline constexpr std::size_t kMaxDiagnostics = 200;

}  // namespace qzr::qmml
