#include "song_loading.h"

#include <span>

#include "qzr/format/player_timing.h"
#include "qzr/format/ym2151_registers.h"
#include "row_writers.h"

namespace qzr::player {

void ProgramVoices(const SongImage& song, ChipPort& port) {
    port.TotalVolume(kPlayerVolume);
    for (int v = 0; v < song.Target().VoiceCount(); ++v) {
        const VoiceRecord voice = song.Voice(v);
        WriteOPMReg(port, ym2151::kRegChannelControlBase + v, voice.control);
        for (int j = 0; j < kOperatorBytes; ++j) {
            WriteOPMReg(port, ym2151::kRegOperatorBase + 8 * j + v,
                        voice.operatorBytes[static_cast<std::size_t>(j)]);
        }
    }
}

void ReadHeader(const SongImage& song, PlayerState& state) {
    state.speed = static_cast<std::uint8_t>(song.Speed());
    state.rowCount = static_cast<std::uint16_t>(song.RowCount());
}

void LoadRows(const SongImage& song, long rowsOffset, PlayerState& state) {
    const std::uint32_t end = state.rowCount * static_cast<std::uint32_t>(song.Target().RowSize());
    song.CopyBytes(static_cast<std::size_t>(rowsOffset),
                   std::span(state.eventArea).first(static_cast<std::size_t>(end)));
    state.readOffset = end;
}

}  // namespace qzr::player
