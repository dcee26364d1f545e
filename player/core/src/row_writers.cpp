#include "row_writers.h"

#include "key_code_table.h"
#include "qzr/format/rows.h"
#include "qzr/format/ym2151_registers.h"

namespace qzr::player {

using ym2151::kRegKeyCodeBase;
using ym2151::kRegKeyOn;

void WriteOPMReg(ChipPort& port, int reg, int value) {
    port.OpmReg(static_cast<std::uint8_t>(reg & 0xFF));
    port.OpmPoke(static_cast<std::uint8_t>(value & 0xFF));
}

void WriteKeyCodes(const PlayerState& state, ChipPort& port) {
    for (int channel = 0; channel < kChannels; ++channel) {
        const std::uint8_t note = state.channelNote[static_cast<std::size_t>(channel)];
        // Codes above 96 come from octaves past 7 or from rows missing at the end of a file.
        if (!IsNote(note)) continue;
        WriteOPMReg(port, kRegKeyCodeBase + channel, kKeyCodeTable[static_cast<std::size_t>(note)]);
    }
}

void WriteKeyStates(const PlayerState& state, ChipPort& port) {
    for (int channel = 0; channel < kChannels; ++channel) {
        const auto key = static_cast<KeyByte>(state.channelKey[static_cast<std::size_t>(channel)]);
        if (key == KeyByte::On) {
            WriteOPMReg(port, kRegKeyOn, channel);
            WriteOPMReg(port, kRegKeyOn, ym2151::kKeyOnSlotMask + channel);
        } else if (key == KeyByte::Off) {
            WriteOPMReg(port, kRegKeyOn, channel);
        }
    }
}

}  // namespace qzr::player
