#pragma once

#include <cstdint>

namespace qzr {

// The run state that the header, voice table and body steps share. Nothing here is reset
// between channel sections: octave, lengths and legato carry over to the next "chN".
struct CompilerState {
    int channelOffset = 0;  // 2 x channel index: the channel's byte pair within a row
    // Row where the current channel's next event starts. Kept as a row number (the file offset
    // is rowsStart + rowSize x row) and moved with saturating arithmetic, so no length can
    // overflow it.
    std::int64_t row = 0;
    std::int32_t octave = 0;  // unbounded; wraps only at the 32-bit ends
    std::int32_t defaultLength = 16;
    std::int32_t explicitLength = 0;
    bool legato = false;
    std::uint8_t panLeft = 0;
    std::uint8_t panRight = 0;
};

}  // namespace qzr
