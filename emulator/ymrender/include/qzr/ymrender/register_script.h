#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/common/text_lines.h"
#include "qzr/emulator_core/ym2151.h"

namespace qzr::ymrender {

// One register write of a script: made between samples `sample` - 1 and `sample`, after the
// chip's reset.
struct ScriptWrite {
    std::uint64_t sample;
    std::uint8_t reg;
    std::uint8_t value;
    friend bool operator==(const ScriptWrite&, const ScriptWrite&) = default;
};

struct ScriptError {
    std::size_t line;  // 1-based
    std::string message;
};

struct ParsedScript {
    std::vector<ScriptWrite> writes;  // in file order, samples as written
    std::optional<ScriptError> error;
};

// Parses a script: one write a line, "SAMPLE REGISTER VALUE", each number decimal or
// hexadecimal with 0x; "#" starts a comment; blank lines are ignored. Lines must come in order
// of SAMPLE. Text is taken as Windows text mode reads it (CR before LF dropped, byte 26 ends
// the input). Stops at the first bad line; a line longer than TextLines::kMaxLineBytes is one.
ParsedScript ParseRegisterScript(std::string_view text);
// The same, line by line as the lines are read (a script file takes the memory of its writes).
ParsedScript ParseRegisterScript(TextLines& lines);

// The chip takes one write per sample (emulator::WritePacer): a write whose sample is already
// taken moves to the next free sample, keeping the order.
std::vector<ScriptWrite> ScheduleWrites(std::span<const ScriptWrite> writes);

// Default length of a render: the sample of the last scheduled write plus one second of
// native samples (55,930).
std::uint64_t DefaultSampleCount(std::span<const ScriptWrite> scheduled);

// Plays scheduled writes on a freshly reset chip and returns `samples` output frames.
std::vector<emulator::StereoSample> RenderScript(std::span<const ScriptWrite> scheduled,
                                                 std::uint64_t samples);

}  // namespace qzr::ymrender
